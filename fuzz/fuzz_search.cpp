// Fuzz target for the solver: the input is a short header and an instance
// file. Any instance the reader accepts gets cash flows and a deadline from
// the header (deadlines up to the limit) and is searched with a small budget
// of nodes; whatever schedule comes out must pass the independent
// checker with the reported value, bit for bit. A network of at most 8
// activities is searched to the end, and its value must be the best that
// enumerating every schedule finds, when enumeration is cheap enough; the
// start-time and learning searches run on every input too, under a node
// budget, and must agree with it where they complete. All are run as the
// programs run them, through their engines.
//
// Header, 11 bytes: deadline mode, deadline (4 bytes, little-endian), cash
// flow seed (4 bytes), percentage of negative cash flows, interest rate.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "check/schedule_check.hpp"
#include "formats/instance_file.hpp"
#include "learning_search/learning_engine.hpp"
#include "model/cash_flows.hpp"
#include "search/delaying_search.hpp"
#include "window_search/start_time_engine.hpp"

namespace {

using namespace rcpspdc;

constexpr std::size_t HEADER = 11;
constexpr std::int64_t BUDGET = 1000;         // nodes of a delaying search that may be stopped
constexpr int COMPLETE_UP_TO = 8;             // activities of a network searched to the end
constexpr std::int64_t WINDOW_BUDGET = 3000;  // nodes of the start-time search
constexpr int HEURISTIC_BUDGET = 50;          // generations of its first-schedule heuristic
constexpr double ENUMERATION_LIMIT = 1e5;     // schedules the enumeration may visit

void require(bool condition) {
  if (!condition) std::abort();
}

std::uint32_t word_at(const std::uint8_t* data) {
  return static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
         static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
}

// A topological order of the file's network, and for each activity the
// longest path to it (head, its duration included) and from its finish to
// the end (tail).
struct Paths {
  std::vector<int> order, head, tail;
};

Paths longest_paths(const InstanceData& d) {
  const auto n = static_cast<std::size_t>(d.activity_count);
  Paths p;
  std::vector<int> indegree(n, 0);
  for (const auto& list : d.successors)
    for (int s : list) ++indegree[static_cast<std::size_t>(s)];
  for (std::size_t i = 0; i < n; ++i)
    if (indegree[i] == 0) p.order.push_back(static_cast<int>(i));
  for (std::size_t at = 0; at < p.order.size(); ++at)
    for (int s : d.successors[static_cast<std::size_t>(p.order[at])])
      if (--indegree[static_cast<std::size_t>(s)] == 0) p.order.push_back(s);
  require(p.order.size() == n);  // the reader refuses cycles
  p.head.assign(n, 0);
  p.tail.assign(n, 0);
  for (int i : p.order) {
    const auto a = static_cast<std::size_t>(i);
    p.head[a] += d.duration[a];
    for (int s : d.successors[a])
      p.head[static_cast<std::size_t>(s)] =
          std::max(p.head[static_cast<std::size_t>(s)], p.head[a]);
  }
  for (auto it = p.order.rbegin(); it != p.order.rend(); ++it) {
    const auto a = static_cast<std::size_t>(*it);
    for (int s : d.successors[a])
      p.tail[a] = std::max(p.tail[a], p.tail[static_cast<std::size_t>(s)] +
                                          d.duration[static_cast<std::size_t>(s)]);
  }
  return p;
}

// Any schedule a search reports must pass the checker with the value reported.
void require_checked(const InstanceData& d, const SearchResult& result, double rate) {
  if (!result.has_incumbent) return;
  const ScheduleCheck check = check_schedule(d, result.finish, rate);
  require(check.feasible());
  require(check.npv == result.value);
}

// Whether no period of the schedule asks more of a resource than there is;
// a plain load profile, so that the checker is asked only about schedules
// it will accept.
bool within_capacity(const InstanceData& d, const std::vector<int>& finish,
                     std::vector<int>& load) {
  const auto K = static_cast<std::size_t>(d.resource_count);
  load.assign(static_cast<std::size_t>(d.deadline + 1) * K, 0);
  for (std::size_t i = 0; i < finish.size(); ++i)
    for (int t = finish[i] - d.duration[i] + 1; t <= finish[i]; ++t)
      for (std::size_t k = 0; k < K; ++k) {
        int& used = load[static_cast<std::size_t>(t) * K + k];
        used += d.requirement[i][k];
        if (used > d.capacity[k]) return false;
      }
  return true;
}

// The best value of any schedule, by trying every finish time of every
// activity in topological order within its window, each schedule within the
// capacities valued by the checker; minus infinity when none is feasible.
double enumerated_best(const InstanceData& d, const Paths& p, double rate) {
  const auto n = static_cast<std::size_t>(d.activity_count);
  std::vector<int> finish(n, 0);
  std::vector<int> load;
  double best = -std::numeric_limits<double>::infinity();
  const auto place = [&](auto&& self, std::size_t at) -> void {
    if (at == n) {
      if (!within_capacity(d, finish, load)) return;
      const ScheduleCheck check = check_schedule(d, finish, rate);
      require(check.feasible());
      best = std::max(best, check.npv);
      return;
    }
    const auto a = static_cast<std::size_t>(p.order[at]);
    int earliest = d.duration[a];
    for (std::size_t q = 0; q < n; ++q)
      for (int s : d.successors[q])
        if (static_cast<std::size_t>(s) == a)
          earliest = std::max(earliest, finish[q] + d.duration[a]);
    // The dummies: the first finishes at 0; the end as the checker wants it.
    if (a == 0) earliest = 0;
    const int latest = a == 0 ? 0 : d.deadline - p.tail[a];
    for (int f = earliest; f <= latest; ++f) {
      finish[a] = f;
      self(self, at + 1);
      if (a == n - 1) break;  // the end at its earliest finish: the last of the others
    }
  };
  place(place, 0);
  return best;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < HEADER) return 0;
  InstanceData d;
  if (!parse_instance_text(
           std::string(reinterpret_cast<const char*>(data + HEADER), size - HEADER), d)
           .ok())
    return 0;
  const Paths paths = longest_paths(d);
  const int critical = paths.head[static_cast<std::size_t>(d.activity_count - 1)];
  require(critical <= MAX_DEADLINE);  // the reader bounds the sum of the durations
  // Mostly just above the critical path, where searches branch; sometimes
  // anywhere up to the limit.
  const std::uint32_t raw = word_at(data + 1);
  d.deadline = data[0] % 4 != 3 ? std::min(critical + static_cast<int>(raw % 8), MAX_DEADLINE)
                                : static_cast<int>(raw % (MAX_DEADLINE + 1));
  std::mt19937 generator(word_at(data + 5));
  draw_cash_flows(d, generator, data[9] % 101);
  const double rates[] = {0.0, 0.001, 0.01, 0.1};
  const double rate = rates[data[10] % 4];

