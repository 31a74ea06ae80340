// The learning search as search engines. LearningSearchEngine is the plain
// search: load, search, report; the heuristics search their neighbourhoods
// with it. LearningEngine is the engine the programs run: a first schedule
// from the heuristics, then the search; a search still open after its first
// PROBE_NODES nodes gets a better incumbent from neighbourhood search and
// goes on where it stopped, with every nogood it has learnt. Node counts:
// created nodes are the nodes propagated (the root, every branching and
// every jump back), branched nodes the branchings, of the exact search alone.
#pragma once

#include <memory>

#include "engine/search_engine.hpp"
#include "learning_search/learning_state.hpp"

namespace rcpspdc {

class LearningSearchEngine final : public SearchEngine {
 public:
  explicit LearningSearchEngine(const LearningSettings& settings = {});
  void solve(const SearchRequest& request, ResultSink& sink) override;

 private:
  std::unique_ptr<LearningSearch> search_;
  SearchResult result_;
};

class LearningEngine final : public SearchEngine {
 public:
  // Without `heuristics_first` the search starts at once where the request
  // has a board of shared schedules: in a portfolio, another member runs the
  // same heuristics and posts what they find there.
  explicit LearningEngine(const LearningSettings& settings = {}, bool heuristics_first = true);
  void solve(const SearchRequest& request, ResultSink& sink) override;
  // Taken by the next solve.
  LearningSettings& settings() { return search_->settings; }
  // The search as the last solve left it (for tests and benchmarks).
  const LearningSearch& search() const { return *search_; }

 private:
  std::unique_ptr<LearningSearch> search_;  // the exact search
  LearningSearchEngine neighbourhoods_;     // the heuristics' searches, on tables of their own
  bool heuristics_first_ = true;
  SearchResult result_;
};

}  // namespace rcpspdc
