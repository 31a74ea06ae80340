// What each part of the learning search buys: runs the learning engine, as
// the batch runner runs it (first schedule, probe, raised incumbent), on a
// numbered series with one setting changed, under a node limit, so that the
// counts are the same on every machine, and prints per instance the status,
// created nodes, seconds, value and bound, then how many were proven and how
// many found a schedule. Cash flows are drawn as the batch runner draws them
// (--seed 1, 60 % negative, the instance number mixed into the seed), rate
// 0.01.
//
//   rcpspdc-learning-bench DIR PROBLEM FIRST LAST [options]
//     --offset D      periods added to the makespan (default 0)
//     --nodes N       created nodes per instance (default 100000)
//     --seconds S     and a time limit (default none)
//     --step K        every K-th instance from FIRST (default 1)
//     --no-restarts --no-pair-orders --no-pair-bound --no-lifting
//     --no-narrowing --no-value-impact --no-phase-saving --shaving
//     --no-bound-impact (value impact by the cash flows alone, not by the
//                     node network's prices)
//     --no-node-network (no network bound in the nodes)
//     --network-flow  (that bound by a flow over every start, not by ascent)
//     --no-network-narrowing (no starts removed by the ascent's prices)
//     --prices N --prices-in-nodes --no-arc-prices --no-arc-narrowing --no-reprice
//     --no-shift-dominance
//     --restart-unit N conflicts of the first restart interval (default 100)
//     --first-restart-unit N  the same while no schedule is known (default 300)
//     --max-nogoods N  learnt nogoods kept at most (default 50000)
//     --plain         the search alone, without the heuristics around it
//     --rerun         solve each instance twice, the second time given the
//                     first run's best schedule from the start (is the
//                     incumbent or the bound what a proof waits for?)
//     --seeded-phases the search starts where the heuristics' shortest
//                     schedule past the deadline has its activities
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "check/schedule_check.hpp"
#include "formats/instance_file.hpp"
#include "learning_search/learning_engine.hpp"
#include "model/cash_flows.hpp"
#include "platform/platform.hpp"

int main(int argc, char** argv) {
  using namespace rcpspdc;
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s DIR PROBLEM FIRST LAST [options]\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const std::string problem = argv[2];
  const int first = std::atoi(argv[3]);
  const int last = std::atoi(argv[4]);
  int offset = 0;
  int step = 1;
  std::int64_t nodes = 100000;
  double seconds = 0.0;
  LearningSettings settings;
  bool plain = false;
  bool rerun = false;
  for (int a = 5; a < argc; ++a) {
    const std::string arg = argv[a];
    const char* value = a + 1 < argc ? argv[a + 1] : "0";
    if (arg == "--offset")
      offset = std::atoi(value), ++a;
    else if (arg == "--nodes")
      nodes = std::atoll(value), ++a;
    else if (arg == "--seconds")
      seconds = std::atof(value), ++a;
    else if (arg == "--step")
      step = std::max(1, std::atoi(value)), ++a;
    else if (arg == "--no-restarts")
      settings.use_restarts = false;
    else if (arg == "--no-pair-orders")
      settings.use_pair_orders = false;
    else if (arg == "--no-pair-bound")
      settings.use_pair_bound = false;
    else if (arg == "--no-minimization")
      settings.use_minimization = false;
    else if (arg == "--no-lifting")
      settings.use_lifting = false;
    else if (arg == "--no-narrowing")
      settings.use_objective_narrowing = false;
    else if (arg == "--no-value-impact")
      settings.use_value_impact = false;
    else if (arg == "--no-bound-impact")
      settings.use_bound_impact = false;
    else if (arg == "--shaving")
      settings.use_shaving = true;
    else if (arg == "--no-node-network")
      settings.use_network_bound = false;
    else if (arg == "--no-shift-dominance")
      settings.use_shift_dominance = false;
    else if (arg == "--no-network-narrowing")
      settings.use_network_narrowing = false;
    else if (arg == "--network-flow")
      settings.use_network_ascent = false;
    else if (arg == "--prices")
      settings.price_iterations = std::atoi(value), ++a;
    else if (arg == "--plain")
      plain = true;
    else if (arg == "--no-phase-saving")
      settings.use_phase_saving = false;
    else if (arg == "--no-window-split")
      settings.use_window_split = false;
    else if (arg == "--no-arc-prices")
      settings.use_arc_prices = false;
    else if (arg == "--no-arc-narrowing")
      settings.use_arc_narrowing = false;
    else if (arg == "--prices-in-nodes")
      settings.use_prices_in_nodes = true;
    else if (arg == "--no-reprice")
      settings.reprice_share = 0.0;
    else if (arg == "--seeded-phases")
      settings.use_seeded_phases = true;
    else if (arg == "--restart-unit")
      settings.restart_unit = std::max(1, std::atoi(value)), ++a;
    else if (arg == "--first-restart-unit")
      settings.first_restart_unit = std::max(1, std::atoi(value)), ++a;
    else if (arg == "--max-nogoods")
      settings.max_nogoods = static_cast<std::size_t>(std::max(1LL, std::atoll(value))), ++a;
    else if (arg == "--rerun")
      rerun = true;
    else {
      std::fprintf(stderr, "unknown option %s\n", arg.c_str());
      return 2;
    }
  }
  LearningEngine full(settings);
  LearningSearchEngine plain_engine(settings);
  SearchEngine& engine = plain ? static_cast<SearchEngine&>(plain_engine) : full;
  int count = 0, proven = 0, scheduled = 0;
  std::int64_t created = 0;
  double total = 0.0;
  for (int number = first; number <= last; number += step) {
    InstanceData data;
    if (!read_instance_files(problem, number, offset, data, dir).ok()) continue;
    std::mt19937 generator(instance_seed(1, number));
    draw_cash_flows(data, generator, 60);
    SearchRequest request;
    request.instance = &data;
    request.interest_rate = 0.01;
    request.limits = {TimeBudget::starting_now(seconds), nodes};
    KeptResult kept;
    std::vector<int> known;
    if (rerun) {
      engine.solve(request, kept);
      if (kept.result->has_incumbent) {
        known = kept.result->finish;
        request.first_schedule = &known;
      }
      request.limits.time = TimeBudget::starting_now(seconds);
    }
    const double start = wall_seconds();
    engine.solve(request, kept);
    const double took = wall_seconds() - start;
    const SearchResult& r = *kept.result;
    if (r.has_incumbent &&
        !check_reported_schedule(data, r.finish, r.value, request.interest_rate).empty()) {
      std::printf("%d: schedule check failed\n", number);
      return 1;
    }
    ++count;
    proven += r.end == SearchEnd::complete;
    scheduled += r.has_incumbent;
    created += r.created_nodes;
    total += took;
    std::printf("%d %s %lld %.3f %s %.2f %.2f\n", number,
                r.end == SearchEnd::complete ? "proven" : "stopped",
                static_cast<long long>(r.created_nodes), took,
                r.has_incumbent ? "schedule" : "none", r.value, r.bound);
    std::fflush(stdout);
  }
  std::printf("instances %d, proven %d, with a schedule %d, created nodes %lld, seconds %.1f\n",
              count, proven, scheduled, static_cast<long long>(created), total);
  return 0;
}
