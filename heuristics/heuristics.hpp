// The door through which the exact engines use the heuristics, and all they
// include of this folder: a first schedule to prune against, and a better
// one for an incumbent. The schedule generation, the improvement passes and
// the neighbourhood search behind it are the folder's own business. The
// neighbourhoods are searched by the SearchEngine the caller hands in, so the
// heuristics know no engine and the engines call the heuristics only here.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/search_engine.hpp"
#include "model/instance_data.hpp"
#include "platform/time_budget.hpp"

namespace rcpspdc {

// How an exact engine spends its limits on the heuristics around it: the
// nodes its search gets before the incumbent is raised by neighbourhood
// search; the share of the time limit the first schedule may take, and the
// share (counted from the start) the raise may take.
constexpr std::int64_t PROBE_NODES = 20000;
constexpr double FIRST_SCHEDULE_SHARE = 0.5;
constexpr double RAISE_SHARE = 0.1;

// A feasible schedule within the deadline (finish times per activity):
// serial schedule generation with `budget` generations for the value once a
// schedule meets the deadline; while none does, fresh populations, then
// neighbourhoods of schedules made for a slightly later deadline, shortened
// by `exact` one period at a time; all in proportion to `budget` and within
// `time`. Empty when none was found; then `nearest`, when given, receives
// the shortest schedule reached past the deadline (empty if none).
std::optional<std::vector<int>> first_schedule(const InstanceData& instance, double interest_rate,
                                               int budget, const TimeBudget& time,
                                               SearchEngine& exact,
                                               std::vector<int>* nearest = nullptr);

// A schedule worth more than `incumbent`, which is feasible and worth `value`
// as the engines value it, by neighbourhoods searched by `exact` within
// `time`. Empty when none was found.
std::optional<std::vector<int>> better_schedule(const InstanceData& instance, double interest_rate,
                                                const std::vector<int>& incumbent, double value,
                                                const TimeBudget& time, SearchEngine& exact);

// The incumbent an exact search holds after its probe (`finish`, nullptr
// when it has none, worth `value`), raised by better_schedule within
// RAISE_SHARE of `limit`. Empty when there is nothing to raise, no time
// left, or no better schedule found.
std::optional<std::vector<int>> raised_incumbent(const InstanceData& instance,
                                                 double interest_rate, const int* finish,
                                                 double value, const TimeBudget& limit,
                                                 SearchEngine& exact);

}  // namespace rcpspdc
