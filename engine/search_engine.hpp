// What every search engine shares: how it is asked (SearchRequest), how it
// answers (SearchResult, handed to a ResultSink), and the interface each one
// implements (SearchEngine). The front ends and the heuristics know the
// engines through this header only; an engine lives in a folder of its own
// (search/ for the console's search over delaying alternatives,
// window_search/ for the search over start-time windows) and adds a class
// deriving from SearchEngine.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "engine/shared_incumbent.hpp"
#include "engine/shared_nogoods.hpp"
#include "model/instance_data.hpp"
#include "platform/time_budget.hpp"

namespace rcpspdc {

// How a search ended.
enum class SearchEnd {
  complete,    // the incumbent, if any, is optimal; without one there is no schedule
  time_limit,  // stopped by the time budget; the incumbent, if any, may not be optimal
  node_limit,  // stopped by the node limit; likewise
};

// Where a search stops unless it completes first: both checked as the search
// goes, so a limit is never passed by more than one step of the search.
struct SearchLimits {
  TimeBudget time;              // 0 seconds: no limit
  std::int64_t node_limit = 0;  // created nodes; 0: none
};

struct SearchRequest {
  const InstanceData* instance = nullptr;  // validated, with its deadline and cash flows
  double interest_rate = 0.0;              // continuous discount rate per period
  SearchLimits limits;
  // A schedule found elsewhere (finish times per activity), feasible within
  // the deadline, taken as the first incumbent; null for none.
  const std::vector<int>* first_schedule = nullptr;
  // When not null, the searches of this instance on other threads post
  // their incumbents here, and this search posts and takes them too; and
  // likewise short nogoods, which a search of another kind leaves alone.
  // `origin` tells this search's posts from the others'.
  SharedIncumbent* shared = nullptr;
  SharedNogoods* shared_nogoods = nullptr;
  int origin = 0;
};

// The outcome of one search. Node counts are each engine's own (its README
// section says what they count); everything else means the same for all.
struct SearchResult {
  SearchEnd end = SearchEnd::complete;
  bool has_incumbent = false;  // a feasible schedule within the deadline was found
  // Its value, summed as the checker sums it; minus infinity without one.
  double value = -std::numeric_limits<double>::infinity();
  std::vector<int> finish;  // its finish times per activity; empty without one
  // The largest value any schedule could still have: `value` after a
  // complete search, at least the optimum after a stopped one, plus
  // infinity when the search stopped before it knew any bound.
  double bound = std::numeric_limits<double>::infinity();
  std::int64_t created_nodes = 0;
  std::int64_t branched_nodes = 0;
  double seconds = 0.0;         // from the budget's start to the end of the search
  double seconds_to_best = -1;  // when the incumbent was found; -1: the engine keeps no such time
};

// Sets the incumbent of `result`: its value and the finish times of its
// `activity_count` activities, or none (the value minus infinity). Reuses the
// result's table, so an engine that keeps its result allocates only once.
inline void set_incumbent(SearchResult& result, bool has_incumbent, double value,
                          const int* finish, int activity_count) {
  result.has_incumbent = has_incumbent;
  result.value = value;
  if (has_incumbent)
    result.finish.assign(finish, finish + activity_count);
  else
    result.finish.clear();
}

// Where a search reports its outcome, once, before solve() returns.
class ResultSink {
 public:
  virtual ~ResultSink() = default;
  virtual void report(const SearchResult& result) = 0;
};

// The interface of a search engine. An engine keeps its tables between
// requests (one engine per thread), so solving allocates little.
class SearchEngine {
 public:
  virtual ~SearchEngine() = default;
  virtual void solve(const SearchRequest& request, ResultSink& sink) = 0;
};

// A sink that keeps the result, for callers that want the record itself.
struct KeptResult : ResultSink {
  std::optional<SearchResult> result;  // empty until the engine reports
  void report(const SearchResult& reported) override { result = reported; }
};

}  // namespace rcpspdc
