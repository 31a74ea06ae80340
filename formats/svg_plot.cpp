#include "formats/svg_plot.hpp"

#include <algorithm>
#include <cstdio>

#include "formats/text_file.hpp"

namespace rcpspdc {

namespace {

// Geometry in pixels.
constexpr double LEFT = 64.0;   // room for row labels and load values
constexpr double RIGHT = 56.0;  // room for the cash flow of a bar that ends at the horizon
constexpr double TITLE_SIZE = 16.0;
constexpr double TITLE_LINE = 21.0;
constexpr double LEGEND_HEIGHT = 30.0;  // below the title
constexpr double PLOT_WIDTH = 960.0;    // the time axis, whatever the horizon
constexpr double ROWS_HEIGHT = 720.0;   // Gantt height while rows stay above the minimum
constexpr double MIN_ROW = 12.0;        // row height at which the font reaches 8 px
constexpr double MAX_ROW = 26.0;
constexpr double PROFILE_HEIGHT = 110.0;
constexpr double AXIS_ROOM = 40.0;   // tick labels and the axis title below an axis
constexpr double MIN_WIDTH = 800.0;  // reads on a slide and in print

// Blue and vermillion of Okabe and Ito's palette, told apart with the
// common colour-vision deficiencies, and a light grey.
const char* const POSITIVE = "#0072B2";
const char* const NEGATIVE = "#D55E00";
const char* const NEUTRAL = "#BBBBBB";

std::string num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", v);
  std::string s = text;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s == "-0" ? "0" : s;
}

std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default:
        // Plain ASCII only: control characters are not allowed in XML, and a
        // stray byte of a broken UTF-8 sequence would spoil the document.
        out += static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7f ? c
                                                                                             : '?';
    }
  }
  return out;
}

class Svg {
 public:
  std::string body;

  void rect(double x, double y, double w, double h, const std::string& attributes,
            const std::string& tooltip = {}) {
    body += "<rect x=\"" + num(x) + "\" y=\"" + num(y) + "\" width=\"" + num(std::max(w, 0.0)) +
            "\" height=\"" + num(std::max(h, 0.0)) + "\" " + attributes;
    body += tooltip.empty() ? "/>\n" : "><title>" + escaped(tooltip) + "</title></rect>\n";
  }
  void line(double x1, double y1, double x2, double y2, const std::string& attributes) {
    body += "<line x1=\"" + num(x1) + "\" y1=\"" + num(y1) + "\" x2=\"" + num(x2) + "\" y2=\"" +
            num(y2) + "\" " + attributes + "/>\n";
  }
  void text(double x, double y, double size, const std::string& content,
            const std::string& attributes = {}) {
    body += "<text x=\"" + num(x) + "\" y=\"" + num(y) + "\" font-size=\"" + num(size) + "\"" +
            (attributes.empty() ? "" : " " + attributes) + ">" + escaped(content) + "</text>\n";
  }
};

// The step between labelled ticks: 1, 2 or 5 times a power of ten, at least
// `min_pixels` apart.
int tick_step(double pixels_per_period, double min_pixels) {
  for (long long power = 1;; power *= 10)
    for (int factor : {1, 2, 5})
      if (static_cast<double>(power * factor) * pixels_per_period >= min_pixels ||
          power > 100000000)
        return static_cast<int>(power * factor);
}

// Where everything goes, from the instance and the schedule.
struct Layout {
  int horizon = 1;    // periods on the time axis
  double period = 0;  // pixels per period
  double plot = 0;    // width of the time axis
  double width = 0;   // of the whole picture
  double height = 0;  // of the whole picture
  int step = 1;       // periods between labelled ticks
  int real = 0;       // real activities, one Gantt row each
  double row = 0;     // height of a Gantt row
  double font = 0;    // size of the row labels
  double gantt_bottom = 0;
  double block = 0;  // one load profile: caption, chart, axis labels
  double profiles_top = 0;
  std::vector<std::string> title;  // the title's lines
  double gantt_top = 0;            // below the title and the legend

