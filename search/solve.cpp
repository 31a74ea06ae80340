// The search driver: the per-instance reset, the root, the depth-first loop,
// the incumbent and the limits. "No incumbent" is minus infinity, which
// every deadline-feasible node beats; reports show it as -9999.00.
//
// The clock is read by the work done (platform/time_budget.hpp): a bound
// evaluation with its conflict test costs a pass over the activities, the
// arcs, the horizon and every activity's periods, a dominance test a pass
// over the cutset store. Over a long horizon a single branching may thus
// read the clock several times, and a search stops within about a
// millisecond of work after its limit, also in the middle of a branching.
#include <limits>

#include "model/npv.hpp"
#include "search/delaying_search.hpp"
#include "search/open_bound.hpp"
#include "search/search_state.hpp"

namespace rcpspdc {

namespace {

// Seconds since the budget's start, from a fresh reading: the tick difference
// as a 32-bit integer times the single-precision 0.001, in single precision.
float elapsed_seconds(const TimeBudget& time) {
  const auto ticks = static_cast<std::int32_t>(clock_ms() - time.start_ms);
  return static_cast<float>(ticks) * 0.001f;
}

std::int64_t evaluation_work(const ProjectModel& m) {
  std::int64_t work = m.activity_count + m.deadline;
  for (int i = 0; i < m.activity_count; ++i) work += m.succ_count[i] + m.duration[i];
  return work;
}

// A schedule found elsewhere becomes the incumbent when it is worth more.
void offer_first_schedule(Solver& solver, const std::vector<int>& finish) {
  SearchState& s = solver.search;
  const ProjectModel& m = solver.model;
  const double value =
      schedule_value(m.activity_count, m.cash_flow, finish.data(), solver.bound.discount.data());
  if (value <= s.best_npv) return;
  s.best_npv = value;
  s.has_incumbent = true;
  for (int i = 0; i < m.activity_count; ++i)
    s.best_finish[i] = finish[static_cast<std::size_t>(i)];
}

void fill_result(Solver& solver, float elapsed) {
  SearchState& s = solver.search;
  SearchResult& r = s.result;
  r.end = s.end;
  set_incumbent(r, s.has_incumbent, s.best_npv, s.best_finish, solver.model.activity_count);
  r.bound = s.end == SearchEnd::complete ? s.best_npv : open_bound(s);
  r.created_nodes = s.created_nodes;
  r.branched_nodes = s.branched_nodes;
  r.seconds = static_cast<double>(elapsed);
  // The search keeps no time of its incumbent, and reads no clock for one.
  r.seconds_to_best = -1.0;
}

}  // namespace

void init_search(Solver& solver, double interest_rate) {
  SearchState& s = solver.search;
  ProjectModel& m = solver.model;
  s.created_nodes = 1;
  s.cut_count = 0;
  s.branched_nodes = 0;
  s.node_count = 0;
  s.level = 0;
  s.has_incumbent = false;
  s.best_npv = -std::numeric_limits<double>::infinity();
  s.root_bound = std::numeric_limits<double>::infinity();
  s.clock = WorkClock();
  s.node_limit = 0;
  s.stopping = false;
  s.end = SearchEnd::complete;
  for (int i = 0; i < ACTIVITY_ROWS; ++i) s.best_finish[i] = 0;
  prepare_search(solver, interest_rate);
  s.evaluation_work = evaluation_work(m);
  clear_schedule(m, solver.bound);
  // Level 0 has no snapshot: restoring it empties the conflict set only.
  set_clear(s.saved_conflict[0]);
  set_clear(s.path_delayed[0]);
  s.level_slot_base[1] = 0;
}

bool limit_reached(Solver& solver) {
  SearchState& s = solver.search;
  if (s.node_limit > 0 && s.created_nodes >= s.node_limit) {
    s.end = SearchEnd::node_limit;
    return true;
  }
  if (s.clock.spent_after(solver.model.activity_count)) {
    s.end = SearchEnd::time_limit;
    return true;
  }
  return false;
}

void record_incumbent(Solver& solver) {
  SearchState& s = solver.search;
  ProjectModel& m = solver.model;
  s.best_npv = solver.bound.node_npv;
  s.has_incumbent = true;
  for (int i = m.activity_count - 1; i >= 0; --i) s.best_finish[i] = m.finish_time[i];
  clear_schedule(m, solver.bound);
}

const SearchResult& solve_instance(Solver& solver, double interest_rate,
                                   const SearchLimits& limits,
                                   const std::vector<int>* first_schedule) {
  SearchState& s = solver.search;
  ProjectModel& m = solver.model;
  init_search(solver, interest_rate);
  s.clock = WorkClock(limits.time);
  s.node_limit = limits.node_limit;
  if (first_schedule != nullptr) offer_first_schedule(solver, *first_schedule);
  bool branch = false;
  if (compute_bound(m, solver.bound, s.best_npv, s.created_nodes) == BoundOutcome::open) {
    s.root_bound = solver.bound.node_npv;
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
      if (limit_reached(solver)) break;
      push_level(solver);
      if (s.observer != nullptr) s.observer->before_branching(solver);
      // The head of a freshly filled list is taken without comparing its
      // bound with the incumbent, even one found in the same branching.
      const Branching branching = branch_node(solver);
      if (s.stopping) {
        // The clock stopped the branching: the search stands where it stood
        // before it, at the node taken at the level below.
        --s.level;
        s.end = SearchEnd::time_limit;
        break;
      }
      if (s.observer != nullptr) s.observer->after_branching(solver);
      if (branching == Branching::children) {
        take_next_node(solver);
        continue;
      }
    }
    const int from = s.level;
    const int more = backtrack(solver);
    if (s.observer != nullptr) s.observer->after_backtrack(solver, from);
    if (more == 0) break;
    take_next_node(solver);
    branch = true;
  }
  fill_result(solver, elapsed_seconds(limits.time));
  return s.result;
}

void DelayingSearch::solve(const SearchRequest& request, ResultSink& sink) {
  load_model(*request.instance, solver_->model);
  sink.report(
      solve_instance(*solver_, request.interest_rate, request.limits, request.first_schedule));
}

}  // namespace rcpspdc
