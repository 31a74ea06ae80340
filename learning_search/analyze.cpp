// Conflict analysis. The failing literals are traced back through the
// reasons of the entries made at the deepest decision level, newest first,
// until a single entry of that level remains (the first unique implication
// point): the nogood is that entry's literal with the literals of lower
// levels. Its clause is unit after jumping back to the deepest of those lower
// levels and narrows a window there, so the search does not enter the same
// conflict again.
//
// Each entry is asked only for the bound the nogood needs, which may be
// weaker than the bound it set, and literals of one activity and side are
// merged into the strongest.
#include <algorithm>

#include "learning_search/learning_state.hpp"

namespace rcpspdc {

namespace {

constexpr double ACTIVITY_RESCALE = 1e100;
constexpr std::uint8_t DERIVE_DONE = 1;
constexpr std::uint8_t DERIVE_FAILED = 2;
constexpr int DERIVE_BUDGET = 64;  // explanations one literal's trace may cost

void bump(LearningSearch& w, int var) {
  w.activity[var] += w.activity_increment;
  if (w.activity[var] > ACTIVITY_RESCALE) {
    for (int i = 0; i < w.problem.activity_count; ++i) w.activity[i] /= ACTIVITY_RESCALE;
    w.activity_increment /= ACTIVITY_RESCALE;
  }
}

void bump_clause(LearningSearch& w, std::int32_t index) {
  Clause& c = w.clauses[static_cast<std::size_t>(index)];
  c.activity += w.clause_increment;
  if (c.activity > 1e20f) {
    for (Clause& other : w.clauses) other.activity *= 1e-20f;
    w.clause_increment *= 1e-20f;
  }
}

int stronger(int a, int b, bool upper) { return upper ? std::min(a, b) : std::max(a, b); }

// True when the nogood's literals (the lower-level ones still in it, by
// w.lower_seen and w.lower_need, and the point) or the root imply `l`.
bool implied(const LearningSearch& w, Lit l, Lit point) {
  if (l.var == point.var && l.upper == point.upper)
    return stronger(point.value, l.value, l.upper != 0) == point.value;
  if (w.lower_seen[l.var][l.upper] && stronger(w.lower_need[l.var][l.upper], l.value,
                                               l.upper != 0) == w.lower_need[l.var][l.upper])
    return true;
  return level_of(w, entry_of(w, l)) == 0;
}

// True when the rest of the nogood and the root imply the true literal `l`
// through the reasons of the trail: each literal on the way is implied
// directly, or by its own reason's literals in turn, and no decision is
// met. Reasons point to earlier entries only, so the trace ends. A trace
// that costs more than `budget` explanations gives up (the literal stays).
bool derivable(LearningSearch& w, Lit l, Lit point, int& budget) {
  std::vector<Lit>& stack = w.derive_stack;
  const std::size_t base = stack.size();
  stack.push_back(l);
  bool ok = true;
  while (ok && stack.size() > base) {
    const Lit m = stack.back();
    stack.pop_back();
    if (implied(w, m, point)) continue;
    const std::int32_t e = entry_of(w, m);
    const auto x = static_cast<std::size_t>(e);
    if (w.derive_mark[x] == DERIVE_FAILED) {
      ok = false;
      break;
    }
    if (w.derive_mark[x] == DERIVE_DONE &&
        stronger(w.derive_value[x], m.value, m.upper != 0) == w.derive_value[x])
      continue;
    const Reason reason = w.trail[x].reason;
    if (reason.kind == ReasonKind::decision || --budget < 0) {
      w.derive_mark[x] = DERIVE_FAILED;
      w.derive_touched.push_back(e);
      ok = false;
      break;
    }
    if (w.derive_mark[x] == 0) w.derive_touched.push_back(e);
    // Counted as derived before its reason is: a failure below abandons the
    // whole trace, and the marks of this trace are cleared with it.
    w.derive_mark[x] = DERIVE_DONE;
    w.derive_value[x] = m.value;
    explain(w, reason, m.var, m.upper != 0, m.value, e, stack);
  }
  stack.resize(base);
  return ok;
}

// Drops from the nogood each lower-level literal whose own reason the rest
// of the nogood implies, directly or through the reasons of the trail: the
// rest then implies it, so the shorter nogood holds as well, and it prunes
// more. One at a time, so no literal is dropped on the strength of one
// dropped before it.
void drop_implied(LearningSearch& w, Lit point) {
  if (w.derive_mark.size() < w.trail.size()) {
    w.derive_mark.resize(w.trail.size());
    w.derive_value.resize(w.trail.size());
  }
  for (const Lit t : w.touched) {
    if (!w.lower_seen[t.var][t.upper]) continue;
    const Lit l{w.lower_need[t.var][t.upper], t.var, t.upper};
    const std::int32_t e = entry_of(w, l);
    const Reason reason = w.trail[static_cast<std::size_t>(e)].reason;
    if (reason.kind == ReasonKind::decision) continue;
    w.scratch.clear();
    explain(w, reason, l.var, l.upper != 0, l.value, e, w.scratch);
    // Not on the strength of itself.
    w.lower_seen[t.var][t.upper] = false;
    // Through the trail only while no schedule is known: there the shorter
    // nogoods find schedules sooner; once one is known the traces cost the
    // proofs more than the shorter nogoods buy them (directly only).
    const bool trace = !w.has_incumbent;
    int budget = DERIVE_BUDGET;
    bool redundant = true;
    for (const Lit m : w.scratch)
      if (trace ? !derivable(w, m, point, budget) : !implied(w, m, point)) {
        redundant = false;
        break;
      }
    // What was derived leaned on this literal; only failures carry over.
    for (const std::int32_t d : w.derive_touched)
      if (w.derive_mark[static_cast<std::size_t>(d)] == DERIVE_DONE)
        w.derive_mark[static_cast<std::size_t>(d)] = 0;
    if (!redundant) w.lower_seen[t.var][t.upper] = true;
  }
  for (const std::int32_t d : w.derive_touched) w.derive_mark[static_cast<std::size_t>(d)] = 0;
  w.derive_touched.clear();
}

}  // namespace

int analyze_conflict(LearningSearch& w) {
  int conflict_level = 0;
  for (const Lit l : w.conflict)
    conflict_level = std::max(conflict_level, level_of(w, entry_of(w, l)));
  if (conflict_level == 0) return -1;
  // A propagator may find a conflict that already held at a lower level.
  if (conflict_level < w.level) backjump(w, conflict_level);

  if (w.need.size() < w.trail.size()) {
    w.need.resize(w.trail.size());
    w.seen.resize(w.trail.size());
  }
  int counter = 0;  // marked entries of the deepest level not yet traced
  w.marked.clear();
  w.touched.clear();
  auto add = [&](Lit l) {
    const std::int32_t e = entry_of(w, l);
    if (e < 0) return;
    const auto x = static_cast<std::size_t>(e);
    const int lv = w.trail[x].level;
    if (lv == 0) return;
    bump(w, l.var);
    const bool up = l.upper != 0;
    if (lv == w.level) {
      if (w.seen[x] == 0) {
        w.seen[x] = 1;
        w.need[x] = l.value;
        w.marked.push_back(e);
        ++counter;
      } else {
        w.need[x] = stronger(w.need[x], l.value, up);
      }
      return;
    }
    if (!w.lower_seen[l.var][l.upper]) {
      w.lower_seen[l.var][l.upper] = true;
      w.lower_need[l.var][l.upper] = l.value;
      w.touched.push_back(l);
    } else {
      w.lower_need[l.var][l.upper] = stronger(w.lower_need[l.var][l.upper], l.value, up);
    }
  };
  for (const Lit l : w.conflict) add(l);

  const auto floor =
      static_cast<std::size_t>(w.level_start[static_cast<std::size_t>(w.level - 1)]);
  std::size_t x = w.trail_size;
  std::int32_t uip = -1;
  while (x > floor) {
    --x;
    if (w.seen[x] == 0) continue;
    if (counter == 1) {
      uip = static_cast<std::int32_t>(x);
      break;
    }
    w.seen[x] = 0;
    --counter;
    const TrailEntry& e = w.trail[x];
    if (e.reason.kind == ReasonKind::clause) bump_clause(w, e.reason.a);
    w.scratch.clear();
    explain(w, e.reason, e.var, e.upper != 0, w.need[x], static_cast<std::int32_t>(x), w.scratch);
    for (const Lit l : w.scratch) add(l);
  }

  const TrailEntry& u = w.trail[static_cast<std::size_t>(uip)];
  const Lit point{w.need[static_cast<std::size_t>(uip)], u.var, u.upper};
  // The point's own side is implied by its stronger literal.
  w.lower_seen[u.var][u.upper] = false;
  if (w.settings.use_minimization) drop_implied(w, point);
  w.learnt.clear();
  w.learnt.push_back(negate(point));
  int jump = 0;
  std::int32_t levels[2 * ACTIVITY_ROWS];
  int distinct = 0;
  for (const Lit t : w.touched) {
    if (!w.lower_seen[t.var][t.upper]) continue;  // the point's side, or implied by the rest
    w.lower_seen[t.var][t.upper] = false;
    const Lit l{w.lower_need[t.var][t.upper], t.var, t.upper};
    const int lv = level_of(w, entry_of(w, l));
    if (std::find(levels, levels + distinct, lv) == levels + distinct) levels[distinct++] = lv;
    w.learnt.push_back(negate(l));
    if (lv > jump) {
      jump = lv;
      std::swap(w.learnt[1], w.learnt.back());
    }
  }
  w.learnt_lbd = distinct + 1;
  for (const std::int32_t e : w.marked) w.seen[static_cast<std::size_t>(e)] = 0;
  return jump;
}

}  // namespace rcpspdc