  double x_of(int t) const { return LEFT + period * t; }
};

// The title in lines of whole words that fit `width` at the title's size.
std::vector<std::string> title_lines(const std::string& title, double width) {
  const auto fits = static_cast<std::size_t>(std::max(20.0, width / (TITLE_SIZE * 0.6)));
  std::vector<std::string> lines(1);
  std::size_t at = 0;
  while (at < title.size()) {
    std::size_t end = title.find(' ', at);
    if (end == std::string::npos) end = title.size();
    std::string word = title.substr(at, end - at);
    if (!lines.back().empty() && lines.back().size() + 1 + word.size() > fits)
      lines.emplace_back();
    // A word longer than a line (a long path) is broken into lines of its own.
    while (word.size() > fits) {
      if (!lines.back().empty()) lines.emplace_back();
      lines.back() = word.substr(0, fits);
      word = word.substr(fits);
      lines.emplace_back();
    }
    lines.back() += (lines.back().empty() ? "" : " ") + word;
    at = end + 1;
  }
  return lines;
}

Layout layout_of(const InstanceData& d, const std::vector<int>& finish, const std::string& title) {
  Layout l;
  l.horizon = std::max(d.deadline, 1);
  for (int f : finish) l.horizon = std::max(l.horizon, f);
  l.period = PLOT_WIDTH / l.horizon;
  l.plot = l.period * l.horizon;
  l.width = std::max(LEFT + l.plot + RIGHT, MIN_WIDTH);
  l.step = tick_step(l.period, 40.0);
  l.real = std::max(d.activity_count - 2, 0);
  l.row = std::clamp(ROWS_HEIGHT / std::max(l.real, 1), MIN_ROW, MAX_ROW);
  l.font = std::clamp(l.row * 0.7, 8.0, 14.0);
  l.title = title_lines(title, l.width - LEFT - 8.0);
  l.gantt_top = 12.0 + TITLE_LINE * static_cast<double>(l.title.size()) + LEGEND_HEIGHT + 14.0;
  l.gantt_bottom = l.gantt_top + l.row * l.real;
  l.block = 20.0 + PROFILE_HEIGHT + AXIS_ROOM;
  l.profiles_top = l.gantt_bottom + AXIS_ROOM + 8.0;
  l.height = l.profiles_top + l.block * d.resource_count + 8.0;
  return l;
}

std::size_t at(int i) { return static_cast<std::size_t>(i); }

// Per-period loads of every resource, periods 1..horizon; an activity
// finishing at f with duration p occupies periods f - p + 1 to f.
std::vector<std::vector<long long>> period_loads(const InstanceData& d,
                                                 const std::vector<int>& finish, int horizon) {
  std::vector<std::vector<long long>> load(at(d.resource_count),
                                           std::vector<long long>(at(horizon) + 1, 0));
  for (int i = 0; i < d.activity_count; ++i)
    for (int t = std::max(1, finish[at(i)] - d.duration[at(i)] + 1);
         t <= std::min(horizon, finish[at(i)]); ++t)
      for (int k = 0; k < d.resource_count; ++k) load[at(k)][at(t)] += d.requirement[at(i)][at(k)];
  return load;
}

// A time axis: ticks numbered every l.step periods and the axis title.
void draw_axis(Svg& svg, const Layout& l, double y) {
  svg.line(LEFT, y, LEFT + l.plot, y, "stroke=\"#424242\"");
  for (int t = 0; t <= l.horizon; t += l.step) {
    svg.line(l.x_of(t), y, l.x_of(t), y + 4, "stroke=\"#424242\"");
    svg.text(l.x_of(t), y + 17, 12, std::to_string(t), "text-anchor=\"middle\"");
  }
  svg.text(LEFT + l.plot / 2, y + 34, 12, "time (periods)",
           "text-anchor=\"middle\" class=\"axis-title\"");
}