  // The start-time search under a node budget, its schedule checked like
  // the other's; compared with enumeration below when it completed.
  static const auto windows = std::make_unique<StartTimeEngine>();
  windows->settings().heuristic_budget = HEURISTIC_BUDGET;
  SearchRequest request;
  request.instance = &d;
  request.interest_rate = rate;
  request.limits.node_limit = WINDOW_BUDGET;
  KeptResult by_windows;
  windows->solve(request, by_windows);
  require(by_windows.result.has_value());
  const SearchResult& w = *by_windows.result;
  require_checked(d, w, rate);

  // The learning search likewise, its nogoods behind every prune.
  static const auto learning = std::make_unique<LearningEngine>();
  KeptResult by_learning;
  learning->solve(request, by_learning);
  require(by_learning.result.has_value());
  const SearchResult& l = *by_learning.result;
  require_checked(d, l, rate);

  static const auto delaying = std::make_unique<DelayingSearch>();
  const bool small = d.activity_count <= COMPLETE_UP_TO;
  request.limits.node_limit = small ? 0 : BUDGET;
  KeptResult by_delaying;
  delaying->solve(request, by_delaying);
  require(by_delaying.result.has_value());
  const SearchResult& s = *by_delaying.result;
  require_checked(d, s, rate);
  const bool completed = s.end == SearchEnd::complete;
  if (!small || !completed) return 0;
  // Enumeration only where its windows are narrow enough.
  double schedules = 1.0;
  for (int i = 1; i < d.activity_count - 1; ++i) {
    const auto a = static_cast<std::size_t>(i);
    schedules *= std::max(1, d.deadline - paths.tail[a] - paths.head[a] + 1);
  }
  double work = 0.0;  // periods of one load profile
  for (int duration : d.duration) work += duration;
  if (schedules > ENUMERATION_LIMIT ||
      schedules * (work + d.deadline + 1) > ENUMERATION_LIMIT * 100)
    return 0;
  const double best = enumerated_best(d, paths, rate);
  require(s.has_incumbent == (best > -std::numeric_limits<double>::infinity()));
  if (s.has_incumbent) require(std::fabs(best - s.value) <= 1e-9 * std::max(1.0, std::fabs(best)));
  for (const SearchResult* other : {&w, &l}) {
    if (other->end != SearchEnd::complete) continue;
    require(other->has_incumbent == s.has_incumbent);
    if (other->has_incumbent)
      require(std::fabs(best - other->value) <= 1e-9 * std::max(1.0, std::fabs(best)));
  }
  return 0;
}
