// Branching on a resource conflict. Every minimal delaying set D of the
// conflict set, with every kept activity k, gives the child that adds the arcs
// k -> j for all j in D. Members are decided from the highest index down, the
// delay branch before the keep branch; each fit test is one subtraction and
// one mask on packed vectors. When the time budget runs out in the middle,
// the rest is skipped (see solve.cpp).
#include "search/search_state.hpp"

namespace rcpspdc {

void enumerate_alternatives(Solver& solver, Packed excess) {
  SearchState& s = solver.search;
  const ProjectModel& m = solver.model;
  if (s.stopping) return;
  const int j = set_highest(s.candidate_set);
  if (j < 0) {
    evaluate_alternative(solver, excess);
    return;
  }
  set_toggle(s.candidate_set, j);
  // Delay j only while the kept and undecided members still overload.
  if (overloaded(excess, m.overflow_mask)) {
    set_add(s.delay_set, j);
    enumerate_alternatives(solver, excess + m.packed_demand[j]);
    set_toggle(s.delay_set, j);
  }
  // Keep j only while it fits with the members already kept.
  if (!overloaded(m.packed_capacity - m.packed_demand[j] - s.kept_demand, m.overflow_mask)) {
    s.kept_demand += m.packed_demand[j];
    enumerate_alternatives(solver, excess);
    s.kept_demand -= m.packed_demand[j];
  }
  set_add(s.candidate_set, j);
}

namespace {

// Stores the evaluated child, whose schedule still has a conflict, in the next
// free slot and links it into the current level's list.
void create_child(Solver& solver, int k) {
  SearchState& s = solver.search;
  const int slot = s.node_count;
  if (static_cast<std::size_t>(slot) >= s.node_next.size())
    reserve_pool(s, static_cast<std::size_t>(slot) + 1);
  insert_node(solver, slot);
  s.node_activity[slot] = k;
  s.node_bound[slot] = solver.bound.node_npv;
  s.node_conflict[slot] = s.conflict.found_conflict;
  s.node_delay[slot] = s.delay_set;
  s.node_excess_of[slot] = s.conflict.found_excess;
  ++s.node_count;
}

}  // namespace

void evaluate_alternative(Solver& solver, Packed excess) {
  SearchState& s = solver.search;
  ProjectModel& m = solver.model;
  // Minimality: a delayed member that would fit with everything kept makes
  // the delaying set redundant.
  int count = 0;
  bool minimal = true;
  for_each_member(s.delay_set, [&](int j) {
    s.delay_list[count++] = j;
    if (!overloaded(excess - m.packed_demand[j], m.overflow_mask)) minimal = false;
  });
  if (!minimal) return;
  if (count == 0) return;

  const ActivitySet kept = set_xor(s.conflict_set, s.delay_set);
  for_each_member(kept, [&](int k) {
    if (s.stopping) return;
    // The arcs k -> j, in ascending order of j. None exists yet: k and every j
    // are in progress together in the conflict period.
    const ActivitySet saved_succ = m.succ_set[k];
    for (int e = count - 1; e >= 0; --e) add_arc(m, k, s.delay_list[e]);

    std::int64_t work = s.cut_count;  // the dominance test scans the cutset store
    if (is_dominated(solver, k)) {
      // skipped: no bound, no entry
    } else {
      work += s.evaluation_work;
      if (compute_bound(m, solver.bound, s.best_npv, s.created_nodes) == BoundOutcome::fathomed) {
        record_discarded_alternative(solver, k);
      } else if (detect_conflict(m, solver.bound, s.conflict) == 1) {
        create_child(solver, k);
      } else {
        record_incumbent(solver);
        record_discarded_alternative(solver, k);
      }
    }

    for (int e = count - 1; e >= 0; --e) {
      const int j = s.delay_list[e];
      --m.pred_count[j];
      set_toggle(m.pred_set[j], k);
    }
    m.succ_count[k] -= count;
    m.succ_set[k] = saved_succ;
    // With the network as it was, a spent budget ends the branching here.
    if (s.clock.spent_after(work)) s.stopping = true;
  });
}

}  // namespace rcpspdc