void draw_title_and_legend(Svg& svg, const Layout& l) {
  for (std::size_t k = 0; k < l.title.size(); ++k)
    svg.text(LEFT, 12.0 + TITLE_LINE * static_cast<double>(k + 1) - 4.0, TITLE_SIZE, l.title[k],
             "font-weight=\"bold\" class=\"title\"");
  const double y = 12.0 + TITLE_LINE * static_cast<double>(l.title.size()) + 8.0;
  double legend_x = LEFT;
  for (const auto& [colour, words] :
       {std::pair{POSITIVE, "positive cash flow"}, std::pair{NEGATIVE, "negative cash flow"},
        std::pair{NEUTRAL, "no cash flow"}}) {
    svg.rect(legend_x, y, 12, 12, std::string("fill=\"") + colour + "\"");
    svg.text(legend_x + 17, y + 11, 13, words);
    legend_x += 170;
  }
}

// Row stripes, grid, bars, labels, the arcs if wanted, and the time axis.
void draw_gantt(Svg& svg, const Layout& l, const InstanceData& d, const std::vector<int>& finish,
                bool arcs) {
  for (int r = 1; r < l.real; r += 2)
    svg.rect(LEFT, l.gantt_top + l.row * r, l.plot, l.row, "fill=\"#f2f2f2\"");
  for (int t = l.step; t <= l.horizon; t += l.step)
    svg.line(l.x_of(t), l.gantt_top, l.x_of(t), l.gantt_bottom,
             "stroke=\"#dddddd\" stroke-width=\"0.5\"");
  for (int i = 1; i <= l.real; ++i) {
    const double y = l.gantt_top + l.row * (i - 1);
    const int f = finish[at(i)];
    const int p = d.duration[at(i)];
    const int cash = d.cash_flow.empty() ? 0 : d.cash_flow[at(i)];
    const char* colour = cash > 0 ? POSITIVE : cash < 0 ? NEGATIVE : NEUTRAL;
    svg.rect(l.x_of(f - p), y + l.row * 0.15, l.period * p, l.row * 0.7,
             std::string("class=\"activity\" fill=\"") + colour +
                 "\" stroke=\"#263238\" stroke-width=\"0.5\"",
             "activity " + std::to_string(i + 1) + ": start " + std::to_string(f - p) +
                 ", finish " + std::to_string(f) + ", cash flow " + std::to_string(cash));
    svg.text(LEFT - 6, y + l.row / 2 + l.font * 0.35, l.font, std::to_string(i + 1),
             "text-anchor=\"end\"");
    svg.text(l.x_of(f) + 4, y + l.row / 2 + l.font * 0.35, l.font,
             (cash > 0 ? "+" : "") + std::to_string(cash), "class=\"cash-flow\"");
  }
  if (arcs)
    for (int i = 1; i <= l.real; ++i)
      for (const int j : d.successors[at(i)]) {
        if (j < 1 || j > l.real) continue;  // arcs to the end dummy say nothing
        svg.line(l.x_of(finish[at(i)]), l.gantt_top + l.row * (i - 0.5),
                 l.x_of(finish[at(j)] - d.duration[at(j)]), l.gantt_top + l.row * (j - 0.5),
                 "class=\"arc\" stroke=\"#1565c0\" stroke-width=\"0.7\" stroke-opacity=\"0.6\"");
      }
  draw_axis(svg, l, l.gantt_bottom);
}

