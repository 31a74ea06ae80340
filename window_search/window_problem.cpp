// Loading an instance into the start-time search's fixed rows.
#include "window_search/window_state.hpp"

namespace rcpspdc {

namespace {

// Open right children the stack has room for at first; it doubles when full.
constexpr std::size_t FIRST_PENDING_ROWS = 64;

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
  load_window_rows(p, instance, interest_rate);
  w.round_work = round_work(p);
  w.pair_losses.resize(p.pairs.size());
  w.profile.assign(static_cast<std::size_t>(p.deadline) + 1, 0);
  if (w.pending.size() < FIRST_PENDING_ROWS) w.pending.resize(FIRST_PENDING_ROWS);
}

}  // namespace rcpspdc
