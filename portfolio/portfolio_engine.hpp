// Several engines on one instance at once, one thread each: the portfolio.
// The searches are exact and share what holds for all of them: their
// incumbents (each takes a better schedule another has found, and prunes
// against it) and the learning searches' short nogoods; the first to
// complete proves the result, and the others stop then. Searches that all stop at a limit give
// the best incumbent among them and the lowest bound (each bounds every
// schedule). So the status and the value do not depend on the number of
// threads, only how soon they come.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/search_engine.hpp"

namespace rcpspdc {

class PortfolioEngine final : public SearchEngine {
 public:
  // The members in the order they are taken: `threads` of them search at
  // once; the first is the engine a single thread runs.
  PortfolioEngine(std::vector<std::unique_ptr<SearchEngine>> members, int threads);
  void solve(const SearchRequest& request, ResultSink& sink) override;

 private:
  std::vector<std::unique_ptr<SearchEngine>> members_;
  int threads_ = 1;
  std::vector<KeptResult> kept_;
  SearchResult result_;
};

// The portfolio the programs run: `first` ("start-times" or "learning")
// searches alone on one thread. More threads add, to the learning engine, a
// learning engine that starts from the heuristics' shortest schedule past
// the deadline and branches by conflicts alone once it knows a schedule,
// then the start-time engine; to the start-time engine, the
// learning engine, then a learning search that branches by conflicts alone
// and restarts less often.
std::unique_ptr<PortfolioEngine> make_portfolio(const std::string& first, int threads);

}  // namespace rcpspdc
