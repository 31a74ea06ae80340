// Loading an instance into the start-time search's fixed rows.
#include "model/network.hpp"
#include "model/npv.hpp"
#include "window_search/window_state.hpp"

namespace rcpspdc {

namespace {

// Open right children the stack has room for at first; it doubles when full.
constexpr std::size_t FIRST_PENDING_ROWS = 64;

// Two activities whose demands together exceed some capacity can never be
// in progress in the same period.
void find_incompatible_pairs(WindowProblem& p) {
  const int n = p.activity_count;
  for (int i = 0; i < n; ++i) set_clear(p.incompatible[i]);
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) {
      if (!p.uses_resources[i] || !p.uses_resources[j]) continue;
      for (int k = 0; k < p.resource_count; ++k)
        if (p.demand[i][k] + p.demand[j][k] > p.capacity[k]) {
          set_add(p.incompatible[i], j);
          set_add(p.incompatible[j], i);
          break;
        }
    }
}

// A propagation round passes over the activities and arcs (precedence), the
// compulsory parts and one placement each way of every activity that uses a
// resource (time-tabling), the incompatible pairs and the pairs of the pair
// bound. Placements that compulsory parts push further go uncounted, so
// where they abound the clock is read a few rounds later than the work asks.
std::int64_t round_work(const WindowProblem& p) {
  std::int64_t work = p.activity_count + static_cast<std::int64_t>(p.pairs.size());
  for (int i = 0; i < p.activity_count; ++i) {
    work += p.succ_count[i] + set_size(p.incompatible[i]);
    if (p.uses_resources[i]) work += 4 * p.duration[i];
  }
  return work;
}

}  // namespace

void load_window_problem(WindowSearch& w, const InstanceData& instance, double interest_rate) {
  WindowProblem& p = w.problem;
  const int n = instance.activity_count;
  p.activity_count = n;
  p.end_activity = n - 1;
  p.resource_count = instance.resource_count;
  p.deadline = instance.deadline;
  for (int k = 0; k < MAX_RESOURCES; ++k)
    p.capacity[k] = k < p.resource_count ? instance.capacity[static_cast<std::size_t>(k)] : 0;
  // The reader keeps capacities and summed demands within a lane, so packed
  // sums and differences never carry across lanes unseen.
  p.packed_capacity = pack_amounts(p.capacity, p.resource_count);
  p.overflow_mask = overflow_mask_of(p.resource_count);
  for (int i = 0; i < n; ++i) {
    const auto row = static_cast<std::size_t>(i);
    p.duration[i] = instance.duration[row];
    p.cash_flow[i] = instance.cash_flow.empty() ? 0 : instance.cash_flow[row];
    p.uses_resources[i] = false;
    for (int k = 0; k < MAX_RESOURCES; ++k) {
      p.demand[i][k] =
          k < p.resource_count ? instance.requirement[row][static_cast<std::size_t>(k)] : 0;
      if (p.demand[i][k] > 0 && p.duration[i] > 0) p.uses_resources[i] = true;
    }
    p.packed_demand[i] = pack_amounts(p.demand[i], p.resource_count);
    p.succ_count[i] = 0;
    for (const int s : instance.successors[row]) p.succ[i][p.succ_count[i]++] = s;
  }
  // The precedence pass charges a failure to the first activity whose
  // window empties along this order, and the branching follows the charges.
  const std::vector<int> order = topological_order(instance, ReadyRule::first_ready);
  for (int x = 0; x < n; ++x) p.order[x] = order[static_cast<std::size_t>(x)];
  find_incompatible_pairs(p);
  build_pairs(p);
  p.round_work = round_work(p);
  w.pair_losses.resize(p.pairs.size());
  fill_discount_table(p.discount, interest_rate, p.deadline);
  w.profile.assign(static_cast<std::size_t>(p.deadline) + 1, 0);
  if (w.pending.size() < FIRST_PENDING_ROWS) w.pending.resize(FIRST_PENDING_ROWS);
}

}  // namespace rcpspdc
