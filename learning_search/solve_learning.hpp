// The learning search, in steps: begin_learning loads an instance and resets
// the search to its root; continue_learning runs until the search completes
// or a limit stops it, and may be called again with larger limits, going on
// where it stopped. Nogoods may be given in between (add_nogood) and
// schedules found elsewhere offered.
#pragma once

#include <vector>

#include "learning_search/learning_state.hpp"

namespace rcpspdc {

// Incumbents are timed from the start of `time`; `seed_finish`, when not
// null, is offered as the first incumbent.
void begin_learning(LearningSearch& w, const InstanceData& instance, double interest_rate,
                    const TimeBudget& time, const std::vector<int>* seed_finish);
// How the run ended: complete (w.complete: the incumbent is optimal, or no
// schedule meets the deadline), or the limit that stopped it.
SearchEnd continue_learning(LearningSearch& w, const SearchLimits& limits);

// Offers a schedule (finish times) found elsewhere; it becomes the incumbent
// when it is worth more.
void offer_learning_schedule(LearningSearch& w, const std::vector<int>& finish);

// Starts the search's first descents where `finish` (a schedule past the
// deadline, say the shortest the heuristics reached) has its activities,
// wherever the windows hold those starts, until a descent of its own fixes
// more activities.
void seed_phases(LearningSearch& w, const std::vector<int>& finish);

// Prices the resources at the root of a search a limit stopped, within
// `time`, so that the bound it reports counts the capacities too: on the
// rows of j60, j90 and j120 stopped at 10 s this cuts the median reported
// gap by a third to a half.
// Nothing the search found changes. Leaves the search at its root.
void price_stopped_root(LearningSearch& w, const TimeBudget& time);

// The largest value a schedule not yet ruled out could have: the incumbent's
// after a complete search, otherwise the larger of it and the bound of the
// root windows as the nogoods learnt have narrowed them (the priced bound
// where resources were priced). With `tighten`, also the pair bound and,
// where the windows leave few starts, the network bound of those windows,
// which keeps precedence and is far tighter where windows are wide: once per
// run, not for every neighbourhood the heuristics search. Leaves the search
// at its root.
double learning_open_bound(LearningSearch& w, bool tighten = false);

// The outcome as every engine reports it.
void fill_learning_result(LearningSearch& w, SearchResult& result, bool tighten = false);

}  // namespace rcpspdc
