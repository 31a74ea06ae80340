// Time-tabling over compulsory parts with explanations. The compulsory part
// of an activity is the run of slots it occupies wherever in its window it
// starts: from its latest start to its earliest finish. Their loads form a
// profile; an activity cannot start where its run would meet a slot the
// others' compulsory parts leave too little room in, so its earliest start
// moves past the last such slot of its run (and its latest start before the
// first). Each move is one trail entry, explained by the one full slot it
// jumped: the activity would cover that slot from any start it passed, and
// the activities whose compulsory parts cover it (lazily, when a conflict
// asks).
//
// A pass takes the profile as it is when the pass begins, and whether an
// activity moves depends only on its own window and the profile under the
// runs from its two window ends. So the profile is kept between passes and
// brought up to date by the parts that changed, and a pass looks only at
// the activities whose windows moved since the last pass began or whose
// runs meet a slot whose load changed; the others would not move.
#include "learning_search/learning_state.hpp"

namespace rcpspdc {

namespace {

// The first resource whose lane of `residual` is negative.
int overloaded_resource(const WindowProblem& p, Packed residual) {
  for (int k = 0; k < p.resource_count; ++k)
    if ((residual & (LANE_TOP << (LANE_BITS * k))) != 0) return k;
  return 0;
}

// Activity i's compulsory part in the current windows: [lo, hi).
void compulsory_part(const LearningSearch& w, int i, int& lo, int& hi) {
  const WindowProblem& p = w.problem;
  lo = w.upper[i];
  hi = p.uses_resources[i] ? w.lower[i] + p.duration[i] : lo;
  if (hi < lo) hi = lo;
}

// Moves i's part in the table from the one kept to [lo, hi); with `changed`,
// flags the slots whose load changed. Parts only grow between two passes of
// one descent, but a jump back may shrink them.
void move_part(LearningSearch& w, int i, int lo, int hi, std::uint8_t* changed) {
  const Packed demand = w.problem.packed_demand[i];
  Packed* table = w.table.data();
  const int old_lo = w.table_lo[i];
  const int old_hi = w.table_hi[i];
  for (int t = old_lo; t < old_hi; ++t) {
    if (lo <= t && t < hi) continue;
    table[t] -= demand;
    if (changed != nullptr) changed[t] = 1;
  }
  for (int t = lo; t < hi; ++t) {
    if (old_lo <= t && t < old_hi) continue;
    table[t] += demand;
    if (changed != nullptr) changed[t] = 1;
  }
  w.table_lo[i] = lo;
  w.table_hi[i] = hi;
}

// The conflict of an overloaded profile, as a pass that loads the parts in
// activity order meets it: at the first slot the loading overloads.
void explain_overload(LearningSearch& w) {
  const WindowProblem& p = w.problem;
  Packed* scratch = w.profile.data();
  int slot = -1;
  int resource = 0;
  for (int i = 0; i < p.activity_count && slot < 0; ++i)
    for (int t = w.table_lo[i]; t < w.table_hi[i]; ++t) {
      scratch[t] += p.packed_demand[i];
      if (overloaded(p.packed_capacity - scratch[t], p.overflow_mask)) {
        slot = t;
        resource = overloaded_resource(p, p.packed_capacity - scratch[t]);
        break;
      }
    }
  std::fill(w.profile.begin(), w.profile.end(), Packed{0});
  w.conflict.clear();
  explain_full_slot(w, slot, resource, 0, -1, static_cast<std::int32_t>(w.trail_size), w.conflict);
}

// Brings every part in the table to the current windows (flagging slots as
// move_part does); true when any part moved.
bool update_table(LearningSearch& w, std::uint8_t* changed) {
  const WindowProblem& p = w.problem;
  bool any = false;
  for (int i = 0; i < p.activity_count; ++i) {
    int lo;
    int hi;
    compulsory_part(w, i, lo, hi);
    if (lo == w.table_lo[i] && hi == w.table_hi[i]) continue;
    w.work += hi - lo;
    move_part(w, i, lo, hi, changed);
    any = true;
  }
  return any;
}

}  // namespace

void sync_time_table(LearningSearch& w) {
  if (w.problem.resource_count > 0) update_table(w, nullptr);
}

bool propagate_time_table(LearningSearch& w, bool& changed) {
  const WindowProblem& p = w.problem;
  if (p.resource_count == 0) return true;
  const int n = p.activity_count;
  LearningSearch::Marks& marks = w.table_marks;
  const auto since = static_cast<std::int32_t>(marks.since);
  const bool every = marks.all;
  marks.since = w.trail_size;
  marks.all = false;
  // The profile brought up to date, the slots whose load changed flagged,
  // and an overload looked for where load was added.
  std::uint8_t* flagged = w.table_changed.data();
  const bool any_changed = update_table(w, flagged);
  const int slots = static_cast<int>(w.table.size());
  int* below = w.table_changed_below.data();  // flagged slots before each slot
  if (any_changed) {
    bool overload = false;
    below[0] = 0;
    for (int t = 0; t < slots; ++t) {
      below[t + 1] = below[t] + flagged[t];
      if (flagged[t] != 0 &&
          overloaded(p.packed_capacity - w.table[static_cast<std::size_t>(t)], p.overflow_mask))
        overload = true;
      flagged[t] = 0;
    }
    if (overload) {
      explain_overload(w);
      return false;
    }
  }
  const Packed* profile = w.table.data();
  const int* lo = w.table_lo;
  const int* hi = w.table_hi;
  // True when i's window moved since the last pass began, or a run from one
  // of its ends meets a slot whose load changed.
  const auto stale = [&](int i) {
    if (every || w.last_entry[i][0] >= since || w.last_entry[i][1] >= since) return true;
    if (!any_changed) return false;
    const int d = p.duration[i];
    const int a = w.lower[i];
    const int b = w.upper[i];
    return below[a + d] != below[a] || below[b + d] != below[b];
  };
  bool ok = true;
  for (int i = 0; i < n && ok; ++i) {
    if (!p.uses_resources[i] || w.lower[i] == w.upper[i] || !stale(i)) continue;
    const Packed demand = p.packed_demand[i];
    const int d = p.duration[i];
    // The first slot of the d slots from `first`, stepping by `step`, where
    // i started there would not fit beside the others' compulsory parts
    // (its own part is in the profile already); -1: none.
    const auto full_slot = [&](int first, int step) {
      w.work += d;
      for (int x = 0, t = first; x < d; ++x, t += step) {
        const Packed load = (lo[i] <= t && t < hi[i]) ? profile[t] : profile[t] + demand;
        if (overloaded(p.packed_capacity - load, p.overflow_mask)) return t;
      }
      return -1;
    };
    const auto reason = [&](int clash) {
      const int k = overloaded_resource(p, p.packed_capacity - (profile[clash] + demand));
      return Reason{ReasonKind::time_table, clash, k};
    };
    // Earliest start: the last full slot of the run from s, scanning down.
    for (int s = w.lower[i], clash; ok && (clash = full_slot(s + d - 1, -1)) >= 0; s = clash + 1) {
      ok = set_lower(w, i, clash + 1, reason(clash));
      changed = true;
    }
    // Latest start: the first full slot of the run from s, scanning up.
    for (int s = w.upper[i], clash; ok && (clash = full_slot(s, 1)) >= 0; s = clash - d) {
      ok = set_upper(w, i, clash - d, reason(clash));
      changed = true;
    }
  }
  return ok;
}

}  // namespace rcpspdc