// The load profile of resource k: runs of equal load as one bar each, then
// the capacity.
void draw_profile(Svg& svg, const Layout& l, int k, int capacity,
                  const std::vector<long long>& load) {
  const double top = l.profiles_top + l.block * k;
  const double base = top + 20.0 + PROFILE_HEIGHT;
  long long peak = std::max(capacity, 1);
  for (long long v : load) peak = std::max(peak, v);
  const double scale = PROFILE_HEIGHT / static_cast<double>(peak);
  svg.text(LEFT, top + 13, 13,
           "load of resource " + std::to_string(k + 1) + ", capacity " + std::to_string(capacity));
  for (int t = 1; t <= l.horizon;) {
    int end = t;
    while (end < l.horizon && load[at(end + 1)] == load[at(t)]) ++end;
    const long long v = load[at(t)];
    if (v > 0)
      svg.rect(l.x_of(t - 1), base - static_cast<double>(v) * scale, l.period * (end - t + 1),
               static_cast<double>(v) * scale,
               std::string("class=\"load\" shape-rendering=\"crispEdges\" fill=\"") +
                   (v > capacity ? "#E69F00" : "#A6CEE3") + "\"",
               "periods " + std::to_string(t) + "-" + std::to_string(end) + ": load " +
                   std::to_string(v));
    t = end + 1;
  }
  const double cap_y = base - capacity * scale;
  svg.line(LEFT, cap_y, LEFT + l.plot, cap_y,
           "class=\"capacity\" stroke=\"#0d47a1\" stroke-width=\"1.5\"");
  svg.text(LEFT - 6, cap_y + 4, 12, std::to_string(capacity), "text-anchor=\"end\"");
  svg.text(LEFT - 6, base + 4, 12, "0", "text-anchor=\"end\"");
  draw_axis(svg, l, base);
}

// The deadline across everything.
void draw_deadline(Svg& svg, const Layout& l, const InstanceData& d) {
  const int K = d.resource_count;
  const double dx = l.x_of(d.deadline);
  const double bottom =
      K > 0 ? l.profiles_top + l.block * (K - 1) + 20.0 + PROFILE_HEIGHT : l.gantt_bottom;
  svg.line(dx, l.gantt_top - 4, dx, bottom,
           "class=\"deadline\" stroke=\"#000000\" stroke-width=\"1.5\" stroke-dasharray=\"5 4\"");
  svg.text(dx - 3, l.gantt_top - 6, 12, "deadline " + std::to_string(d.deadline),
           "text-anchor=\"end\" fill=\"#000000\"");
}

}  // namespace

std::string schedule_svg(const InstanceData& d, const std::vector<int>& finish,
                         const std::string& title, bool arcs) {
  if (static_cast<int>(finish.size()) != d.activity_count) return {};
  const Layout l = layout_of(d, finish, title);
  const std::vector<std::vector<long long>> load = period_loads(d, finish, l.horizon);
  Svg svg;
  draw_title_and_legend(svg, l);
  draw_gantt(svg, l, d, finish, arcs);
  for (int k = 0; k < d.resource_count; ++k)
    draw_profile(svg, l, k, d.capacity[at(k)], load[at(k)]);
  draw_deadline(svg, l, d);
  return svg_document(l.width, l.height, svg.body);
}

std::string svg_document(double width, double height, const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
         num(width) + "\" height=\"" + num(height) + "\" viewBox=\"0 0 " + num(width) + " " +
         num(height) +
         "\" font-family=\"sans-serif\">\n"
         "<rect x=\"0\" y=\"0\" width=\"100%\" height=\"100%\" fill=\"white\"/>\n" +
         body + "</svg>\n";
}

std::string svg_text(const std::string& text) { return escaped(text); }
std::string svg_number(double value) { return num(value); }

FileOutcome write_schedule_svg(const std::string& path, const InstanceData& instance,
                               const std::vector<int>& finish_time, const std::string& title,
                               bool arcs) {
  if (static_cast<int>(finish_time.size()) != instance.activity_count)
    return FileOutcome{FileFault::invalid,
                       std::to_string(finish_time.size()) + " finish times for " +
                           std::to_string(instance.activity_count) + " activities"};
  return write_text_file(path, schedule_svg(instance, finish_time, title, arcs));
}

}  // namespace rcpspdc
