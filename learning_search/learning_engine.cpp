#include "learning_search/learning_engine.hpp"

#include <algorithm>

#include "heuristics/heuristics.hpp"
#include "learning_search/solve_learning.hpp"

namespace rcpspdc {

namespace {

// Generations of the first-schedule heuristic for the value.
constexpr int HEURISTIC_BUDGET = 1000;

// Kept back from a time limit for pricing the root if the search stops
// open: a fiftieth of the limit, at most a second. On the j90 and j120 rows
// open at 60 s, 200 ms of steps give a median of all and a lower quartile
// of 98 % of what 300 steps take the bound down by, and a step the clock
// cuts short leaves the bound of the steps before it.
constexpr double STOPPED_PRICING_SHARE = 0.02;
constexpr double STOPPED_PRICING_SECONDS = 1.0;

// The limit less the time kept back for the prices.
TimeBudget search_time(const TimeBudget& time) {
  if (time.seconds <= 0.0) return time;  // no limit, or spent already
  TimeBudget search = time;
  search.seconds -= std::min(time.seconds * STOPPED_PRICING_SHARE, STOPPED_PRICING_SECONDS);
  return search;
}

}  // namespace

LearningSearchEngine::LearningSearchEngine(const LearningSettings& settings)
    : search_(std::make_unique<LearningSearch>()) {
  search_->settings = settings;
}

void LearningSearchEngine::solve(const SearchRequest& request, ResultSink& sink) {
  LearningSearch& w = *search_;
  w.shared = request.shared;
  w.shared_nogoods = request.shared_nogoods;
  w.shared_origin = request.origin;
  begin_learning(w, *request.instance, request.interest_rate, request.limits.time,
                 request.first_schedule);
  continue_learning(w, request.limits);
  fill_learning_result(w, result_);
  sink.report(result_);
}

LearningEngine::LearningEngine(const LearningSettings& settings, bool heuristics_first)
    : search_(std::make_unique<LearningSearch>()), heuristics_first_(heuristics_first) {
  search_->settings = settings;
}

void LearningEngine::solve(const SearchRequest& request, ResultSink& sink) {
  LearningSearch& w = *search_;
  const InstanceData& instance = *request.instance;
  const double rate = request.interest_rate;
  const SearchLimits& limits = request.limits;
  // The heuristics take their shares of the whole limit; only the exact
  // search stops short of it, for the prices.
  const SearchLimits search{search_time(limits.time), limits.node_limit};
  std::vector<int> nearest;
  w.shared = request.shared;
  w.shared_nogoods = request.shared_nogoods;
  w.shared_origin = request.origin;
  std::optional<std::vector<int>> first;
  // Alone, or with no board to take another member's from, it runs them.
  if (heuristics_first_ || request.shared == nullptr)
    first = first_schedule(instance, rate, HEURISTIC_BUDGET,
                           limits.time.share(FIRST_SCHEDULE_SHARE), neighbourhoods_, &nearest);
  begin_learning(w, instance, rate, search.time, first ? &*first : nullptr);
  if (!first && !nearest.empty() && w.settings.use_seeded_phases) seed_phases(w, nearest);
  if (request.first_schedule != nullptr) offer_learning_schedule(w, *request.first_schedule);
  // Most instances are solved within a few thousand nodes; only the others
  // pay for raising the incumbent by neighbourhood search. Every nogood
  // learnt so far holds against a better incumbent too.
  const bool probe = limits.node_limit == 0 || limits.node_limit > PROBE_NODES;
  SearchEnd end = continue_learning(w, probe ? SearchLimits{search.time, PROBE_NODES} : search);
  if (probe && end == SearchEnd::node_limit) {
    const std::optional<std::vector<int>> better =
        raised_incumbent(instance, rate, w.has_incumbent ? w.best_finish : nullptr, w.best_npv,
                         limits.time, neighbourhoods_);
    if (better) offer_learning_schedule(w, *better);
    end = continue_learning(w, search);
  }
  // Without a schedule the search takes the rest of the limit too: a first
  // schedule found late is worth more than the prices' bound.
  if (end == SearchEnd::time_limit && !w.has_incumbent) continue_learning(w, limits);
  price_stopped_root(w, limits.time);
  fill_learning_result(w, result_, true);
  sink.report(result_);
}

}  // namespace rcpspdc
