#include "window_search/start_time_engine.hpp"

#include "heuristics/heuristics.hpp"

namespace rcpspdc {

WindowSearchEngine::WindowSearchEngine(const WindowSettings& settings)
    : search_(std::make_unique<WindowSearch>()) {
  search_->settings = settings;
}

void WindowSearchEngine::solve(const SearchRequest& request, ResultSink& sink) {
  WindowSearch& w = *search_;
  load_window_problem(w, *request.instance, request.interest_rate);
  solve_windows(w, request.limits, request.first_schedule);
  fill_result(w, result_);
  sink.report(result_);
}

StartTimeEngine::StartTimeEngine(const WindowSettings& settings)
    : search_(std::make_unique<WindowSearch>()) {
  search_->settings = settings;
}

void StartTimeEngine::solve(const SearchRequest& request, ResultSink& sink) {
  WindowSearch& w = *search_;
  const InstanceData& instance = *request.instance;
  const double rate = request.interest_rate;
  const SearchLimits& limits = request.limits;
  const int budget = w.settings.heuristic_budget;
  load_window_problem(w, instance, rate);
  w.shared = request.shared;
  // Where propagation alone empties a window, no heuristic can succeed.
  w.has_incumbent = false;
  w.clock = WorkClock(limits.time);
  w.interrupted = false;
  Windows root;
  open_windows(w.problem, root);
  const bool may_be_feasible = propagate_windows(w, root) || w.interrupted;
  std::optional<std::vector<int>> first;
  if (budget > 0 && may_be_feasible)
    first = first_schedule(instance, rate, budget, limits.time.share(FIRST_SCHEDULE_SHARE),
                           neighbourhoods_);
  begin_search(w, limits.time, first ? &*first : nullptr);
  if (request.first_schedule != nullptr) offer_schedule(w, *request.first_schedule);
  // Most instances are solved within a few thousand nodes; only the others
  // pay for raising the incumbent's value by neighbourhood search while the
  // search waits. The search then goes on where it stopped, the better
  // incumbent pruning from there: the windows narrowed against the old one
  // hold every schedule better than the new one.
  const bool probe =
      budget > 0 && may_be_feasible && (limits.node_limit == 0 || limits.node_limit > PROBE_NODES);
  SearchEnd end = continue_search(w, probe ? SearchLimits{limits.time, PROBE_NODES} : limits);
  if (probe && end == SearchEnd::node_limit) {
    const std::optional<std::vector<int>> better =
        raised_incumbent(instance, rate, w.has_incumbent ? w.best_finish : nullptr, w.best_npv,
                         limits.time, neighbourhoods_);
    if (better) offer_schedule(w, *better);
    continue_search(w, limits);
  }
  fill_result(w, result_);
  sink.report(result_);
}

}  // namespace rcpspdc
