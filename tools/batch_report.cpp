#include "tools/batch_report.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "formats/text_file.hpp"
#include "tools/batch_summary.hpp"
#include "tools/output_file.hpp"

namespace rcpspdc {

namespace {

constexpr double GEOMETRIC_FLOOR = 1e-6;  // the rows' resolution: 0 s counts as 1 us

// Positions in settings_fields().
enum Setting : std::size_t {
  ENGINE,
  OFFSET,
  FACTOR,
  RATE,
  NEGATIVE,
  SEED,
  CASH_FLOWS,
  MAKESPANS,
  TIME_LIMIT,
  NODE_LIMIT
};

double geometric_mean(const std::vector<double>& values) {
  if (values.empty()) return 0.0;
  double logs = 0.0;
  for (const double v : values) logs += std::log(std::max(v, GEOMETRIC_FLOOR));
  return std::exp(logs / static_cast<double>(values.size()));
}

double mean(const std::vector<double>& values) {
  double sum = 0.0;
  for (const double v : values) sum += v;
  return values.empty() ? 0.0 : sum / static_cast<double>(values.size());
}

// The settings of the table, in column order: the deadline as one column.
struct Column {
  std::string name;
  std::string (*of)(const ReportGroup& group);
};

std::string deadline_of(const ReportGroup& g) {
  return g.key[FACTOR].empty() ? "+" + g.key[OFFSET] : "x" + g.key[FACTOR];
}

const std::vector<Column>& setting_columns() {
  static const std::vector<Column> columns = {
      {"set", [](const ReportGroup& g) { return g.set; }},
      {"engine", [](const ReportGroup& g) { return g.key[ENGINE]; }},
      {"deadline", deadline_of},
      {"rate", [](const ReportGroup& g) { return g.key[RATE]; }},
      {"negative", [](const ReportGroup& g) { return g.key[NEGATIVE]; }},
      {"seed", [](const ReportGroup& g) { return g.key[SEED]; }},
      {"cash_flows", [](const ReportGroup& g) { return g.key[CASH_FLOWS]; }},
      {"makespans", [](const ReportGroup& g) { return g.key[MAKESPANS]; }},
      {"time_limit", [](const ReportGroup& g) { return g.key[TIME_LIMIT]; }},
      {"node_limit", [](const ReportGroup& g) { return g.key[NODE_LIMIT]; }},
  };
  return columns;
}

// Whether a settings column has one value in every group.
bool shared(const Column& column, const std::vector<ReportGroup>& groups) {
  for (const ReportGroup& g : groups)
    if (column.of(g) != column.of(groups.front())) return false;
  return true;
}

std::vector<std::string> count_fields(const ReportGroup& g) {
  const auto gap = [&g](double value) {
    return g.gaps.empty() ? std::string("-") : fixed_decimals(100.0 * value, 3);
  };
  return {std::to_string(g.instances),
          std::to_string(g.optimal + g.infeasible),
          std::to_string(g.optimal),
          std::to_string(g.infeasible),
          std::to_string(g.stopped_with),
          std::to_string(g.stopped_without),
          std::to_string(g.errors),
          gap(mean(g.gaps)),
          gap(g.gaps.empty() ? 0.0 : *std::max_element(g.gaps.begin(), g.gaps.end())),
          fixed_decimals(median(g.seconds), 6),
          fixed_decimals(geometric_mean(g.seconds), 6)};
}

const std::vector<std::string> COUNT_NAMES = {
    "instances",           "proven",          "optimal",        "infeasible",
    "stopped_with",        "stopped_without", "errors",         "mean_gap_percent",
    "largest_gap_percent", "median_seconds",  "geomean_seconds"};

std::string series_name(const ReportGroup& g, const std::vector<ReportGroup>& groups) {
  std::string name;
  for (const Column& column : setting_columns())
    if (!shared(column, groups) || column.name == "engine")
      name += (name.empty() ? "" : ", ") +
              (column.name == "engine" ? column.of(g) : column.name + " " + column.of(g));
  return name;
}

std::string shared_settings(const std::vector<ReportGroup>& groups) {
  std::string text;
  for (const Column& column : setting_columns())
    if (shared(column, groups) && column.name != "engine" && column.name != "set" &&
        !column.of(groups.front()).empty())
      text += (text.empty() ? "" : ", ") + column.name + " " + column.of(groups.front());
  return text;
}

}  // namespace

ReportRow report_row(const BatchRow& row, const RunSettings& settings, const std::string& set) {
  ReportRow r;
  r.set = set;
  r.key = settings_fields(settings);
  r.kind = row.kind;
  r.has_value = row.has_value;
  r.value = row.npv;
  r.has_bound = row.has_bound;
  r.bound = row.bound;
  r.seconds = row.seconds;
  return r;
}

std::vector<ReportGroup> group_rows(const std::vector<ReportRow>& rows) {
  std::vector<ReportGroup> groups;
  std::map<std::pair<std::string, std::vector<std::string>>, std::size_t> index;
  for (const ReportRow& row : rows) {
    const auto [found, added] = index.emplace(std::pair{row.set, row.key}, groups.size());
    if (added) {
      groups.emplace_back();
      groups.back().set = row.set;
      groups.back().key = row.key;
    }
    ReportGroup& g = groups[found->second];
    ++g.instances;
    if (row.seconds >= 0.0) g.seconds.push_back(row.seconds);
    switch (row.kind) {
      case RowStatus::optimal:
      case RowStatus::infeasible:
        ++(row.kind == RowStatus::optimal ? g.optimal : g.infeasible);
        g.proven_seconds.push_back(std::max(row.seconds, 0.0));
        break;
      case RowStatus::time_limit:
      case RowStatus::node_limit:
        ++(row.has_value ? g.stopped_with : g.stopped_without);
        if (row.has_value && row.has_bound) g.gaps.push_back(relative_gap(row.bound, row.value));
        break;
      case RowStatus::error: ++g.errors; break;
    }
  }
  return groups;
}

std::string report_table(const std::vector<ReportGroup>& groups, bool csv) {
  if (groups.empty()) return csv ? "" : "no rows\n";
  std::vector<const Column*> columns;
  for (const Column& column : setting_columns())
    if (csv || !shared(column, groups) || column.name == "engine") columns.push_back(&column);
  std::vector<std::string> head;
  for (const Column* column : columns) head.push_back(column->name);
  head.insert(head.end(), COUNT_NAMES.begin(), COUNT_NAMES.end());
  const auto join = [csv](const std::vector<std::string>& fields) {
    std::string line = csv ? "" : "|";
    for (std::size_t f = 0; f < fields.size(); ++f)
      line += csv ? (f == 0 ? "" : ",") + csv_field(fields[f]) : " " + fields[f] + " |";
    return line + '\n';
  };
  std::string text;
  if (!csv) {
    const std::string common = shared_settings(groups);
    if (!common.empty()) text += "Every row: " + common + ".\n\n";
  }
  text += join(head);
  if (!csv) {
    std::vector<std::string> rule;
    for (std::size_t c = 0; c < head.size(); ++c)
      rule.push_back(c < columns.size() ? "---" : "--:");
    text += join(rule);
  }
  for (const ReportGroup& g : groups) {
    std::vector<std::string> fields;
    for (const Column* column : columns) fields.push_back(column->of(g));
    const std::vector<std::string> counts = count_fields(g);
    fields.insert(fields.end(), counts.begin(), counts.end());
    text += join(fields);
  }
  if (!csv)
    text +=
        "\nproven: complete searches (optimal or infeasible); stopped_with / stopped_without: "
        "stopped by the time or node limit with or without a schedule; gaps: (bound - value) / "
        "max(|value|, 1) of those stopped with one; seconds: of every search, the geometric mean "
        "counting 0 as 0.000001 (the resolution of the rows).\n";
  return text;
}

ProfileFigure profile_figure(const std::vector<ReportGroup>& groups) {
  ProfileFigure figure;
  std::set<std::string> sets;
  std::set<double> limits;
  for (const ReportGroup& g : groups) {
    sets.insert(g.set.empty() ? "instance files" : g.set);
    double limit = 0.0;
    if (to_number(g.key[TIME_LIMIT], limit)) limits.insert(limit);
    ProfileSeries series;
    series.name = series_name(g, groups);
    series.instances = g.instances;
    series.proven_seconds = g.proven_seconds;
    series.stopped = g.stopped_with + g.stopped_without;
    series.gaps = g.gaps;
    series.errors = g.errors;
    figure.series.push_back(std::move(series));
  }
  figure.time_limits.assign(limits.begin(), limits.end());
  std::string title;
  for (const std::string& set : sets) title += (title.empty() ? "" : " and ") + set;
  const std::string common = groups.empty() ? "" : shared_settings(groups);
  figure.title = title + (common.empty() ? "" : ", " + common);
  return figure;
}

int run_report(const BatchOptions& options, std::FILE* out, std::FILE* err) {
  std::vector<ReportRow> rows;
  for (const std::string& path : options.files) {
    const FileOutcome read = read_report_rows(path, rows);
    if (!read.ok()) {
      std::fprintf(err, "rcpspdc-batch: --report: %s\n", read.message.c_str());
      return 2;
    }
  }
  const std::vector<ReportGroup> groups = group_rows(rows);
  for (const auto& [path, draw] :
       {std::pair{options.plot, &performance_profile_svg}, {options.gap_plot, &gap_profile_svg}}) {
    if (path.empty()) continue;
    const FileOutcome written = write_text_file(path, draw(profile_figure(groups)));
    if (!written.ok()) {
      std::fprintf(err, "rcpspdc-batch: %s\n", written.message.c_str());
      return 2;
    }
  }
  std::fputs(report_table(groups, options.format == "csv").c_str(), out);
  return std::fflush(out) == 0 && std::ferror(out) == 0 ? 0 : 2;
}

}  // namespace rcpspdc
