// The search loop: propagate; on a conflict learn its nogood and jump back;
// otherwise branch (branching.cpp). A complete schedule becomes the
// incumbent, and the incumbent's constraint then fails at once, so the
// search goes on to a better one. Restarts follow the Luby sequence, in
// longer units while no schedule is known;
// nogoods and activities survive them, so every descent learns from the
// ones before. The search is complete when a conflict needs no decision.
#include "learning_search/solve_learning.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace rcpspdc {

namespace {

constexpr double ACTIVITY_DECAY = 0.95;           // branching activity kept per conflict
constexpr float CLAUSE_DECAY = 0.999f;            // nogood activity kept per conflict
constexpr std::size_t FIRST_LEARNT_LIMIT = 4000;  // nogoods kept before the first cut
constexpr double LEARNT_LIMIT_GROWTH = 1.1;
// The network bound runs at the root and for the open bound a stopped search
// reports while its flow graph stays small: a node per start, about a
// hundred bytes each.
constexpr std::int64_t NETWORK_STARTS = 250000;

// Nogoods of at most this many bounds go to the searches on other threads:
// the short ones prune most widely and cost least to give.
constexpr int SHARED_NOGOOD_SIZE = 6;

// Steps pricing the root of a stopped search: about as many as bring the
// bound to the linear program's on the open j90 rows.
constexpr int STOPPED_PRICE_ITERATIONS = 300;

std::uint64_t lit_word(Lit l) {
  return static_cast<std::uint64_t>(static_cast<std::uint32_t>(l.value)) |
         static_cast<std::uint64_t>(l.var) << 32 | static_cast<std::uint64_t>(l.upper) << 48;
}

Lit word_lit(std::uint64_t word) {
  Lit l;
  l.value = static_cast<std::int32_t>(static_cast<std::uint32_t>(word & 0xffffffffu));
  l.var = static_cast<std::uint16_t>(word >> 32);
  l.upper = static_cast<std::uint16_t>(word >> 48);
  return l;
}

double elapsed(const LearningSearch& w) {
  return static_cast<double>(clock_ms() - w.started_ms) * 0.001;
}

// The limit that stops the search here, if one does.
std::optional<SearchEnd> limit_reached(LearningSearch& w) {
  if (w.node_limit > 0 && w.created_nodes >= w.node_limit) return SearchEnd::node_limit;
  if (budget_spent(w)) return SearchEnd::time_limit;
  return std::nullopt;
}

// An incumbent that reaches the root's network bound is the best schedule.
bool reaches_root_network(const LearningSearch& w) {
  return w.has_incumbent && w.root_network <= w.best_npv + 1e-9 * (1.0 + std::fabs(w.best_npv));
}

void record_incumbent(LearningSearch& w, const int* start) {
  const WindowProblem& p = w.problem;
  w.has_incumbent = true;
  w.best_npv = window_schedule_value(p, start);
  for (int i = 0; i < p.activity_count; ++i) w.best_finish[i] = start[i] + p.duration[i];
  w.seconds_to_best = elapsed(w);
  if (w.shared != nullptr) {
    const std::uint64_t version = w.shared->post(w.best_npv, w.best_finish, p.activity_count);
    if (version != 0) w.shared_seen = version;
  }
  if (reaches_root_network(w)) w.complete = true;
}

void reset_search(LearningSearch& w) {
  w.clauses.clear();
  w.clause_lits.clear();
  clear_watches(w);
  for (int i = 0; i < ACTIVITY_ROWS; ++i) {
    w.activity[i] = 0.0;
    w.best_finish[i] = 0;
    w.saved_start[i] = -1;
  }
  w.learnt_count = 0;
  w.saved_depth = 0;
  w.shared_seen = 0;
  w.shared_taken = 0;
  w.garbage = 0;
  w.learnt_limit = std::min(FIRST_LEARNT_LIMIT, w.settings.max_nogoods);
  w.clause_increment = 1.0f;
  w.activity_increment = 1.0;
  w.has_incumbent = false;
  w.best_npv = -std::numeric_limits<double>::infinity();
  w.seconds_to_best = 0.0;
  w.created_nodes = 0;
  w.decisions = 0;
  w.conflicts = 0;
  w.probes = 0;
  w.restarts = 0;
  w.restart_conflicts = 0;
  w.work = 0;
  w.end = SearchEnd::complete;
  w.stopped = false;
  w.complete = false;
  w.priced = false;
  w.priced_nodes = false;
  w.root_networked = false;
  w.root_pricings = 0;
  w.arcs_priced = false;
  w.root_network = std::numeric_limits<double>::infinity();
  w.root_lagrangian = std::numeric_limits<double>::infinity();
  w.network_calls = 0;
  for (LearningSearch::AscentTables& a : w.ascent) a.ready = a.priced = a.priced_current = false;
  w.network_prunes = 0;
  w.debug_faults = 0;
  w.debug_first_fault = -1;
  reset_trail(w);
}

// Prices the resources once the root is propagated and a schedule is known;
// the nodes bound with them only where they beat the pair bound at the root.
void price_at_root(LearningSearch& w) {
  price_resources(w, w.settings.price_iterations);
  w.priced = true;
  // The arcs priced again beside the resources, where that bounds lower.
  if (w.settings.use_arc_prices && w.root_lagrangian < w.root_network) {
    network_bound(w, w.lower, w.upper, w.prices.data());
    price_arcs(w, w.prices.data());
  }
  w.priced_nodes = w.settings.use_prices_in_nodes && w.root_lagrangian < learning_pair_bound(w);
}

// The starts the windows leave past their earliest, summed.
std::int64_t window_starts(const LearningSearch& w) {
  std::int64_t starts = 0;
  for (int i = 1; i < w.problem.end_activity; ++i) starts += w.upper[i] - w.lower[i];
  return starts;
}

// True when the windows leave few enough starts for the network bound.
bool network_fits(const LearningSearch& w) { return window_starts(w) <= NETWORK_STARTS; }

// True when the starts keep every resource within its capacity.
bool fits_resources(LearningSearch& w, const int* start) {
  const WindowProblem& p = w.problem;
  Packed* profile = w.profile.data();
  bool fits = true;
  int loaded = 0;  // activities whose slots are in the profile
  for (; loaded < p.activity_count && fits; ++loaded) {
    if (!p.uses_resources[loaded]) continue;
    for (int t = start[loaded]; t < start[loaded] + p.duration[loaded]; ++t) {
      profile[t] += p.packed_demand[loaded];
      if (overloaded(p.packed_capacity - profile[t], p.overflow_mask)) fits = false;
    }
  }
  for (int i = 0; i < loaded; ++i)
    if (p.uses_resources[i])
      for (int t = start[i]; t < start[i] + p.duration[i]; ++t) profile[t] = 0;
  return fits;
}

// Once, at the propagated root, where the windows leave few starts: the best
// schedule of the network, resources aside, is the best of all when it keeps
// the resources too; and any incumbent that reaches the network's bound ends
// the search (within the margin every bound of this search prunes with).
// Where deadlines are loose this settles what the search would prove slowly,
// if at all: the windows are too wide for the bounds of its nodes.
void bound_root_by_network(LearningSearch& w) {
  const WindowProblem& p = w.problem;
  w.root_networked = true;
  w.networked_width = window_starts(w);
  if (!network_fits(w)) return;
  ++w.root_pricings;
  const double bound = network_bound(w, w.lower, w.upper);
  if (w.settings.use_arc_prices) price_arcs(w);
  int* start = w.network_start;
  int end = 0;
  for (int i = 1; i < p.end_activity; ++i) end = std::max(end, start[i] + p.duration[i]);
  start[p.end_activity] = end;
  if (fits_resources(w, start) && window_schedule_value(p, start) > w.best_npv)
    record_incumbent(w, start);
  w.root_network = std::min(w.root_network, bound);
  if (reaches_root_network(w)) w.complete = true;
}

// True when the root windows have narrowed enough since the network last
// bounded them (nogoods learnt at the root, the incumbent's narrowing) for
// a new flow, and new arc prices, to pay. Not once the resources are
// priced: those arc prices carry resource prices the new flow would lose.
bool root_narrowed(const LearningSearch& w) {
  const double share = w.settings.reprice_share;
  return share > 0.0 && w.root_networked && !w.priced &&
         static_cast<double>(window_starts(w)) <=
             (1.0 - share) * static_cast<double>(w.networked_width);
}

}  // namespace

