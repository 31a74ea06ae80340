#include "formats/profile_plot.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "formats/svg_plot.hpp"
#include "formats/text_file.hpp"

namespace rcpspdc {

namespace {

constexpr double WIDTH = 880.0;  // of the whole picture
constexpr double LEFT = 84.0;    // room for the share labels and the axis title
constexpr double RIGHT = 28.0;
constexpr double PLOT_HEIGHT = 420.0;
constexpr double TITLE_LINE = 20.0;
constexpr double LEGEND_LINE = 20.0;
constexpr std::size_t TITLE_CHARACTERS = 84;  // a title line at 15 px fills the width

// Okabe and Ito's palette, told apart with the common colour-vision
// deficiencies, and dash patterns for more series than colours and for print
// in grey.
// (Its yellow is left out: too faint on white.)
const char* const COLOURS[] = {"#0072B2", "#D55E00", "#009E73", "#CC79A7",
                               "#E69F00", "#56B4E9", "#000000"};
constexpr std::size_t COLOUR_COUNT = sizeof COLOURS / sizeof COLOURS[0];
const char* const DASHES[] = {"", "8 4", "2 3", "8 3 2 3"};

// One step line: sorted values, each raising the share by 1 / denominator.
struct Line {
  std::vector<double> values;
  int denominator = 0;
  std::string legend;
};

// A log axis over whole decades [10^low, 10^high]; smaller values are drawn at 10^low.
struct LogAxis {
  int low = 0;
  int high = 1;
  double left = LEFT;
  double width = WIDTH - LEFT - RIGHT;
  double x_of(double value) const {
    const double decade = value > 0.0 ? std::log10(value) : low;
    return left + width * (std::clamp(decade, double(low), double(high)) - low) / (high - low);
  }
};

LogAxis axis_over(const std::vector<Line>& lines, const std::vector<double>& marks, int floor) {
  double smallest = 0.0;
  double largest = 0.0;
  for (const Line& line : lines)
    for (const double v : line.values)
      if (v > 0.0) {
        smallest = smallest > 0.0 ? std::min(smallest, v) : v;
        largest = std::max(largest, v);
      }
  for (const double m : marks)
    if (m > 0.0) largest = std::max(largest, m);
  LogAxis axis;
  axis.low =
      smallest > 0.0 ? std::max(floor, static_cast<int>(std::floor(std::log10(smallest)))) : floor;
  axis.high = largest > 0.0 ? static_cast<int>(std::ceil(std::log10(largest))) : axis.low + 1;
  if (axis.high <= axis.low) axis.high = axis.low + 1;
  return axis;
}

// The title in lines of whole words.
std::vector<std::string> wrapped(const std::string& text) {
  std::vector<std::string> lines(1);
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(at, end - at);
    if (!lines.back().empty() && lines.back().size() + 1 + word.size() > TITLE_CHARACTERS)
      lines.emplace_back();
    lines.back() += (lines.back().empty() ? "" : " ") + word;
    at = end + 1;
  }
  return lines;
}

std::string attr(const char* name, double value) {
  return std::string(" ") + name + "=\"" + svg_number(value) + "\"";
}

std::string text_at(double x, double y, double size, const std::string& content,
                    const std::string& more = {}) {
  return "<text" + attr("x", x) + attr("y", y) + attr("font-size", size) +
         (more.empty() ? "" : " " + more) + ">" + svg_text(content) + "</text>\n";
}

std::string decade_label(int exponent) {
  char label[32];
  std::snprintf(label, sizeof label, "%g", std::pow(10.0, exponent));
  return label;
}

// The whole figure: title, plot area with its grid, axes and marks, one step
// line per series of class `kind`, and the legend below.
std::string profile_svg(const std::string& title, const std::string& x_title,
                        const std::string& y_title, const char* kind,
                        const std::vector<Line>& lines, const std::vector<double>& marks,
                        const std::string& mark_words, int floor, const std::string& note) {
  const LogAxis axis = axis_over(lines, marks, floor);
  const std::vector<std::string> title_lines = wrapped(title);
  const double top = 16.0 + TITLE_LINE * static_cast<double>(title_lines.size()) + 14.0;
  const double bottom = top + PLOT_HEIGHT;
  const double legend_top = bottom + 62.0;
  const double height =
      legend_top + LEGEND_LINE * static_cast<double>(std::max<std::size_t>(lines.size(), 1)) + 8;
  const auto y_of = [&](double share) { return bottom - PLOT_HEIGHT * share; };
  std::string body;
  for (std::size_t k = 0; k < title_lines.size(); ++k)
    body += text_at(LEFT, 16.0 + TITLE_LINE * static_cast<double>(k + 1) - 4.0, 15.0,
                    title_lines[k], "font-weight=\"bold\"");
  body += "<rect class=\"plot-area\"" + attr("x", axis.left) + attr("y", top) +
          attr("width", axis.width) + attr("height", PLOT_HEIGHT) +
          " fill=\"none\" stroke=\"#424242\"/>\n";
  for (int share = 0; share <= 100; share += 20) {
    const double y = y_of(share / 100.0);
    body += "<line" + attr("x1", axis.left) + attr("y1", y) + attr("x2", axis.left + axis.width) +
            attr("y2", y) + " stroke=\"#e0e0e0\"/>\n";
    body += text_at(axis.left - 8, y + 5, 13, std::to_string(share) + " %",
                    "text-anchor=\"end\" class=\"y-tick\"");
  }
  for (int decade = axis.low; decade <= axis.high; ++decade) {
    const double x = axis.x_of(std::pow(10.0, decade));
    body += "<line" + attr("x1", x) + attr("y1", top) + attr("x2", x) + attr("y2", bottom + 5) +
            " stroke=\"#e0e0e0\"/>\n";
    body += text_at(x, bottom + 21, 13, decade_label(decade),
                    "text-anchor=\"middle\" class=\"x-tick\"");
  }
  body += text_at(axis.left + axis.width / 2, bottom + 44, 14, x_title,
                  "text-anchor=\"middle\" class=\"x-title\"");
  body += text_at(22, top + PLOT_HEIGHT / 2, 14, y_title,
                  "text-anchor=\"middle\" class=\"y-title\" transform=\"rotate(-90 22 " +
                      svg_number(top + PLOT_HEIGHT / 2) + ")\"");
  for (const double mark : marks) {
    if (mark <= 0.0) continue;
    const double x = axis.x_of(mark);
    body += "<line class=\"time-limit\"" + attr("x1", x) + attr("y1", top) + attr("x2", x) +
            attr("y2", bottom) + " stroke=\"#616161\" stroke-width=\"1.5\" " +
            "stroke-dasharray=\"6 4\"/>\n";
    body += text_at(x - 4, top + 16, 12, mark_words + " " + svg_number(mark) + " s",
                    "text-anchor=\"end\" fill=\"#424242\"");
  }
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const Line& line = lines[k];
    const std::string colour = COLOURS[k % COLOUR_COUNT];
    const std::string dash = DASHES[(k / COLOUR_COUNT) % 4];
    const std::string stroke = " stroke=\"" + colour + "\" stroke-width=\"2.2\"" +
                               (dash.empty() ? "" : " stroke-dasharray=\"" + dash + "\"");
    const double y_legend = legend_top + LEGEND_LINE * static_cast<double>(k);
    body += "<line" + attr("x1", LEFT) + attr("y1", y_legend - 5) + attr("x2", LEFT + 36) +
            attr("y2", y_legend - 5) + stroke + "/>\n";
    body += text_at(LEFT + 44, y_legend, 13, line.legend, "class=\"legend\"");
    if (line.denominator <= 0) continue;
    std::string points = svg_number(axis.left) + "," + svg_number(y_of(0.0));
    std::vector<double> values = line.values;
    std::sort(values.begin(), values.end());
    for (std::size_t v = 0; v < values.size(); ++v) {
      const double x = axis.x_of(values[v]);
      points += " " + svg_number(x) + "," + svg_number(y_of(double(v) / line.denominator));
      points += " " + svg_number(x) + "," + svg_number(y_of(double(v + 1) / line.denominator));
    }
    points += " " + svg_number(axis.left + axis.width) + "," +
              svg_number(y_of(double(values.size()) / line.denominator));
    body += "<polyline class=\"" + std::string(kind) + "\" data-share=\"" +
            std::to_string(values.size()) + "/" + std::to_string(line.denominator) +
            "\" fill=\"none\"" + stroke + " points=\"" + points + "\"><title>" +
            svg_text(line.legend) + "</title></polyline>\n";
  }
  if (!note.empty())
    body += text_at(axis.left + axis.width / 2, top + PLOT_HEIGHT / 2, 15, note,
                    "text-anchor=\"middle\" fill=\"#616161\"");
  return svg_document(WIDTH, height, body);
}

