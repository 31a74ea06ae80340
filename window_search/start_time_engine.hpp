// The search over start-time windows as search engines. WindowSearchEngine is
// the plain search: load, search, report; the heuristics search their
// neighbourhoods with it. StartTimeEngine is the engine the programs run: a
// first schedule from the heuristics, then the search; a search still open
// after its first PROBE_NODES nodes gets a better incumbent from
// neighbourhood search and goes on where it stopped. Node counts: created
// nodes are the nodes propagated, branched nodes those branched on, of the
// exact search alone (the heuristics' searches count for nothing).
#pragma once

#include <memory>

#include "engine/search_engine.hpp"
#include "window_search/window_state.hpp"

namespace rcpspdc {

class WindowSearchEngine final : public SearchEngine {
 public:
  explicit WindowSearchEngine(const WindowSettings& settings = {});
  void solve(const SearchRequest& request, ResultSink& sink) override;

 private:
  std::unique_ptr<WindowSearch> search_;
  SearchResult result_;
};

class StartTimeEngine final : public SearchEngine {
 public:
  explicit StartTimeEngine(const WindowSettings& settings = {});
  void solve(const SearchRequest& request, ResultSink& sink) override;
  // Taken by the next solve.
  WindowSettings& settings() { return search_->settings; }

 private:
  std::unique_ptr<WindowSearch> search_;  // the exact search
  WindowSearchEngine neighbourhoods_;     // the heuristics' searches, on tables of their own
  SearchResult result_;
};

}  // namespace rcpspdc