bool budget_spent(LearningSearch& w) {
  const std::int64_t work = w.work;
  w.work = 0;
  return w.clock.spent_after(work);
}

void learn_after_conflict(LearningSearch& w, int jump) {
  const LearningSettings& settings = w.settings;
  backjump(w, jump);
  learn_and_assert(w);
  if (w.shared_nogoods != nullptr && w.learnt.size() <= SHARED_NOGOOD_SIZE) {
    // Given as the bounds it forbids together, as add_nogood takes them.
    std::uint64_t words[SHARED_NOGOOD_SIZE];
    const int size = static_cast<int>(w.learnt.size());
    for (int k = 0; k < size; ++k)
      words[k] = lit_word(negate(w.learnt[static_cast<std::size_t>(k)]));
    w.shared_nogoods->post(w.shared_origin,
                           w.has_incumbent ? w.best_npv : -std::numeric_limits<double>::infinity(),
                           words, size);
  }
  w.activity_increment /= ACTIVITY_DECAY;
  w.clause_increment /= CLAUSE_DECAY;
  if (w.learnt_count >= w.learnt_limit) {
    reduce_nogoods(w);
    w.learnt_limit = std::min(
        settings.max_nogoods,
        static_cast<std::size_t>(static_cast<double>(w.learnt_limit) * LEARNT_LIMIT_GROWTH));
  }
  const int unit = w.has_incumbent ? settings.restart_unit : settings.first_restart_unit;
  if (settings.use_restarts && w.restart_conflicts >= unit * luby(w.restarts)) {
    ++w.restarts;
    w.restart_conflicts = 0;
    backjump(w, 0);
    if (w.garbage > w.learnt_count) collect_nogoods(w);
  }
}

