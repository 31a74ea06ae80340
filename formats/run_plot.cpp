#include "formats/run_plot.hpp"

#include <algorithm>
#include <cmath>

#include "formats/svg_plot.hpp"
#include "formats/text_file.hpp"

namespace rcpspdc {

namespace {

constexpr double LEFT = 64.0;  // room for the seconds labels
constexpr double TOP = 48.0;   // below the title and the legend
constexpr double WIDTH = 900.0;
constexpr double HEIGHT = 360.0;
constexpr double FLOOR_SECONDS = 1e-4;  // shorter searches are drawn here

}  // namespace

std::string run_plot_svg(const std::vector<BatchRow>& rows, const std::string& title) {
  double top_seconds = 1.0;
  for (const BatchRow& row : rows) top_seconds = std::max(top_seconds, row.seconds);
  const int low = static_cast<int>(std::floor(std::log10(FLOOR_SECONDS)));
  const int high = static_cast<int>(std::ceil(std::log10(top_seconds)));
  const double n = static_cast<double>(std::max<std::size_t>(rows.size(), 1));
  const auto x_of = [&](std::size_t k) {
    return LEFT + WIDTH * (static_cast<double>(k) + 0.5) / n;
  };
  const auto y_of = [&](double seconds) {
    const double decade = std::log10(std::max(seconds, FLOOR_SECONDS));
    return TOP + HEIGHT * (high - decade) / (high - low);
  };
  std::string body =
      "<text x=\"" + svg_number(LEFT) + "\" y=\"20\" font-size=\"14\" " + "font-weight=\"bold\">" +
      svg_text(title) + "</text>\n" + "<text x=\"" + svg_number(LEFT) +
      "\" y=\"38\" font-size=\"11\"><tspan fill=\"#43a047\">&#9679; optimal</tspan>"
      "  <tspan fill=\"#9e9e9e\">&#9679; infeasible</tspan>"
      "  <tspan fill=\"#e53935\">&#9650; stopped by the time limit</tspan></text>\n";
  // One labelled grid line per decade.
  for (int decade = low; decade <= high; ++decade) {
    const double y = y_of(std::pow(10.0, decade));
    char label[32];
    std::snprintf(label, sizeof label, "%g s", std::pow(10.0, decade));
    body += "<line x1=\"" + svg_number(LEFT) + "\" y1=\"" + svg_number(y) + "\" x2=\"" +
            svg_number(LEFT + WIDTH) + "\" y2=\"" + svg_number(y) +
            "\" stroke=\"#dddddd\"/>\n<text x=\"" + svg_number(LEFT - 6) + "\" y=\"" +
            svg_number(y + 4) + "\" font-size=\"10\" text-anchor=\"end\">" + label + "</text>\n";
  }
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const BatchRow& row = rows[k];
    if (row.kind == RowStatus::error || row.seconds < 0.0) continue;
    const double x = x_of(k);
    const double y = y_of(row.seconds);
    const std::string hover = "<title>" +
                              svg_text("instance " + std::to_string(row.number) + ": " +
                                       row.status + ", " + fixed_decimals(row.seconds, 4) + " s") +
                              "</title>";
    if (row.kind == RowStatus::time_limit)
      body += "<polygon class=\"stopped\" fill=\"#e53935\" points=\"" + svg_number(x) + "," +
              svg_number(y - 5) + " " + svg_number(x - 4.5) + "," + svg_number(y + 3) + " " +
              svg_number(x + 4.5) + "," + svg_number(y + 3) + "\">" + hover + "</polygon>\n";
    else
      body += std::string("<circle class=\"") +
              (row.kind == RowStatus::optimal ? "optimal\" fill=\"#43a047"
                                              : "infeasible\" fill=\"#9e9e9e") +
              "\" cx=\"" + svg_number(x) + "\" cy=\"" + svg_number(y) + "\" r=\"3.5\">" + hover +
              "</circle>\n";
  }
  const double width = LEFT + WIDTH + 24.0;
  const double height = TOP + HEIGHT + 30.0;
  body += "<text x=\"" + svg_number(LEFT + WIDTH / 2) + "\" y=\"" + svg_number(height - 8) +
          "\" font-size=\"11\" text-anchor=\"middle\">instances in run order</text>\n";
  return svg_document(width, height, body);
}

}  // namespace rcpspdc
