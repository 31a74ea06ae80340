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
#include "learning_search/learning_state.hpp"

namespace rcpspdc {

namespace {

// The first resource whose lane of `residual` is negative.
int overloaded_resource(const WindowProblem& p, Packed residual) {
  for (int k = 0; k < p.resource_count; ++k)
    if ((residual & (LANE_TOP << (LANE_BITS * k))) != 0) return k;
  return 0;
}

void clear_profile(LearningSearch& w, const int* lo, const int* hi) {
  const WindowProblem& p = w.problem;
  for (int i = 0; i < p.activity_count; ++i)
    for (int t = lo[i]; t < hi[i]; ++t) w.profile[static_cast<std::size_t>(t)] = 0;
}

}  // namespace

bool propagate_time_table(LearningSearch& w, bool& changed) {
  const WindowProblem& p = w.problem;
  if (p.resource_count == 0) return true;
  const int n = p.activity_count;
  Packed* profile = w.profile.data();
  int lo[ACTIVITY_ROWS];
  int hi[ACTIVITY_ROWS];
  for (int i = 0; i < n; ++i) {
    lo[i] = w.upper[i];
    hi[i] = p.uses_resources[i] ? w.lower[i] + p.duration[i] : lo[i];
    if (hi[i] < lo[i]) hi[i] = lo[i];
    w.work += hi[i] - lo[i];
    for (int t = lo[i]; t < hi[i]; ++t) {
      profile[t] += p.packed_demand[i];
      if (overloaded(p.packed_capacity - profile[t], p.overflow_mask)) {
        const int k = overloaded_resource(p, p.packed_capacity - profile[t]);
        hi[i] = t + 1;  // what was loaded, for clearing
        for (int j = i + 1; j < n; ++j) hi[j] = lo[j];
        clear_profile(w, lo, hi);
        w.conflict.clear();
        explain_full_slot(w, t, k, 0, -1, static_cast<std::int32_t>(w.trail_size), w.conflict);
        return false;
      }
    }
  }
  bool ok = true;
  for (int i = 0; i < n && ok; ++i) {
    if (!p.uses_resources[i] || w.lower[i] == w.upper[i]) continue;
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
  clear_profile(w, lo, hi);
  return ok;
}

}  // namespace rcpspdc
