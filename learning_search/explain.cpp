// Explanations: for a bound that a propagator set, true literals that imply
// it. Only the nogoods' explanations are stored when the bound moves; the
// others are rebuilt when a conflict is traced back through them, from the
// literals that were true before the entry was made (bounds only tighten
// along the trail, so what held when the propagator ran holds there too).
#include <algorithm>

#include "learning_search/learning_state.hpp"

namespace rcpspdc {

void explain_full_slot(const LearningSearch& w, int slot, int resource, int extra, int except,
                       std::int32_t position, std::vector<Lit>& out) {
  const WindowProblem& p = w.problem;
  // Pointwise: an activity covers `slot` whatever it starts at in
  // [slot + 1 - duration, slot], the weakest bounds that load the slot.
  // Where more activities cover it than the overload needs, those whose
  // bounds were set at the lowest decision levels explain it: a nogood of
  // low levels holds across more of the search and jumps back further.
  int candidate[ACTIVITY_ROWS];
  int rank[ACTIVITY_ROWS];
  int count = 0;
  const int* users = p.users[resource];
  for (int x = 0; x < p.user_count[resource]; ++x) {
    const int j = users[x];
    // Covers the slot from every start left: earliest finish past it, latest start at or before.
    if (w.lower[j] + p.duration[j] <= slot || w.upper[j] > slot || j == except) continue;
    const Lit from = lower_lit(j, slot + 1 - p.duration[j]);
    const Lit to = upper_lit(j, slot);
    const std::int32_t e_from = entry_of(w, from);
    const std::int32_t e_to = entry_of(w, to);
    if (e_from >= position || e_to >= position) continue;
    const int level = std::max(level_of(w, e_from), level_of(w, e_to));
    // Insertion by level, ties in activity order.
    int at = count++;
    for (; at > 0 && rank[at - 1] > level; --at) {
      candidate[at] = candidate[at - 1];
      rank[at] = rank[at - 1];
    }
    candidate[at] = j;
    rank[at] = level;
  }
  int load = extra;
  for (int x = 0; x < count && load <= p.capacity[resource]; ++x) {
    const int j = candidate[x];
    out.push_back(lower_lit(j, slot + 1 - p.duration[j]));
    out.push_back(upper_lit(j, slot));
    load += p.demand[j][resource];
  }
}

void explain(const LearningSearch& w, Reason reason, int var, bool upper, int value,
             std::int32_t position, std::vector<Lit>& out) {
  const WindowProblem& p = w.problem;
  switch (reason.kind) {
    case ReasonKind::decision: break;
    case ReasonKind::clause: {
      // The asserted literal is the clause's first; the others are false.
      const Clause& c = w.clauses[static_cast<std::size_t>(reason.a)];
      for (int k = 1; k < c.size; ++k)
        out.push_back(negate(w.clause_lits[static_cast<std::size_t>(c.start + k)]));
      break;
    }
    case ReasonKind::arc:
      // i -> j: j starts after i finishes; i finishes before j starts.
      if (upper)
        out.push_back(upper_lit(reason.a, value + p.duration[var]));
      else
        out.push_back(lower_lit(reason.a, value - p.duration[reason.a]));
      break;
    case ReasonKind::time_table: {
      const int slot = reason.a;
      const int k = reason.b;
      // `var` would cover the full slot from any start left on its side of it.
      out.push_back(upper ? upper_lit(var, slot) : lower_lit(var, slot + 1 - p.duration[var]));
      explain_full_slot(w, slot, k, p.demand[var][k], var, position, out);
      break;
    }
    case ReasonKind::pair_order: {
      // `first` cannot finish before `second` starts: [s_first >= x] and
      // [s_second <= x + d_first - 1]; so `second` goes first.
      const int other = reason.a;
      const int x = reason.b;
      if (upper) {
        // var goes first, before `other`, which cannot precede it.
        out.push_back(upper_lit(other, value + p.duration[var]));
        out.push_back(lower_lit(other, x));
        out.push_back(upper_lit(var, x + p.duration[other] - 1));
      } else {
        // var cannot precede `other`, so it follows it.
        out.push_back(lower_lit(other, value - p.duration[other]));
        out.push_back(lower_lit(var, x));
        out.push_back(upper_lit(other, x + p.duration[var] - 1));
      }
      break;
    }
    case ReasonKind::objective:
      for (std::int32_t x = reason.a; x < reason.a + reason.b; ++x) {
        const Lit l = w.explanations[static_cast<std::size_t>(x)];
        if (l.var != var) out.push_back(l);
      }
      break;
  }
}

}  // namespace rcpspdc
