#include "search/open_bound.hpp"

#include <algorithm>

namespace rcpspdc {

double open_bound(const SearchState& s) {
  // A search stopped at the root (before or while branching it) has the
  // root's bound, plus infinity when it stopped before knowing it.
  if (s.level < 1) return std::max(s.best_npv, s.root_bound);
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
