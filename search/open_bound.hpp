// The bound still open when a limit stops the search: read from the
// search's tables after it returned, without touching them.
#pragma once

#include "search/search_state.hpp"

namespace rcpspdc {

// The largest value a schedule not yet ruled out could have: the incumbent,
// the node being worked on when the limit struck, or the best node left in a
// level list (each list is sorted, so its head is its best); at the root, the
// root's bound. Meaningful only after a search a limit stopped; a complete
// search leaves the incumbent.
double open_bound(const SearchState& s);

}  // namespace rcpspdc
