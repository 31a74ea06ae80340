#include "learning_search/learning_engine.hpp"

#include "heuristics/heuristics.hpp"
#include "learning_search/solve_learning.hpp"

namespace rcpspdc {

namespace {

// Generations of the first-schedule heuristic for the value.
constexpr int HEURISTIC_BUDGET = 1000;

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
  std::vector<int> nearest;
  w.shared = request.shared;
  w.shared_nogoods = request.shared_nogoods;
  w.shared_origin = request.origin;
  std::optional<std::vector<int>> first;
  // Alone, or with no board to take another member's from, it runs them.
  if (heuristics_first_ || request.shared == nullptr)
    first = first_schedule(instance, rate, HEURISTIC_BUDGET,
                           limits.time.share(FIRST_SCHEDULE_SHARE), neighbourhoods_, &nearest);
  begin_learning(w, instance, rate, limits.time, first ? &*first : nullptr);
  if (!first && !nearest.empty() && w.settings.use_seeded_phases) seed_phases(w, nearest);
  if (request.first_schedule != nullptr) offer_learning_schedule(w, *request.first_schedule);
  // Most instances are solved within a few thousand nodes; only the others
  // pay for raising the incumbent by neighbourhood search. Every nogood
  // learnt so far holds against a better incumbent too.
  const bool probe = limits.node_limit == 0 || limits.node_limit > PROBE_NODES;
  const SearchEnd end =
      continue_learning(w, probe ? SearchLimits{limits.time, PROBE_NODES} : limits);
  if (probe && end == SearchEnd::node_limit) {
    const std::optional<std::vector<int>> better =
        raised_incumbent(instance, rate, w.has_incumbent ? w.best_finish : nullptr, w.best_npv,
                         limits.time, neighbourhoods_);
    if (better) offer_learning_schedule(w, *better);
    continue_learning(w, limits);
  }
  fill_learning_result(w, result_, true);
  sink.report(result_);
}

}  // namespace rcpspdc
