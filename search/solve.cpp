// The search driver: the per-instance reset, the root, the depth-first loop,
// the incumbent and the time check. "No incumbent" is minus infinity, which
// every deadline-feasible node beats; reports show it as -9999.00.
#include <limits>

#include "search/search_state.hpp"

namespace rcpspdc {

namespace {
constexpr int TIME_CHECK_INTERVAL = 10000;  // branchings between two clock readings
}  // namespace

float elapsed_seconds(const Solver& solver) {
  const SearchSettings& settings = solver.search.settings;
  const auto ticks = static_cast<std::int32_t>(settings.clock_ms() - settings.start_clock);
  return static_cast<float>(ticks) * 0.001f;
}

void init_search(Solver& solver) {
  SearchState& s = solver.search;
  ProjectModel& m = solver.model;
  s.created_nodes = 1;
  s.time_check_countdown = TIME_CHECK_INTERVAL;
  s.cut_count = 0;
  s.branched_nodes = 0;
  s.node_count = 0;
  s.level = 0;
  s.has_incumbent = false;
  s.best_npv = -std::numeric_limits<double>::infinity();
  for (int i = 0; i < ACTIVITY_ROWS; ++i) s.best_finish[i] = 0;
  prepare_search(solver);
  clear_schedule(m, solver.bound);
  // Level 0 has no snapshot: restoring it empties the conflict set only.
  set_clear(s.saved_conflict[0]);
  set_clear(s.path_delayed[0]);
  s.level_slot_base[1] = 0;
}

int time_limit_reached(Solver& solver) {
  SearchState& s = solver.search;
  if (--s.time_check_countdown != 0) return 0;
  const SearchSettings& settings = s.settings;
  const auto ticks = static_cast<std::int32_t>(settings.clock_ms() - settings.start_clock);
  // The tick length is the single-precision 0.001, widened for the product.
  if (ticks * static_cast<double>(0.001f) > settings.time_limit) {
    s.elapsed_seconds = elapsed_seconds(solver);
    settings.sink->report_result(SearchEnd::time_limit);
    return 1;
  }
  s.time_check_countdown = TIME_CHECK_INTERVAL;
  return 0;
}

void record_incumbent(Solver& solver) {
  SearchState& s = solver.search;
  ProjectModel& m = solver.model;
  s.best_npv = solver.bound.node_npv;
  s.has_incumbent = true;
  for (int i = m.activity_count - 1; i >= 0; --i) s.best_finish[i] = m.finish_time[i];
  clear_schedule(m, solver.bound);
}

void solve_instance(Solver& solver) {
  SearchState& s = solver.search;
  ProjectModel& m = solver.model;
  init_search(solver);
  bool branch = false;
  if (compute_bound(m, solver.bound, s.best_npv, s.created_nodes) == BoundOutcome::open) {
    if (detect_conflict(m, solver.bound, s.conflict) == 0) {
      record_incumbent(solver);
    } else {
      s.node_excess = s.conflict.found_excess;
      s.conflict_set = s.conflict.found_conflict;
      branch = true;
    }
  }
  for (;;) {
    if (branch) {
      if (time_limit_reached(solver)) return;
      push_level(solver);
      // The head of a freshly filled list is taken without comparing its
      // bound with the incumbent, even one found in the same branching.
      if (branch_node(solver) == Branching::children) {
        take_next_node(solver);
        continue;
      }
    }
    if (backtrack(solver) == 0) break;
    take_next_node(solver);
    branch = true;
  }
  s.elapsed_seconds = elapsed_seconds(solver);
  if (s.settings.single_instance)
    s.settings.sink->report_solution();
  else
    s.settings.sink->report_result(SearchEnd::complete);
}

}  // namespace rcpspdc
