// Exactness of the learning search: tiny random instances against brute
// force with every switch, each run watched by the known optimal schedule so
// that the first propagation or nogood that cuts it off is caught; a nogood
// that is unsound on purpose must be caught the same way; Patterson rows
// with proven optima.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>

#include "check/schedule_check.hpp"
#include "formats/instance_file.hpp"
#include "learning_search/learning_engine.hpp"
#include "learning_search/solve_learning.hpp"
#include "model/cash_flows.hpp"
#include "tests/brute_force.hpp"
#include "tests/search_checks.hpp"

namespace rcpspdc::test {
namespace {

struct LearningVariant {
  const char* name;
  void (*adjust)(LearningSettings&);
};

const LearningVariant LEARNING_VARIANTS[] = {
    {"default", [](LearningSettings&) {}},
    {"no restarts", [](LearningSettings& s) { s.use_restarts = false; }},
    {"restart at every conflict",
     [](LearningSettings& s) { s.restart_unit = s.first_restart_unit = 1; }},
    {"restart at every conflict once a schedule is known",
     [](LearningSettings& s) { s.restart_unit = 1; }},
    {"no pair orders", [](LearningSettings& s) { s.use_pair_orders = false; }},
    {"no objective narrowing", [](LearningSettings& s) { s.use_objective_narrowing = false; }},
    {"no shift dominance", [](LearningSettings& s) { s.use_shift_dominance = false; }},
    {"no root network", [](LearningSettings& s) { s.use_root_network = false; }},
    {"network bound", [](LearningSettings& s) { s.use_network_bound = true; }},
    {"network bound by ascent",
     [](LearningSettings& s) { s.use_network_bound = s.use_network_ascent = true; }},
    {"network bound by ascent without its prices",
     [](LearningSettings& s) { s.use_network_narrowing = false; }},
    {"network bound alone",
     [](LearningSettings& s) {
       s.use_network_bound = true;
       s.use_pair_bound = false;
       s.use_objective_narrowing = false;
     }},
    {"no value impact", [](LearningSettings& s) { s.use_value_impact = false; }},
    {"value impact by the cash flows alone",
     [](LearningSettings& s) { s.use_bound_impact = false; }},
    {"no window split", [](LearningSettings& s) { s.use_window_split = false; }},
    {"no arc prices", [](LearningSettings& s) { s.use_arc_prices = false; }},
    {"no arc narrowing", [](LearningSettings& s) { s.use_arc_narrowing = false; }},
    {"no repricing", [](LearningSettings& s) { s.reprice_share = 0.0; }},
    {"reprice at every narrowing of the root",
     [](LearningSettings& s) {
       s.reprice_share = 1e-9;
       s.restart_unit = s.first_restart_unit = 1;
     }},
    {"no phase saving", [](LearningSettings& s) { s.use_phase_saving = false; }},
    {"resource prices in every node",
     [](LearningSettings& s) {
       s.price_iterations = 30;
       s.use_prices_in_nodes = true;
     }},
    {"no lifting", [](LearningSettings& s) { s.use_lifting = false; }},
    {"no nogood minimization", [](LearningSettings& s) { s.use_minimization = false; }},
    {"shaving", [](LearningSettings& s) { s.use_shaving = true; }},
    {"a store of four nogoods", [](LearningSettings& s) { s.max_nogoods = 4; }},
};

// The best schedule by enumeration: its value and start times.
struct Known {
  double value = -std::numeric_limits<double>::infinity();
  std::vector<int> start;
};

Known enumerate_best(const InstanceData& d, double rate) {
  Known best;
  Enumerator(d, rate).each([&](const std::vector<int>& finish, double value) {
    if (value <= best.value) return;
    best.value = value;
    best.start.assign(finish.size(), 0);
    for (std::size_t i = 0; i < finish.size(); ++i) best.start[i] = finish[i] - d.duration[i];
    // The end starts when the last real activity finishes.
    int end = 0;
    for (std::size_t i = 0; i + 1 < finish.size(); ++i) end = std::max(end, finish[i]);
    best.start.back() = end;
  });
  return best;
}

void expect_checked(const InstanceData& d, double rate, const LearningSearch& w) {
  if (!w.has_incumbent) return;
  const std::vector<int> finish(w.best_finish, w.best_finish + d.activity_count);
  const ScheduleCheck check = check_schedule(d, finish, rate);
  ASSERT_TRUE(check.feasible()) << check.violations.front();
  EXPECT_EQ(check.npv, w.best_npv);
}

bool close(double a, double b) { return std::abs(a - b) <= 1e-9 * std::max(1.0, std::abs(b)); }

TEST(LearningBruteForce, EverySwitchMatchesEnumerationAndNeverCutsTheOptimumOff) {
  std::mt19937 rng(20261208);
  auto w = std::make_unique<LearningSearch>();  // reused, as the batch runner reuses its own
  const double rates[] = {0.005, 0.01, 0.05, 0.1};
  int infeasible = 0, tight = 0, loose = 0, conflicts = 0, restarted = 0, networked = 0,
      repriced = 0;
  for (int round = 0; round < 400; ++round) {
    // Enumeration grows fast with the deadline: the loosest deadlines go to
    // the smaller instances.
    const int real = round % 5 == 3 ? 3 + round % 3 : 3 + round % 5;
    InstanceData d = random_instance(rng, real, round % 11 == 0 ? 1000 : 1);
    const int shortest = feasible_makespan(d);
    int total = 0;
    for (int dur : d.duration) total += dur;
    switch (round % 5) {
      case 0: d.deadline = shortest; break;
      case 1: d.deadline = shortest + 1; break;
      case 2: d.deadline = std::max(1, shortest - 1); break;  // no schedule
      case 3: d.deadline = total; break;
      default:
        d.deadline = shortest + std::uniform_int_distribution<int>(0, total - shortest)(rng);
    }
    const double rate = rates[round / 5 % 4];
    const Known known = enumerate_best(d, rate);
    const bool feasible = !std::isinf(known.value);
    infeasible += !feasible;
    tight += d.deadline <= shortest + 1;
    loose += d.deadline == total;
    SCOPED_TRACE("round " + std::to_string(round));
    for (const LearningVariant& v : LEARNING_VARIANTS) {
      SCOPED_TRACE(v.name);
      LearningSettings& s = w->settings;
      s = {};
      if (feasible) {
        s.debug_start = known.start.data();
        s.debug_value = known.value;
      }
      v.adjust(s);
      begin_learning(*w, d, rate, {}, nullptr);
      continue_learning(*w, {});
      ASSERT_TRUE(w->complete);
      EXPECT_EQ(w->debug_faults, 0) << "first wrong prune at trail entry " << w->debug_first_fault;
      ASSERT_EQ(w->has_incumbent, feasible);
      if (!feasible) continue;
      EXPECT_TRUE(close(w->best_npv, known.value)) << w->best_npv << " vs " << known.value;
      expect_checked(d, rate, *w);
      conflicts += w->conflicts > 0;
      restarted += w->restarts > 0;
      // Settled by the network bound of the root: its schedule was the best.
      networked += w->root_networked && close(w->root_network, w->best_npv);
      repriced += w->root_pricings > 1;
    }
  }
  // The mix is wide enough to mean something.
  EXPECT_GT(infeasible, 50);
  EXPECT_GT(tight, 150);
  EXPECT_GT(loose, 50);
  EXPECT_GT(conflicts, 1000);
  EXPECT_GT(restarted, 100);
  EXPECT_GT(networked, 1000);
  EXPECT_GT(repriced, 100);
}

// A stopped search reports the largest value a schedule it has not ruled
// out could have; tightened by the pair and network bounds, and then by
// resource prices at the root, it must still be at least the optimum, and
// each never above the one before.
TEST(LearningBruteForce, AStoppedSearchNeverReportsABoundBelowTheOptimum) {
  std::mt19937 rng(20261209);
  auto w = std::make_unique<LearningSearch>();
  int stopped = 0, tighter = 0, priced_tighter = 0;
  for (int round = 0; round < 150; ++round) {
    InstanceData d = random_instance(rng, 3 + round % 4, round % 7 == 0 ? 1000 : 1);
    const int shortest = feasible_makespan(d);
    int total = 0;
    for (int dur : d.duration) total += dur;
    d.deadline = round % 2 == 0 ? total : shortest + round % 3;  // wide and narrow windows
    const double rate = round % 3 == 0 ? 0.1 : 0.01;
    const Known known = enumerate_best(d, rate);
    SCOPED_TRACE("round " + std::to_string(round));
    for (const std::int64_t nodes : {2, 6, 20}) {
      w->settings = {};
      begin_learning(*w, d, rate, {}, nullptr);
      if (continue_learning(*w, {{}, nodes}) != SearchEnd::node_limit) continue;
      ++stopped;
      const double plain = learning_open_bound(*w);
      const double tight = learning_open_bound(*w, true);
      const double margin = 1e-9 * std::max(1.0, std::abs(known.value));
      EXPECT_GE(tight, known.value - margin);
      EXPECT_LE(tight, plain);
      tighter += tight < plain - 1e-9;
      price_stopped_root(*w, {});
      const double priced = learning_open_bound(*w, true);
      EXPECT_GE(priced, known.value - margin);
      EXPECT_LE(priced, tight + margin);
      priced_tighter += priced < tight - 1e-9;
    }
  }
  EXPECT_GT(stopped, 200);
  EXPECT_GT(tighter, 150);
  EXPECT_GT(priced_tighter, 20);
}

// Without a first schedule the engine starts the search where the shortest
// schedule the heuristics reached (past the deadline) has its activities;
// those starts only order the branchings, so the search stays exact.
TEST(LearningBruteForce, StartsSeededFromALateScheduleKeepTheSearchExact) {
  std::mt19937 rng(20261210);
  auto w = std::make_unique<LearningSearch>();
  int seeded = 0;
  for (int round = 0; round < 120; ++round) {
    InstanceData d = random_instance(rng, 3 + round % 4, 1);
    d.deadline = feasible_makespan(d) + round % 2;
    const Known known = enumerate_best(d, 0.01);
    SCOPED_TRACE("round " + std::to_string(round));
    ASSERT_FALSE(std::isinf(known.value));
    // The best schedule moved later by one or two periods.
    std::vector<int> late(known.start.size());
    for (std::size_t i = 0; i < late.size(); ++i)
      late[i] = known.start[i] + d.duration[i] + 1 + round % 2;
    w->settings = {};
    begin_learning(*w, d, 0.01, {}, nullptr);
    seed_phases(*w, late);
    for (int i = 1; i < w->problem.end_activity; ++i) seeded += w->saved_start[i] >= 0;
    continue_learning(*w, {});
    ASSERT_TRUE(w->complete);
    ASSERT_TRUE(w->has_incumbent);
    EXPECT_TRUE(close(w->best_npv, known.value)) << w->best_npv << " vs " << known.value;
    expect_checked(d, 0.01, *w);
  }
  EXPECT_GT(seeded, 100);
}

// The watch on the known schedule is what the test above relies on: a nogood
// that forbids the optimum's start of one activity must be reported as the
// wrong prune it is, and the search then misses the optimum.
TEST(LearningBruteForce, AnUnsoundNogoodIsCaught) {
  std::mt19937 rng(77);
  auto w = std::make_unique<LearningSearch>();
  int caught = 0, missed_optimum = 0;
  for (int round = 0; round < 40; ++round) {
    InstanceData d = random_instance(rng, 5, 1);
    d.deadline = feasible_makespan(d) + round % 3;
    const double rate = 0.05;
    const Known known = enumerate_best(d, rate);
    const int victim = 1 + round % 5;
    w->settings = {};
    w->settings.debug_start = known.start.data();
    w->settings.debug_value = known.value;
    begin_learning(*w, d, rate, {}, nullptr);
    const int at = known.start[static_cast<std::size_t>(victim)];
    add_nogood(*w, {lower_lit(victim, at), upper_lit(victim, at)});
    continue_learning(*w, {});
    caught += w->debug_faults > 0;
    missed_optimum += !w->has_incumbent || w->best_npv < known.value - 1e-9;
    // Whenever the optimum was missed, the watch said so.
    if (!w->has_incumbent || w->best_npv < known.value - 1e-9) {
      EXPECT_GT(w->debug_faults, 0);
    }
  }
  EXPECT_GT(missed_optimum, 10);
  EXPECT_GE(caught, missed_optimum);
}

// The network bound is the exact best value of the network with resources
// aside: equal to enumeration without resources (capacities raised out of
// reach), and with resource prices from the root never below the optimum.
TEST(LearningBruteForce, NetworkBoundIsExactAndPricesKeepItABound) {
  std::mt19937 rng(4242);
  auto w = std::make_unique<LearningSearch>();
  int priced_below_plain = 0;
  for (int round = 0; round < 150; ++round) {
    InstanceData d = random_instance(rng, 3 + round % 4, 1);
    const int shortest = feasible_makespan(d);
    d.deadline = shortest + round % 5;
    const double rate = 0.05;
    const Known known = enumerate_best(d, rate);
    InstanceData free = d;
    for (int& c : free.capacity) c = 1000;
    const Known unlimited = enumerate_best(free, rate);
    SCOPED_TRACE("round " + std::to_string(round));
    w->settings = {};
    begin_learning(*w, d, rate, {}, nullptr);
    ASSERT_TRUE(propagate_root_arcs(*w));
    const double plain = network_bound(*w, w->lower, w->upper);
    EXPECT_NEAR(plain, unlimited.value, 1e-9 * std::max(1.0, std::abs(unlimited.value)));
    if (std::isinf(known.value)) continue;
    w->has_incumbent = true;
    w->best_npv = known.value - 1.0;  // the step size aims below the optimum
    price_resources(*w, 60);
    EXPECT_GE(w->root_lagrangian, known.value - 1e-9 * std::max(1.0, std::abs(known.value)));
    priced_below_plain += w->root_lagrangian < plain - 1e-9;
  }
  EXPECT_GT(priced_below_plain, 20);  // the prices do tighten the bound
}

// The arcs narrow cut windows as propagation would; false when one empties.
bool narrow_by_arcs(LearningSearch& w) {
  const WindowProblem& p = w.problem;
  const int n = p.activity_count;
  for (int x = 0; x < n; ++x)
    for (int e = 0, i = p.order[x]; e < p.succ_count[i]; ++e)
      w.lower[p.succ[i][e]] = std::max(w.lower[p.succ[i][e]], w.lower[i] + p.duration[i]);
  for (int x = n - 1; x >= 0; --x)
    for (int e = 0, i = p.order[x]; e < p.succ_count[i]; ++e)
      w.upper[i] = std::min(w.upper[i], w.upper[p.succ[i][e]] - p.duration[i]);
  for (int i = 0; i < n; ++i)
    if (w.lower[i] > w.upper[i]) return false;
  return true;
}

// The arc prices of the root's flow split the network bound by activity: at
// the root they give the network bound itself, in any narrower windows at
// least the network bound of those windows (a relaxation of it), and with
// resource prices at least the optimum wherever the windows hold it.
TEST(LearningBruteForce, ArcPricesBoundEveryNarrowerWindow) {
  std::mt19937 rng(9090);
  auto w = std::make_unique<LearningSearch>();
  int windows = 0, above = 0;
  for (int round = 0; round < 150; ++round) {
    InstanceData d = random_instance(rng, 3 + round % 4, round % 5 == 0 ? 1000 : 1);
    int total = 0;
    for (int dur : d.duration) total += dur;
    d.deadline = feasible_makespan(d) + round % 3 * (total / 4);
    const double rate = 0.05;
    const Known known = enumerate_best(d, rate);
    SCOPED_TRACE("round " + std::to_string(round));
    w->settings = {};
    begin_learning(*w, d, rate, {}, nullptr);
    ASSERT_TRUE(propagate_root_arcs(*w));
    if (!propagate(*w)) continue;  // the windows as the root's search has them
    const double tolerance = 1e-9 * std::max(1.0, std::abs(known.value));
    for (const bool priced : {false, true}) {
      if (priced) {
        if (std::isinf(known.value)) break;
        w->has_incumbent = true;
        w->best_npv = known.value - 1.0;
        price_resources(*w, 30);
      }
      const double* prices = priced ? w->prices.data() : nullptr;
      const double root = network_bound(*w, w->lower, w->upper, prices);
      price_arcs(*w, prices);
      ASSERT_TRUE(w->arcs_priced);
      EXPECT_NEAR(arc_priced_bound(*w), root, tolerance);
      const int n = d.activity_count;
      const std::vector<int> lower(w->lower, w->lower + n), upper(w->upper, w->upper + n);
      for (int trial = 0; trial < 20; ++trial) {
        // Each window cut to a random part of itself; every fifth trial
        // keeps the optimum inside.
        const bool keep = trial % 5 == 0 && !std::isinf(known.value);
        for (int i = 1; i + 1 < n; ++i) {
          std::uniform_int_distribution<int> pick(lower[i], upper[i]);
          int a = pick(rng), b = pick(rng);
          if (a > b) std::swap(a, b);
          if (keep) {
            a = std::min(a, known.start[i]);
            b = std::max(b, known.start[i]);
          }
          w->lower[i] = a;
          w->upper[i] = b;
        }
        if (!narrow_by_arcs(*w)) continue;
        const double bound = arc_priced_bound(*w);
        EXPECT_GE(bound, network_bound(*w, w->lower, w->upper, prices) - tolerance);
        if (keep) {
          EXPECT_GE(bound, known.value - tolerance);
        }
        ++windows;
        above += bound > network_bound(*w, w->lower, w->upper, prices) + tolerance;
      }
      std::copy(lower.begin(), lower.end(), w->lower);
      std::copy(upper.begin(), upper.end(), w->upper);
    }
  }
  EXPECT_GT(windows, 3000);
  EXPECT_GT(above, 200);  // the relaxation is not the network bound itself
}

// The ascent reaches the flow's network bound in any windows that hold their
// arcs, whatever schedule the last call left it to start from: narrower
// and wider windows in turn, on instances of up to 40 activities with tight
// and loose deadlines and large cash flows, and its schedule lies inside the
// windows and keeps every arc; its prices bound those windows as tightly
// and every narrower window as well.
TEST(LearningBruteForce, AscentReachesTheFlowBoundFromAnyWarmStart) {
  std::mt19937 rng(4711), cut(815);
  auto w = std::make_unique<LearningSearch>();
  int windows = 0, moved = 0, narrowed = 0;
  for (int round = 0; round < 120; ++round) {
    InstanceData d = random_instance(rng, 4 + round % 37, round % 5 == 0 ? 1000 : 1);
    int total = 0;
    for (int dur : d.duration) total += dur;
    // From half the durations' sum (too short for some) to all of it.
    d.deadline = total * (2 + round % 3) / 4;
    SCOPED_TRACE("round " + std::to_string(round));
    w->settings = {};
    begin_learning(*w, d, 0.01 + 0.02 * (round % 3), {}, nullptr);
    if (!propagate_root_arcs(*w)) continue;
    const WindowProblem& p = w->problem;
    const int n = d.activity_count;
    const std::vector<int> lower(w->lower, w->lower + n), upper(w->upper, w->upper + n);
    for (int trial = 0; trial < 40; ++trial) {
      // Every other trial the root's windows, the rest cut at random.
      for (int i = 1; i + 1 < n; ++i) {
        std::uniform_int_distribution<int> pick(lower[i], upper[i]);
        int a = pick(rng), b = pick(rng);
        if (a > b) std::swap(a, b);
        w->lower[i] = trial % 2 == 0 ? lower[i] : a;
        w->upper[i] = trial % 2 == 0 ? upper[i] : b;
      }
      if (!narrow_by_arcs(*w)) continue;
      const double flow = network_bound(*w, w->lower, w->upper);
      const std::int64_t steps = w->ascent_steps;
      const double ascent = ascent_network_bound(*w, w->lower, w->upper, trial % 3 == 0 ? 1 : 0);
      moved += w->ascent_steps > steps;
      EXPECT_NEAR(ascent, flow, 1e-9 * std::max(1.0, std::abs(flow)));
      // Asked again in the same windows, it keeps its bound without a step.
      EXPECT_EQ(ascent_network_bound(*w, w->lower, w->upper, trial % 3 == 0 ? 1 : 0), ascent);
      EXPECT_GE(ascent, flow - 1e-12 * std::max(1.0, std::abs(flow)));
      std::vector<int> start(w->network_start, w->network_start + n);
      start[static_cast<std::size_t>(n - 1)] = 0;
      for (int i = 1; i + 1 < n; ++i) {
        EXPECT_GE(start[static_cast<std::size_t>(i)], w->lower[i]);
        EXPECT_LE(start[static_cast<std::size_t>(i)], w->upper[i]);
        for (int e = 0; e < p.succ_count[i]; ++e)
          if (p.succ[i][e] + 1 < n) {
            EXPECT_GE(start[static_cast<std::size_t>(p.succ[i][e])],
                      start[static_cast<std::size_t>(i)] + p.duration[i]);
          }
      }
      // Its prices bound these windows as tightly as the flow, and bound
      // every narrower window too (they are what narrows the nodes).
      const int slot = trial % 3 == 0 ? 1 : 0;
      const double* price = ascent_prices(*w, slot);
      const double rounding = w->ascent[slot].price_rounding;
      const double priced = priced_window_bound(*w, price, rounding, w->lower, w->upper);
      EXPECT_NEAR(priced, flow, 1e-9 * std::max(1.0, std::abs(flow)));
      EXPECT_GE(priced, flow - 1e-12 * std::max(1.0, std::abs(flow)));
      for (int i = 1; i + 1 < n; ++i) {
        std::uniform_int_distribution<int> pick(w->lower[i], w->upper[i]);
        const int a = pick(cut), b = pick(cut);
        w->lower[i] = std::min(a, b);
        w->upper[i] = std::max(a, b);
      }
      if (narrow_by_arcs(*w)) {
        const double narrower = network_bound(*w, w->lower, w->upper);
        EXPECT_GE(priced_window_bound(*w, price, rounding, w->lower, w->upper),
                  narrower - 1e-12 * std::max(1.0, std::abs(narrower)));
        ++narrowed;
      }
      ++windows;
    }
  }
  EXPECT_GT(windows, 1500);
  EXPECT_GT(moved, 600);  // the warm starts do have to move
  EXPECT_GT(narrowed, 300);
}

// The pair orders and the time-table look only at what moved since their
// last pass and keep the profile between passes; wherever the search stops
// after propagating, a pass over everything from scratch must find nothing
// to move: every slot within capacity, the kept profile the compulsory
// parts' own, every activity's run from either end of its window fitting
// beside the others' parts, and every pair left one order settled.
void expect_full_fixed_point(const LearningSearch& w) {
  const WindowProblem& p = w.problem;
  const int n = p.activity_count;
  const int slots = p.deadline + 1;
  std::vector<int> load(static_cast<std::size_t>(slots * p.resource_count), 0);
  std::vector<Packed> packed(static_cast<std::size_t>(slots), 0);
  std::vector<int> lo(static_cast<std::size_t>(n)), hi(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    lo[i] = w.upper[i];
    hi[i] = p.uses_resources[i] ? std::max(lo[i], w.lower[i] + p.duration[i]) : lo[i];
    for (int t = lo[i]; t < hi[i]; ++t) {
      packed[t] += p.packed_demand[i];
      for (int k = 0; k < p.resource_count; ++k) load[t * p.resource_count + k] += p.demand[i][k];
    }
  }
  for (int t = 0; t < slots; ++t) {
    ASSERT_EQ(w.table[static_cast<std::size_t>(t)], packed[t]) << "kept profile, slot " << t;
    for (int k = 0; k < p.resource_count; ++k)
      ASSERT_LE(load[t * p.resource_count + k], p.capacity[k]) << "slot " << t;
  }
  for (int i = 0; i < n; ++i) {
    if (!p.uses_resources[i] || w.lower[i] == w.upper[i]) continue;
    for (const int s : {w.lower[i], w.upper[i]})
      for (int t = s; t < s + p.duration[i]; ++t)
        for (int k = 0; k < p.resource_count; ++k) {
          const int own = lo[i] <= t && t < hi[i] ? p.demand[i][k] : 0;
          ASSERT_LE(load[t * p.resource_count + k] - own + p.demand[i][k], p.capacity[k])
              << "activity " << i << " from " << s << ", slot " << t;
        }
  }
  if (!w.settings.use_pair_orders) return;
  for (int i = 1; i < n; ++i)
    for_each_member(p.incompatible[i], [&](int j) {
      const bool i_first = w.lower[i] + p.duration[i] <= w.upper[j];
      const bool j_first = w.lower[j] + p.duration[j] <= w.upper[i];
      ASSERT_TRUE(i_first || j_first) << i << " and " << j;
      if (i_first && !j_first) {
        ASSERT_GE(w.lower[j], w.lower[i] + p.duration[i]) << i << " before " << j;
        ASSERT_LE(w.upper[i], w.upper[j] - p.duration[i]) << i << " before " << j;
      }
    });
}

TEST(LearningFixedPoint, EveryNodeIsWhereAFullPassLeavesIt) {
  std::mt19937 rng(20261209);
  auto w = std::make_unique<LearningSearch>();
  std::int64_t nodes = 0, jumps = 0;
  for (int round = 0; round < 48; ++round) {
    // j30 rows at their minimum makespan, and random ones at deadlines from
    // a third to two thirds of their summed durations.
    InstanceData d;
    if (round < 8) {
      const int rows[] = {61, 62, 141, 143, 221, 13, 29, 45};
      ASSERT_TRUE(
          read_instance_files("j30_", rows[round], 0, d, std::string(RCPSPDC_TEST_DATA) + "/j30")
              .ok());
      draw_cash_flows(d, rng, 60);
    } else {
      d = random_instance(rng, 10 + round % 8);
      int total = 0;
      for (const int duration : d.duration) total += duration;
      d.deadline = total * (33 + round % 34) / 100;
    }
    SCOPED_TRACE("round " + std::to_string(round));
    w->settings = {};
    if (round % 4 == 1) w->settings.use_pair_orders = false;
    if (round % 4 == 2) w->settings.restart_unit = w->settings.first_restart_unit = 1;
    begin_learning(*w, d, 0.01, {}, nullptr);
    // A node limit stops the search right after a node's propagation.
    for (int step = 0; step < (round < 8 ? 4000 : 1000) && !w->complete; ++step) {
      const std::int64_t conflicts = w->conflicts;
      if (continue_learning(*w, {{}, w->created_nodes + 1}) == SearchEnd::complete) break;
      jumps += w->conflicts > conflicts;
      ++nodes;
      expect_full_fixed_point(*w);
      if (HasFatalFailure()) return;
    }
  }
  EXPECT_GT(nodes, 20000);
  EXPECT_GT(jumps, 5000);
}

// Every row with a proven optimum: a search that completes must reach it,
// one that a node limit stops must not claim more.
TEST(LearningReference, PattersonRowsReachTheProvenOptimum) {
  LearningEngine engine;  // as the programs run it: heuristics, probe, raise
  int solved = 0, rows = 0;
  for (const ReferenceRow& row : reference_rows()) {
    if (!row.readable || !row.optimal) continue;
    SCOPED_TRACE("pat" + std::to_string(row.number) + " offset " + std::to_string(row.offset));
    SearchRequest request;
    request.instance = &row.instance;
    request.interest_rate = row.rate;
    request.limits.node_limit = 30000;
    KeptResult kept;
    engine.solve(request, kept);
    const SearchResult& r = *kept.result;
    ++rows;
    if (r.has_incumbent) {
      const ScheduleCheck check = check_schedule(row.instance, r.finish, row.rate);
      ASSERT_TRUE(check.feasible()) << check.violations.front();
      EXPECT_EQ(check.npv, r.value);
    }
    EXPECT_GE(r.bound, row.npv - 1e-6);
    if (r.end != SearchEnd::complete) {
      EXPECT_EQ(r.end, SearchEnd::node_limit);
      if (r.has_incumbent) {
        EXPECT_LE(r.value, row.npv + 1e-6);
      }
      continue;
    }
    ASSERT_TRUE(r.has_incumbent);
    EXPECT_NEAR(r.value, row.npv, 1e-6);
    ++solved;
  }
  EXPECT_EQ(rows, 215);
  EXPECT_GE(solved, 200);
}

}  // namespace
}  // namespace rcpspdc::test
