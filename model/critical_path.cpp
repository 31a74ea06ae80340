#include "model/critical_path.hpp"

#include <algorithm>
#include <vector>

namespace rcpspdc {

int critical_path_length(const InstanceData& data) {
  const int n = data.activity_count;
  if (n == 0) return 0;
  // Activities in order of their predecessors (Kahn), since a file need not
  // number them that way.
  std::vector<int> waiting(static_cast<std::size_t>(n), 0);
  for (const std::vector<int>& successors : data.successors)
    for (const int j : successors) ++waiting[static_cast<std::size_t>(j)];
  std::vector<int> ready;
  for (int i = 0; i < n; ++i)
    if (waiting[static_cast<std::size_t>(i)] == 0) ready.push_back(i);
  std::vector<int> start(static_cast<std::size_t>(n), 0);
  int longest = 0;
  while (!ready.empty()) {
    const int i = ready.back();
    ready.pop_back();
    const int finish =
        start[static_cast<std::size_t>(i)] + data.duration[static_cast<std::size_t>(i)];
    longest = std::max(longest, finish);
    for (const int j : data.successors[static_cast<std::size_t>(i)]) {
      int& s = start[static_cast<std::size_t>(j)];
      s = std::max(s, finish);
      if (--waiting[static_cast<std::size_t>(j)] == 0) ready.push_back(j);
    }
  }
  return longest;
}

}  // namespace rcpspdc
