// The search loop: propagate; on a conflict learn its nogood and jump back;
// otherwise branch (branching.cpp). A complete schedule becomes the
// incumbent, and the incumbent's constraint then fails at once, so the
// search goes on to a better one. Restarts follow the Luby sequence;
// nogoods and activities survive them, so every descent learns from the
// ones before. The search is complete when a conflict needs no decision.
#include "learning_search/solve_learning.hpp"

#include <algorithm>
#include <limits>
#include <optional>

namespace rcpspdc {

namespace {

constexpr double ACTIVITY_DECAY = 0.95;           // branching activity kept per conflict
constexpr float CLAUSE_DECAY = 0.999f;            // nogood activity kept per conflict
constexpr std::size_t FIRST_LEARNT_LIMIT = 4000;  // nogoods kept before the first cut
constexpr double LEARNT_LIMIT_GROWTH = 1.1;

double elapsed(const LearningSearch& w) {
  return static_cast<double>(clock_ms() - w.started_ms) * 0.001;
}

// The limit that stops the search here, if one does.
std::optional<SearchEnd> limit_reached(LearningSearch& w) {
  if (w.node_limit > 0 && w.created_nodes >= w.node_limit) return SearchEnd::node_limit;
  if (budget_spent(w)) return SearchEnd::time_limit;
  return std::nullopt;
}

void record_incumbent(LearningSearch& w, const int* start) {
  const WindowProblem& p = w.problem;
  w.has_incumbent = true;
  w.best_npv = window_schedule_value(p, start);
  for (int i = 0; i < p.activity_count; ++i) w.best_finish[i] = start[i] + p.duration[i];
  w.seconds_to_best = elapsed(w);
}

void reset_search(LearningSearch& w) {
  w.clauses.clear();
  w.clause_lits.clear();
  clear_watches(w);
  for (int i = 0; i < ACTIVITY_ROWS; ++i) {
    w.activity[i] = 0.0;
    w.best_finish[i] = 0;
  }
  w.learnt_count = 0;
  w.garbage = 0;
  w.learnt_limit = std::min(FIRST_LEARNT_LIMIT, w.settings.max_nogoods);
  w.clause_increment = 1.0f;
  w.activity_increment = 1.0;
  w.has_incumbent = false;
  w.best_npv = -std::numeric_limits<double>::infinity();
  w.seconds_to_best = 0.0;
  w.created_nodes = 0;
  w.decisions = 0;
  w.conflicts = 0;
  w.probes = 0;
  w.restarts = 0;
  w.restart_conflicts = 0;
  w.work = 0;
  w.end = SearchEnd::complete;
  w.stopped = false;
  w.complete = false;
  w.priced = false;
  w.priced_nodes = false;
  w.root_lagrangian = std::numeric_limits<double>::infinity();
  w.network_calls = 0;
  w.network_prunes = 0;
  w.debug_faults = 0;
  w.debug_first_fault = -1;
  reset_trail(w);
}

// Prices the resources once the root is propagated and a schedule is known;
// the nodes bound with them only where they beat the pair bound at the root.
void price_at_root(LearningSearch& w) {
  price_resources(w, w.settings.price_iterations);
  w.priced = true;
  w.priced_nodes = w.settings.use_prices_in_nodes && w.root_lagrangian < learning_pair_bound(w);
}

}  // namespace

bool budget_spent(LearningSearch& w) {
  const std::int64_t work = w.work;
  w.work = 0;
  return w.clock.spent_after(work);
}

void learn_after_conflict(LearningSearch& w, int jump) {
  const LearningSettings& settings = w.settings;
  backjump(w, jump);
  learn_and_assert(w);
  w.activity_increment /= ACTIVITY_DECAY;
  w.clause_increment /= CLAUSE_DECAY;
  if (w.learnt_count >= w.learnt_limit) {
    reduce_nogoods(w);
    w.learnt_limit = std::min(
        settings.max_nogoods,
        static_cast<std::size_t>(static_cast<double>(w.learnt_limit) * LEARNT_LIMIT_GROWTH));
  }
  if (settings.use_restarts && w.restart_conflicts >= settings.restart_unit * luby(w.restarts)) {
    ++w.restarts;
    w.restart_conflicts = 0;
    backjump(w, 0);
    if (w.garbage > w.learnt_count) collect_nogoods(w);
  }
}

namespace {

// A failed propagation: learn from it; false when the search is complete.
bool learn_from_failure(LearningSearch& w) {
  ++w.conflicts;
  ++w.restart_conflicts;
  const int jump = analyze_conflict(w);
  if (jump < 0) return false;
  learn_after_conflict(w, jump);
  ++w.created_nodes;
  return true;
}

}  // namespace

void offer_learning_schedule(LearningSearch& w, const std::vector<int>& finish) {
  const WindowProblem& p = w.problem;
  int start[ACTIVITY_ROWS];
  for (int i = 0; i < p.activity_count; ++i)
    start[i] = finish[static_cast<std::size_t>(i)] - p.duration[i];
  if (window_schedule_value(p, start) > w.best_npv) record_incumbent(w, start);
}

void begin_learning(LearningSearch& w, const InstanceData& instance, double interest_rate,
                    const TimeBudget& time, const std::vector<int>* seed_finish) {
  load_learning_problem(w, instance, interest_rate);
  reset_search(w);
  w.started_ms = time.start_ms;
  if (seed_finish != nullptr) offer_learning_schedule(w, *seed_finish);
  // No schedule at all when the arcs alone leave no room.
  ++w.created_nodes;
  if (!propagate_root_arcs(w)) w.complete = true;
}

SearchEnd continue_learning(LearningSearch& w, const SearchLimits& limits) {
  const LearningSettings& settings = w.settings;
  w.clock = WorkClock(limits.time);
  w.node_limit = limits.node_limit;
  w.stopped = false;
  w.end = SearchEnd::complete;
  while (!w.complete) {
    if (!propagate(w)) {
      w.complete = !learn_from_failure(w);
      continue;
    }
    if (const std::optional<SearchEnd> stop = limit_reached(w)) {
      w.stopped = true;
      w.end = *stop;
      break;
    }
    if (w.has_incumbent && settings.use_shaving) {
      const ShaveOutcome shaved = shave_node(w);
      if (shaved == ShaveOutcome::complete) w.complete = true;
      if (shaved == ShaveOutcome::failed) w.complete = !learn_from_failure(w);
      if (shaved != ShaveOutcome::kept) continue;
    }
    if (w.level == 0 && !w.priced && w.has_incumbent && settings.price_iterations > 0 &&
        w.problem.resource_count > 0)
      price_at_root(w);
    Lit decision;
    if (!choose_decision(w, decision)) {
      record_incumbent(w, w.lower);
      continue;  // the incumbent's constraint fails here now
    }
    ++w.decisions;
    ++w.created_nodes;
    open_level(w);
    set_lit(w, decision, {ReasonKind::decision, 0, 0});
  }
  return w.end;
}

double learning_open_bound(LearningSearch& w) {
  if (w.complete) return w.best_npv;
  backjump(w, 0);
  return std::max(w.best_npv, std::min(learning_window_bound(w), w.root_lagrangian));
}

void fill_learning_result(LearningSearch& w, SearchResult& result) {
  result.end = w.end;
  set_incumbent(result, w.has_incumbent, w.best_npv, w.best_finish, w.problem.activity_count);
  result.bound = learning_open_bound(w);
  result.created_nodes = w.created_nodes;
  result.branched_nodes = w.decisions;
  result.seconds = elapsed(w);
  result.seconds_to_best = w.has_incumbent ? w.seconds_to_best : -1.0;
}

}  // namespace rcpspdc