std::string percent(int part, int whole) {
  return whole > 0 ? fixed_decimals(100.0 * part / whole, 1) + " %" : "-";
}

}  // namespace

std::string performance_profile_svg(const ProfileFigure& figure) {
  std::vector<Line> lines;
  for (const ProfileSeries& s : figure.series) {
    const int proven = static_cast<int>(s.proven_seconds.size());
    std::string legend = s.name + ": " + std::to_string(proven) + " of " +
                         std::to_string(s.instances) + " proven (" + percent(proven, s.instances) +
                         "), " + std::to_string(s.instances - proven) + " failed";
    if (s.errors > 0) legend += " (" + std::to_string(s.errors) + " not solved at all)";
    lines.push_back({s.proven_seconds, s.instances, legend});
  }
  return profile_svg(figure.title, "seconds (log scale)", "instances proven", "profile", lines,
                     figure.time_limits, "time limit", -6, "");
}

std::string gap_profile_svg(const ProfileFigure& figure) {
  std::vector<Line> lines;
  bool any = false;
  for (const ProfileSeries& s : figure.series) {
    const int with = static_cast<int>(s.gaps.size());
    std::vector<double> percents;
    for (const double gap : s.gaps) percents.push_back(100.0 * gap);
    std::string legend = s.name + ": ";
    if (s.stopped == 0) {
      legend += "none stopped";
    } else {
      any = true;
      legend += std::to_string(s.stopped) + " stopped, " + std::to_string(with) +
                " with a schedule, " + std::to_string(s.stopped - with) + " without";
    }
    lines.push_back({percents, s.stopped, legend});
  }
  return profile_svg(figure.title, "relative gap (bound - value) / max(|value|, 1), % (log scale)",
                     "stopped searches within the gap", "gap-profile", lines, {}, "", -4,
                     any ? "" : "no search was stopped");
}

}  // namespace rcpspdc