namespace {

// Saves the starts of the fixed activities when a descent fixed more of them
// than any before it. Saving at every conflict instead, as a satisfiability
// solver saves its phases, keeps the starts of the shallow descents that
// restarts make most of, and finds fewer schedules.
void save_phase(LearningSearch& w) {
  const WindowProblem& p = w.problem;
  int fixed = 0;
  for (int i = 1; i < p.end_activity; ++i) fixed += w.lower[i] == w.upper[i];
  if (fixed <= w.saved_depth) return;
  w.saved_depth = fixed;
  for (int i = 1; i < p.end_activity; ++i)
    w.saved_start[i] = w.lower[i] == w.upper[i] ? w.lower[i] : -1;
}

// Takes the nogoods the searches on other threads posted since the last
// look, at the root; false when one of them rules out every schedule left.
// Those learnt against a better incumbent than this search's are passed
// over: they may rule out schedules only this search still needs.
bool take_shared_nogoods(LearningSearch& w) {
  w.shared_words.clear();
  w.shared_sizes.clear();
  const double incumbent = w.has_incumbent ? w.best_npv : -std::numeric_limits<double>::infinity();
  w.shared_taken = w.shared_nogoods->take(w.shared_origin, incumbent, w.shared_taken,
                                          w.shared_words, w.shared_sizes);
  std::size_t at = 0;
  for (const int size : w.shared_sizes) {
    w.shared_lits.clear();
    for (int k = 0; k < size; ++k) w.shared_lits.push_back(word_lit(w.shared_words[at++]));
    if (!add_nogood(w, w.shared_lits)) return false;
  }
  return true;
}

// A failed propagation: learn from it; false when the search is complete.
bool learn_from_failure(LearningSearch& w) {
  if (!w.has_incumbent && w.settings.use_phase_saving) save_phase(w);
  ++w.conflicts;
  ++w.restart_conflicts;
  const int jump = analyze_conflict(w);
  if (jump < 0) return false;
  learn_after_conflict(w, jump);
  ++w.created_nodes;
  return true;
}

}  // namespace

void offer_learning_schedule(LearningSearch& w, const std::vector<int>& finish) {
  const WindowProblem& p = w.problem;
  int start[ACTIVITY_ROWS];
  for (int i = 0; i < p.activity_count; ++i)
    start[i] = finish[static_cast<std::size_t>(i)] - p.duration[i];
  if (window_schedule_value(p, start) > w.best_npv) record_incumbent(w, start);
}

void seed_phases(LearningSearch& w, const std::vector<int>& finish) {
  const WindowProblem& p = w.problem;
  for (int i = 1; i < p.end_activity; ++i) {
    const int s = finish[static_cast<std::size_t>(i)] - p.duration[i];
    w.saved_start[i] = s >= w.lower[i] && s <= w.upper[i] ? s : -1;
  }
  // Kept only until a descent of the search's own fails: counting the
  // seeded starts as its depth instead keeps them longer and found no
  // schedule on the j60 rows where this finds three.
  w.saved_depth = 0;
}

