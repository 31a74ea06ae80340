#include "tools/batch_jobs.hpp"

#include <algorithm>
#include <atomic>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

namespace rcpspdc {

int default_jobs() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(std::min(cores, 1024u));
}

void run_jobs(long long count, int threads,
              const std::function<void(long long k, Workspace& workspace)>& work) {
  if (count <= 0) return;
  std::atomic<long long> next{0};
  const auto worker = [&next, count, &work] {
    const auto workspace = std::make_unique<Workspace>();
    for (long long k = next.fetch_add(1); k < count; k = next.fetch_add(1)) work(k, *workspace);
  };
  const long long wanted = std::min<long long>(threads, count);
  std::vector<std::thread> pool;
  for (long long t = 1; t < wanted; ++t) {
    try {
      pool.emplace_back(worker);
    } catch (const std::system_error&) {
      break;  // the threads started so far share the work
    }
  }
  worker();
  for (std::thread& thread : pool) thread.join();
}

}  // namespace rcpspdc
