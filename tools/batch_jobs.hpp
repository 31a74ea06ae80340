// Instances spread over threads. Each thread owns a workspace with the state
// of both search engines, so the work of one instance touches nothing another
// thread uses; the core has no mutable globals and the clock is thread-safe.
#pragma once

#include <functional>

#include "learning_search/learning_engine.hpp"
#include "portfolio/portfolio_engine.hpp"
#include "search/delaying_search.hpp"
#include "window_search/start_time_engine.hpp"

namespace rcpspdc {

// What one thread solves with: both engines, each reusing its tables from
// instance to instance.
struct Workspace {
  DelayingSearch delaying;
  StartTimeEngine start_times;
  LearningEngine learning;
  // Several searches on one instance (--threads), made on first use for the
  // engine that comes first in it.
  std::string portfolio_first;
  std::unique_ptr<PortfolioEngine> portfolio;
};

// The number of hardware threads, at least 1.
int default_jobs();

// Calls work(k, workspace) for k = 0 .. count-1 on up to `threads` threads
// (the calling thread is one of them). Indices are handed out in increasing
// order; each thread reuses its own workspace for the indices it takes. Returns when
// every call has returned. Fewer threads run when the system refuses more.
void run_jobs(long long count, int threads,
              const std::function<void(long long k, Workspace& workspace)>& work);

}  // namespace rcpspdc
