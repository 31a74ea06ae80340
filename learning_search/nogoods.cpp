// The nogood store: learnt clauses over window bounds, each watched on two
// literals that are not false. A literal [s >= v] turns false when the latest
// start drops below v, [s <= v] when the earliest start passes v, so each is
// watched on the side whose moves can falsify it; the watch keeps v, and
// moves that leave the literal open cost one comparison.
#include <algorithm>

#include "learning_search/learning_state.hpp"

namespace rcpspdc {

namespace {

int bucket(const LearningSearch& w, int value) {
  const int b = (value + 1) >> w.watch_shift;
  return b < 0 ? 0 : (b >= WATCH_BUCKETS ? WATCH_BUCKETS - 1 : b);
}

// Watch list of a literal: moves of the opposite bound can falsify it.
std::vector<Watch>& watch_list(LearningSearch& w, Lit l) {
  return w.watches[l.var][l.upper != 0 ? 0 : 1][bucket(w, l.value)];
}

Lit* literals(LearningSearch& w, const Clause& c) { return w.clause_lits.data() + c.start; }

void attach(LearningSearch& w, std::int32_t index) {
  const Clause& c = w.clauses[static_cast<std::size_t>(index)];
  const Lit* lits = literals(w, c);
  if (c.size == 1) {
    watch_list(w, lits[0]).push_back({index, lits[0].value, lits[0]});
    return;
  }
  watch_list(w, lits[0]).push_back({index, lits[0].value, lits[1]});
  watch_list(w, lits[1]).push_back({index, lits[1].value, lits[0]});
}

// A clause is locked while it is the reason of its first literal's entry.
bool locked(const LearningSearch& w, std::int32_t index) {
  const Clause& c = w.clauses[static_cast<std::size_t>(index)];
  const Lit first = w.clause_lits[static_cast<std::size_t>(c.start)];
  if (!is_true(w, first)) return false;
  const std::int32_t e = entry_of(w, first);
  if (e < 0) return false;
  const Reason& r = w.trail[static_cast<std::size_t>(e)].reason;
  return r.kind == ReasonKind::clause && r.a == index;
}

// The watches of one bucket that entry `e` passed.
bool visit_bucket(LearningSearch& w, const TrailEntry& e, std::vector<Watch>& list) {
  const int var = e.var;
  const int bound = e.upper != 0 ? w.upper[var] : w.lower[var];
  std::size_t keep = 0;
  std::size_t x = 0;
  bool ok = true;
  for (; x < list.size(); ++x) {
    const Watch watch = list[x];
    // Still open: [s <= v] with earliest start <= v, [s >= v] with latest start >= v.
    const bool open = e.upper != 0 ? bound >= watch.value : bound <= watch.value;
    if (open || !ok || is_true(w, watch.blocker)) {
      list[keep++] = watch;
      continue;
    }
    const Clause& c = w.clauses[static_cast<std::size_t>(watch.clause)];
    if (c.deleted) continue;  // dropped lazily
    ++w.work;
    Lit* lits = w.clause_lits.data() + c.start;
    // The false literal goes to position 1.
    if (lits[0].var == var && lits[0].upper != e.upper) std::swap(lits[0], lits[1]);
    if (is_true(w, lits[0])) {
      list[keep++] = {watch.clause, watch.value, lits[0]};
      continue;
    }
    bool moved = false;
    for (int k = 2; k < c.size; ++k) {
      if (is_false(w, lits[k])) continue;
      std::swap(lits[1], lits[k]);
      watch_list(w, lits[1]).push_back({watch.clause, lits[1].value, lits[0]});
      moved = true;
      break;
    }
    if (moved) continue;
    list[keep++] = {watch.clause, watch.value, lits[0]};
    if (is_false(w, lits[0])) {
      w.conflict.clear();
      for (int k = 0; k < c.size; ++k) w.conflict.push_back(negate(lits[k]));
      ok = false;
      continue;
    }
    if (!set_lit(w, lits[0], {ReasonKind::clause, watch.clause, 0})) ok = false;
  }
  list.resize(keep);
  return ok;
}

}  // namespace

bool propagate_nogoods(LearningSearch& w, std::int32_t entry) {
  const TrailEntry e = w.trail[static_cast<std::size_t>(entry)];
  // A rise of the earliest start from a to b falsifies [s <= v] for a <= v < b,
  // a fall of the latest start from a to b falsifies [s >= v] for b < v <= a.
  const int from = e.upper != 0 ? e.new_value + 1 : e.old_value;
  const int to = e.upper != 0 ? e.old_value : e.new_value - 1;
  const int last = bucket(w, to);
  for (int b = bucket(w, from); b <= last; ++b)
    if (!visit_bucket(w, e, w.watches[e.var][e.upper][b])) return false;
  return true;
}

void clear_watches(LearningSearch& w) {
  // Buckets as narrow as the deadline allows.
  w.watch_shift = 0;
  while (((w.problem.deadline + 2) >> w.watch_shift) >= WATCH_BUCKETS) ++w.watch_shift;
  for (auto& activity : w.watches)
    for (auto& side : activity)
      for (std::vector<Watch>& list : side) list.clear();
}

void learn_and_assert(LearningSearch& w) {
  Clause c;
  c.start = static_cast<std::int32_t>(w.clause_lits.size());
  c.size = static_cast<std::int32_t>(w.learnt.size());
  c.activity = w.clause_increment;
  c.lbd = w.learnt_lbd;
  w.clause_lits.insert(w.clause_lits.end(), w.learnt.begin(), w.learnt.end());
  const auto index = static_cast<std::int32_t>(w.clauses.size());
  w.clauses.push_back(c);
  ++w.learnt_count;
  if (c.size > 1) attach(w, index);
  // After the jump back every literal but the first is false, and the
  // first narrows a window; a nogood given from outside may still be open.
  for (std::size_t k = 1; k < w.learnt.size(); ++k)
    if (!is_false(w, w.learnt[k])) return;
  set_lit(w, w.learnt[0], {ReasonKind::clause, index, 0});
}

bool add_nogood(LearningSearch& w, const std::vector<Lit>& nogood) {
  backjump(w, 0);
  w.learnt.clear();
  for (const Lit l : nogood) {
    if (is_false(w, l)) return true;  // holds for no schedule left
    if (!is_true(w, l)) w.learnt.push_back(negate(l));
  }
  if (w.learnt.empty()) return false;  // every schedule left satisfies it
  w.learnt_lbd = static_cast<int>(w.learnt.size());
  learn_and_assert(w);
  return true;
}

void reduce_nogoods(LearningSearch& w) {
  std::vector<std::int32_t>& order = w.reduce_order;
  order.clear();
  const bool full = w.learnt_count >= w.settings.max_nogoods;
  for (std::size_t x = 0; x < w.clauses.size(); ++x) {
    const Clause& c = w.clauses[x];
    if (c.deleted || (c.lbd <= 2 && !full)) continue;  // short-range nogoods are kept
    order.push_back(static_cast<std::int32_t>(x));
  }
  std::sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
    const Clause& ca = w.clauses[static_cast<std::size_t>(a)];
    const Clause& cb = w.clauses[static_cast<std::size_t>(b)];
    return ca.activity < cb.activity;
  });
  const std::size_t drop = order.size() / 2;
  for (std::size_t x = 0; x < drop; ++x) {
    const std::int32_t index = order[x];
    if (locked(w, index)) continue;
    w.clauses[static_cast<std::size_t>(index)].deleted = true;
    --w.learnt_count;
    ++w.garbage;
  }
}

void collect_nogoods(LearningSearch& w) {
  // Only at the root: entries there are never traced, so no reason needs its
  // nogood's old index. Compacted in place, front to back.
  std::size_t clause_out = 0;
  std::size_t lit_out = 0;
  for (std::size_t x = 0; x < w.clauses.size(); ++x) {
    Clause c = w.clauses[x];
    if (c.deleted) continue;
    std::copy(w.clause_lits.begin() + c.start, w.clause_lits.begin() + c.start + c.size,
              w.clause_lits.begin() + static_cast<std::ptrdiff_t>(lit_out));
    c.start = static_cast<std::int32_t>(lit_out);
    lit_out += static_cast<std::size_t>(c.size);
    w.clauses[clause_out++] = c;
  }
  w.clauses.resize(clause_out);
  w.clause_lits.resize(lit_out);
  clear_watches(w);
  for (std::size_t x = 0; x < w.clauses.size(); ++x) attach(w, static_cast<std::int32_t>(x));
  w.learnt_count = w.clauses.size();
  w.garbage = 0;
}

}  // namespace rcpspdc
