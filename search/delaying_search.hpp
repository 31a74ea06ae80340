// The console's search over delaying alternatives as a search engine: a
// depth-first branch-and-bound whose bound is the best value of the network
// with resources ignored, branching on the activities in progress in the
// first overloaded period. Its node counts: created nodes are 1 plus the
// bound evaluations, branched nodes the nodes taken from the level lists.
#pragma once

#include <memory>

#include "engine/search_engine.hpp"
#include "search/search_state.hpp"

namespace rcpspdc {

class DelayingSearch final : public SearchEngine {
 public:
  void solve(const SearchRequest& request, ResultSink& sink) override;
  Solver& solver() { return *solver_; }

 private:
  std::unique_ptr<Solver> solver_ = std::make_unique<Solver>();
};

}  // namespace rcpspdc
