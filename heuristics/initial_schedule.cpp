#include "heuristics/initial_schedule.hpp"

#include <algorithm>
#include <random>

#include "heuristics/npv_shifts.hpp"
#include "heuristics/schedule_passes.hpp"
#include "model/npv.hpp"

namespace rcpspdc {

namespace {

// How the next activity list is drawn.
enum ListRule : int {
  LATEST_FINISH = 0,  // smallest latest finish first
  MINIMUM_SLACK = 1,  // smallest latest minus earliest finish first
  SAMPLED = 2,        // latest finish, regret-biased random choice
};

// How good a decoded list is: shorter first while past the deadline, then
// (all within it counting as the deadline) higher value.
struct Fitness {
  int makespan = 0;    // the schedule's makespan, or the deadline when within it
  double value = 0.0;  // best value of its improved forms when within the deadline
};

bool better(const Fitness& a, const Fitness& b) {
  if (a.makespan != b.makespan) return a.makespan < b.makespan;
  return a.value > b.value;
}

constexpr int POPULATION = 60;       // lists kept for crossover
constexpr int MUTATION_PERCENT = 5;  // chance of each neighbour swap

struct HeuristicRun {
  const InstanceData* instance = nullptr;
  double interest_rate = 0.0;
  int budget = 0;                // generations allowed; shrinks once a schedule meets the deadline
  int value_budget = 0;          // generations for the value once one does
  ScheduleNetwork net;           // the instance in flat tables
  std::vector<double> discount;  // e^(-rate * t) up to the deadline
  WorkClock clock;               // the time budget, read by generations done
  std::int64_t generation_work = 0;  // work of one generation
  LoadProfile profile;               // empty between passes
  PassScratch pass;                  // scratch of the passes
  ShiftScratch shift;                // scratch of the chain shifts
  std::vector<int> list;             // the activity list of this generation
  std::vector<int> finish;           // its schedule
  std::vector<int> trial;            // a copy being improved for value
  std::vector<int> waiting;          // unlisted predecessors per activity
  std::vector<int> eligible;         // activities whose predecessors are all listed
  std::vector<double> weight;        // sampling weight per eligible activity
  std::vector<char> listed;          // activities already in the list being bred
  std::vector<int> population;       // [member * activity_count + position], decoded lists
  std::vector<Fitness> fitness;      // per member
  int members = 0;                   // members filled so far
  int stale = 0;                     // children since the population gained a new best member
  Fitness best_member;               // the best fitness since the population was drawn
  std::mt19937 generator;            // for the sampled lists and the breeding
  InitialSchedule result;            // best schedule so far
};

// Counts `generations` more; true once the time budget is spent.
bool spend(HeuristicRun& run, int generations) {
  run.result.generations += generations;
  return run.clock.spent_after(generations * run.generation_work);
}

// A generation passes over every activity's periods for every resource type.
std::int64_t generation_work(const ScheduleNetwork& net) {
  std::int64_t periods = 0;
  for (const int d : net.duration) periods += d;
  return net.activity_count + static_cast<std::int64_t>(net.succ.size()) +
         periods * std::max(net.resource_count, 1);
}

int priority(const ScheduleNetwork& net, int rule, int i) {
  if (rule == MINIMUM_SLACK) return net.latest_finish[i] - net.earliest_finish[i];
  return net.latest_finish[i];
}

// A uniform double in [0, 1) from the generator's own output, so the draw is
// the same under every standard library.
double uniform(std::mt19937& generator) {
  return static_cast<double>(generator()) * (1.0 / 4294967296.0);
}

// A precedence-feasible list: each step takes the eligible activity with the
// best priority (lowest index on ties), or for sampled lists one drawn with
// weight (regret + 1)^2, the regret being how much better than the worst
// eligible priority it is.
void build_list(HeuristicRun& run, int rule) {
  const ScheduleNetwork& net = run.net;
  const int n = net.activity_count;
  for (int i = 0; i < n; ++i) run.waiting[i] = net.pred_begin[i + 1] - net.pred_begin[i];
  run.eligible.clear();
  for (int i = 0; i < n; ++i)
    if (run.waiting[i] == 0) run.eligible.push_back(i);
  const int key_rule = rule == SAMPLED ? LATEST_FINISH : rule;
  for (int placed = 0; placed < n; ++placed) {
    std::size_t pick = 0;
    if (rule == SAMPLED && run.eligible.size() > 1) {
      int worst = priority(net, key_rule, run.eligible[0]);
      for (int e : run.eligible) worst = std::max(worst, priority(net, key_rule, e));
      double total = 0.0;
      for (std::size_t j = 0; j < run.eligible.size(); ++j) {
        const double regret = worst - priority(net, key_rule, run.eligible[j]) + 1.0;
        run.weight[j] = regret * regret;
        total += run.weight[j];
      }
      double draw = uniform(run.generator) * total;
      while (pick + 1 < run.eligible.size() && draw >= run.weight[pick])
        draw -= run.weight[pick++];
    } else {
      for (std::size_t j = 1; j < run.eligible.size(); ++j) {
        const int a = run.eligible[j], b = run.eligible[pick];
        const int pa = priority(net, key_rule, a), pb = priority(net, key_rule, b);
        if (pa < pb || (pa == pb && a < b)) pick = j;
      }
    }
    const int i = run.eligible[pick];
    run.eligible[pick] = run.eligible.back();
    run.eligible.pop_back();
    run.list[placed] = i;
    for (int e = net.succ_begin[i]; e < net.succ_begin[i + 1]; ++e)
      if (--run.waiting[net.succ[e]] == 0) run.eligible.push_back(net.succ[e]);
  }
}

// The dummy end finishes with its last predecessor (it costs nothing where it is).
void settle_end(const ScheduleNetwork& net, std::vector<int>& finish) {
  const int end = net.activity_count - 1;
  if (end <= 0 || net.succ_begin[end + 1] != net.succ_begin[end]) return;
  int f = 0;
  for (int e = net.pred_begin[end]; e < net.pred_begin[end + 1]; ++e)
    f = std::max(f, finish[net.pred[e]]);
  finish[end] = f;
}

double consider(HeuristicRun& run, std::vector<int>& finish) {
  settle_end(run.net, finish);
  const double value = schedule_value(run.net.activity_count, run.instance->cash_flow.data(),
                                      finish.data(), run.discount.data());
  // The first schedule within the deadline: from here on the value has its
  // own budget (counted from now when the search for it took longer).
  if (!run.result.found && run.result.generations >= run.value_budget)
    run.budget = run.result.generations + run.value_budget;
  else if (!run.result.found)
    run.budget = run.value_budget;
  if (!run.result.found || value > run.result.npv) {
    run.result.found = true;
    run.result.npv = value;
    run.result.finish = finish;
  }
  return value;
}

// A schedule within the deadline: itself, and two versions improved by chain
// shifts, one from its left-justified form and one from its form pushed
// right against the deadline (which suits the negative cash flows). Returns
// the best value of the three.
double offer(HeuristicRun& run) {
  double best = consider(run, run.finish);
  for (int variant = 0; variant < 2 && run.result.generations < run.budget && !run.clock.spent();
       ++variant) {
    run.trial = run.finish;
    if (variant == 1) {
      justify_right(run.net, run.profile, run.pass, run.net.deadline, run.trial);
      spend(run, 1);
    }
    const int left = run.budget - run.result.generations;
    if (left <= 0) break;
    const ShiftLimits limits{left, &run.clock, run.generation_work};
    run.result.generations +=
        improve_by_shifts(run.net, run.profile, run.shift, run.interest_rate, limits, run.trial);
    best = std::max(best, consider(run, run.trial));
  }
  return best;
}

// Schedules run.list: the forward pass, then forward-backward justification
// while the schedule is past the deadline and gets shorter, then the value
// passes when it is within the deadline. The list becomes the order of the
// last forward pass, so it describes the schedule found.
Fitness decode(HeuristicRun& run) {
  const ScheduleNetwork& net = run.net;
  Fitness fit;
  fit.makespan = forward_pass(net, run.profile, run.list, run.finish);
  spend(run, 1);
  while (fit.makespan > net.deadline && run.result.generations + 2 <= run.budget &&
         !run.clock.spent()) {
    justify_right(net, run.profile, run.pass, fit.makespan, run.finish);
    const int shorter = justify_left(net, run.profile, run.pass, run.finish);
    spend(run, 2);
    run.list = run.pass.list;
    if (shorter >= fit.makespan) break;
    fit.makespan = shorter;
  }
  if (fit.makespan <= net.deadline) {
    fit.makespan = net.deadline;  // all within the deadline compare by value
    fit.value = offer(run);
  }
  return fit;
}

int draw(std::mt19937& generator, int below) {
  return static_cast<int>(generator() % static_cast<std::uint32_t>(below));
}

// The better of two members drawn at random.
int tournament(HeuristicRun& run) {
  const int a = draw(run.generator, run.members), b = draw(run.generator, run.members);
  return better(run.fitness[static_cast<std::size_t>(a)], run.fitness[static_cast<std::size_t>(b)])
             ? a
             : b;
}

// One-point crossover of two precedence-feasible lists (the mother's head,
// then the rest in the father's order) and swaps of neighbours that no arc
// joins; both keep the list precedence-feasible.
void breed(HeuristicRun& run, int mother, int father) {
  const int n = run.net.activity_count;
  const int* m = &run.population[static_cast<std::size_t>(mother * n)];
  const int* f = &run.population[static_cast<std::size_t>(father * n)];
  const int cut = 1 + draw(run.generator, std::max(1, n - 1));
  std::fill(run.listed.begin(), run.listed.end(), 0);
  int at = 0;
  for (; at < cut; ++at) {
    run.list[at] = m[at];
    run.listed[m[at]] = 1;
  }
  for (int j = 0; j < n; ++j)
    if (!run.listed[f[j]]) run.list[at++] = f[j];
  for (int j = 0; j + 1 < n; ++j) {
    if (draw(run.generator, 100) >= MUTATION_PERCENT) continue;
    const int a = run.list[j], b = run.list[j + 1];
    bool joined = false;
    for (int e = run.net.succ_begin[a]; e < run.net.succ_begin[a + 1]; ++e)
      joined = joined || run.net.succ[e] == b;
    if (!joined) std::swap(run.list[j], run.list[j + 1]);
  }
}

}  // namespace

InitialSchedule initial_schedule(const InstanceData& instance, double interest_rate,
                                 const HeuristicSettings& settings) {
  HeuristicRun run;
  run.instance = &instance;
  run.interest_rate = interest_rate;
  run.budget = std::max(settings.schedule_budget, settings.search_budget);
  run.value_budget = settings.schedule_budget;
  run.net = build_network(instance);
  if (!run.net.usable) return run.result;
  const ScheduleNetwork& net = run.net;
  fill_discount_table(run.discount, interest_rate, net.deadline);
  run.clock = WorkClock(settings.time);
  run.generation_work = generation_work(net);
  const auto n = static_cast<std::size_t>(net.activity_count);
  init_profile(net, run.profile);
  init_scratch(net, run.pass);
  init_shift_scratch(instance, run.shift);
  run.list.assign(n, 0);
  run.finish.assign(n, 0);
  run.waiting.assign(n, 0);
  run.eligible.reserve(n);
  run.weight.assign(n, 0.0);
  run.generator.seed(settings.seed);

  run.listed.assign(n, 0);
  run.population.assign(n * POPULATION, 0);
  run.fitness.assign(POPULATION, Fitness{});

  // The first members from the priority rules and sampling, then children of
  // two tournament winners, each replacing the worst member unless worse.
  // While no schedule meets the deadline, a population that has bred no
  // better member for a while is drawn anew from scratch: a converged
  // population rarely closes the last period, while fresh samples converge
  // elsewhere (on the hardest j30 instances this finds a schedule in about
  // half the seeds where breeding on finds none).
  while (run.result.generations < run.budget && !run.clock.spent()) {
    if (!run.result.found && run.members == POPULATION && run.stale >= settings.restart_after) {
      run.members = 0;
      run.stale = 0;
    }
    int slot = run.members;
    const bool filling = run.members < POPULATION;
    if (filling) {
      build_list(run, run.members < 2 ? run.members : SAMPLED);
      ++run.members;
    } else {
      breed(run, tournament(run), tournament(run));
      slot = 0;
      for (int j = 1; j < POPULATION; ++j)
        if (better(run.fitness[static_cast<std::size_t>(slot)],
                   run.fitness[static_cast<std::size_t>(j)]))
          slot = j;
      ++run.stale;
    }
    const Fitness fit = decode(run);
    if (run.members == 1 || better(fit, run.best_member)) {
      run.best_member = fit;
      run.stale = 0;
    }
    if (filling || !better(run.fitness[static_cast<std::size_t>(slot)], fit)) {
      run.fitness[static_cast<std::size_t>(slot)] = fit;
      std::copy(run.list.begin(), run.list.end(),
                run.population.begin() +
                    static_cast<std::ptrdiff_t>(slot) * static_cast<std::ptrdiff_t>(n));
    }
  }
  return run.result;
}

}  // namespace rcpspdc