void begin_learning(LearningSearch& w, const InstanceData& instance, double interest_rate,
                    const TimeBudget& time, const std::vector<int>* seed_finish) {
  load_learning_problem(w, instance, interest_rate);
  reset_search(w);
  w.started_ms = time.start_ms;
  if (seed_finish != nullptr) offer_learning_schedule(w, *seed_finish);
  // No schedule at all when the arcs alone leave no room.
  ++w.created_nodes;
  if (!propagate_root_arcs(w)) w.complete = true;
}

SearchEnd continue_learning(LearningSearch& w, const SearchLimits& limits) {
  const LearningSettings& settings = w.settings;
  w.clock = WorkClock(limits.time);
  w.node_limit = limits.node_limit;
  w.stopped = false;
  w.end = SearchEnd::complete;
  while (!w.complete) {
    // A better schedule from another thread, taken between nodes.
    if (w.shared != nullptr && w.shared->version() != w.shared_seen) {
      w.shared_seen = w.shared->take(w.shared_finish);
      offer_learning_schedule(w, w.shared_finish);
      if (w.complete) break;
    }
    if (w.level == 0 && w.has_incumbent && w.shared_nogoods != nullptr &&
        !take_shared_nogoods(w)) {
      w.complete = true;
      break;
    }
    if (!propagate(w)) {
      w.complete = !learn_from_failure(w);
      continue;
    }
    if (const std::optional<SearchEnd> stop = limit_reached(w)) {
      w.stopped = true;
      w.end = *stop;
      break;
    }
    if (w.has_incumbent && settings.use_shaving) {
      const ShaveOutcome shaved = shave_node(w);
      if (shaved == ShaveOutcome::complete) w.complete = true;
      if (shaved == ShaveOutcome::failed) w.complete = !learn_from_failure(w);
      if (shaved != ShaveOutcome::kept) continue;
    }
    if (w.level == 0 && w.has_incumbent && settings.use_root_network &&
        (!w.root_networked || root_narrowed(w))) {
      bound_root_by_network(w);
      continue;  // the incumbent may be new: propagate it
    }
    if (w.level == 0 && !w.priced && w.has_incumbent && settings.price_iterations > 0 &&
        w.problem.resource_count > 0)
      price_at_root(w);
    Lit decision;
    if (!choose_decision(w, decision)) {
      record_incumbent(w, w.lower);
      continue;  // the incumbent's constraint fails here now
    }
    ++w.decisions;
    ++w.created_nodes;
    open_level(w);
    set_lit(w, decision, {ReasonKind::decision, 0, 0});
  }
  return w.end;
}

void price_stopped_root(LearningSearch& w, const TimeBudget& time) {
  if (w.complete || w.problem.resource_count == 0) return;
  backjump(w, 0);
  w.clock = WorkClock(time);
  price_resources(w, STOPPED_PRICE_ITERATIONS);
}

double learning_open_bound(LearningSearch& w, bool tighten) {
  if (w.complete) return w.best_npv;
  backjump(w, 0);
  double bound = learning_window_bound(w);
  // The others are summed in another order than the checker's: a margin far
  // above their rounding keeps them above every schedule's value.
  const double margin = 1e-9 * (1.0 + std::fabs(bound));
  bound = std::min(bound, w.root_network + margin);
  bound = std::min(bound, w.root_lagrangian + margin);
  if (tighten) {
    bound = std::min(bound, learning_pair_bound(w) + margin);
    if (network_fits(w)) bound = std::min(bound, network_bound(w, w.lower, w.upper) + margin);
  }
  return std::max(w.best_npv, bound);
}

void fill_learning_result(LearningSearch& w, SearchResult& result, bool tighten) {
  result.end = w.end;
  set_incumbent(result, w.has_incumbent, w.best_npv, w.best_finish, w.problem.activity_count);
  result.bound = learning_open_bound(w, tighten);
  result.created_nodes = w.created_nodes;
  result.branched_nodes = w.decisions;
  result.seconds = elapsed(w);
  result.seconds_to_best = w.has_incumbent ? w.seconds_to_best : -1.0;
}

}  // namespace rcpspdc
