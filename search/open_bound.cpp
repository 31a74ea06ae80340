#include "search/open_bound.hpp"

#include <algorithm>
#include <limits>

namespace rcpspdc {

double open_bound(const SearchState& s) {
  // The clock is read only between branchings, and never before the first,
  // so a stopped search always stands at a level of 1 or more.
  if (s.level < 1) return std::numeric_limits<double>::infinity();
  double bound = s.best_npv;
  // The node taken at the deepest level was about to be branched; those
  // taken above it are its ancestors, whose open parts are the lists below.
  bound = std::max(bound, s.node_bound[static_cast<std::size_t>(s.level_node[s.level])]);
  for (int level = 1; level <= s.level; ++level) {
    const int head = s.level_head[static_cast<std::size_t>(level)];
    if (head != LIST_END) bound = std::max(bound, s.node_bound[static_cast<std::size_t>(head)]);
  }
  return bound;
}

}  // namespace rcpspdc
