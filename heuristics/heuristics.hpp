// The door through which the exact engines use the heuristics, and all they
// include of this folder: a first schedule to prune against, and a better
// one for an incumbent. The schedule generation, the improvement passes and
// the neighbourhood search behind it are the folder's own business. The
// neighbourhoods are searched by the SearchEngine the caller hands in, so the
// heuristics know no engine and the engines call the heuristics only here.
#pragma once

#include <optional>
#include <vector>

#include "engine/search_engine.hpp"
#include "model/instance_data.hpp"
#include "platform/time_budget.hpp"

namespace rcpspdc {

// A feasible schedule within the deadline (finish times per activity):
// serial schedule generation with `budget` generations for the value once a
// schedule meets the deadline; while none does, fresh populations, then
// neighbourhoods of schedules made for a slightly later deadline, shortened
// by `exact` one period at a time; all in proportion to `budget` and within
// `time`. Empty when none was found.
std::optional<std::vector<int>> first_schedule(const InstanceData& instance, double interest_rate,
                                               int budget, const TimeBudget& time,
                                               SearchEngine& exact);

// A schedule worth more than `incumbent`, which is feasible and worth `value`
// as the engines value it, by neighbourhoods searched by `exact` within
// `time`. Empty when none was found.
std::optional<std::vector<int>> better_schedule(const InstanceData& instance, double interest_rate,
                                                const std::vector<int>& incumbent, double value,
                                                const TimeBudget& time, SearchEngine& exact);

}  // namespace rcpspdc
