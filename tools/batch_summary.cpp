#include "tools/batch_summary.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "formats/text_file.hpp"

namespace rcpspdc {

namespace {

constexpr std::int64_t BUSY_EVALUATIONS = 10000;  // searches above this count in the busy median

}  // namespace

double median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

double relative_gap(const BatchRow& row) { return relative_gap(row.bound, row.npv); }

double relative_gap(double bound, double value) {
  return (bound - value) / std::max(std::fabs(value), 1.0);
}

BatchSummary summarize(const std::vector<BatchRow>& rows) {
  BatchSummary sum;
  std::vector<double> seconds;
  std::vector<double> busy_rates;
  std::vector<double> busy_cpu_rates;
  for (const BatchRow& row : rows) {
    ++sum.instances;
    switch (row.kind) {
      case RowStatus::optimal: ++sum.optimal; break;
      case RowStatus::infeasible: ++sum.infeasible; break;
      case RowStatus::time_limit:
      case RowStatus::node_limit:
        ++sum.stopped;
        sum.stopped_by_nodes += row.kind == RowStatus::node_limit;
        if (row.has_value && row.has_bound) {
          const double gap = relative_gap(row);
          ++sum.gap_instances;
          sum.mean_gap += gap;
          sum.largest_gap = std::max(sum.largest_gap, gap);
        }
        break;
      case RowStatus::error: ++sum.errors; break;
    }
    if (row.seconds < 0.0) continue;
    seconds.push_back(row.seconds);
    sum.total_seconds += row.seconds;
    sum.cpu_seconds += row.cpu_seconds;
    const std::int64_t evaluations = row.created_nodes - 1;
    sum.evaluations += evaluations;
    if (evaluations > BUSY_EVALUATIONS && row.seconds > 0.0 && row.cpu_seconds > 0.0) {
      busy_rates.push_back(static_cast<double>(evaluations) / row.seconds);
      busy_cpu_rates.push_back(static_cast<double>(evaluations) / row.cpu_seconds);
    }
  }
  if (sum.gap_instances > 0) sum.mean_gap /= sum.gap_instances;
  sum.median_seconds = median(seconds);
  if (sum.total_seconds > 0.0)
    sum.evaluations_per_second = static_cast<double>(sum.evaluations) / sum.total_seconds;
  if (sum.cpu_seconds > 0.0)
    sum.evaluations_per_cpu_second = static_cast<double>(sum.evaluations) / sum.cpu_seconds;
  sum.busy_instances = static_cast<int>(busy_rates.size());
  sum.busy_median_rate = median(busy_rates);
  sum.busy_median_cpu_rate = median(busy_cpu_rates);
  return sum;
}

std::string format_summary(const BatchSummary& s) {
  std::string text;
  const auto line = [&text](const char* name, const std::string& value) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "%-44s %s\n", name, value.c_str());
    text += buffer;
  };
  line("instances", std::to_string(s.instances));
  line("optimal", std::to_string(s.optimal));
  line("infeasible", std::to_string(s.infeasible));
  line("stopped by the time limit", std::to_string(s.stopped - s.stopped_by_nodes));
  line("stopped by the node limit", std::to_string(s.stopped_by_nodes));
  line("errors", std::to_string(s.errors));
  if (s.stopped > 0) {
    line("stopped with a schedule", std::to_string(s.gap_instances));
    line("  their mean relative gap",
         s.gap_instances > 0 ? fixed_decimals(100.0 * s.mean_gap, 3) + " %" : "-");
    line("  their largest relative gap",
         s.gap_instances > 0 ? fixed_decimals(100.0 * s.largest_gap, 3) + " %" : "-");
  }
  line("total seconds", fixed_decimals(s.total_seconds, 3));
  line("median seconds", fixed_decimals(s.median_seconds, 6));
  line("processor share of the search time",
       s.total_seconds > 0.0 ? fixed_decimals(100.0 * s.cpu_seconds / s.total_seconds, 1) + " %"
                             : "-");
  line("bound evaluations", std::to_string(s.evaluations));
  line("bound evaluations per second", fixed_decimals(s.evaluations_per_second, 0));
  line("  per processor second", fixed_decimals(s.evaluations_per_cpu_second, 0));
  line(("instances with more than " + std::to_string(BUSY_EVALUATIONS) + " evaluations").c_str(),
       std::to_string(s.busy_instances));
  line("  their median evaluations per second", fixed_decimals(s.busy_median_rate, 0));
  line("  per processor second", fixed_decimals(s.busy_median_cpu_rate, 0));
  return text;
}

}  // namespace rcpspdc
