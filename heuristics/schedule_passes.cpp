#include "heuristics/schedule_passes.hpp"

#include <algorithm>
#include <numeric>

#include "model/network.hpp"

namespace rcpspdc {

namespace {

// Demands in one flat row per activity; false when one exceeds its capacity.
bool copy_demands(const InstanceData& instance, ScheduleNetwork& net) {
  const int K = net.resource_count;
  net.demand.assign(static_cast<std::size_t>(net.activity_count * K), 0);
  bool fit = true;
  for (int i = 0; i < net.activity_count; ++i)
    for (int k = 0; k < K; ++k) {
      const int q = instance.requirement[i][k];
      net.demand[i * K + k] = q;
      fit = fit && q <= net.capacity[k];
    }
  return fit;
}

// Successor and predecessor lists as flat rows, successors in file order and
// predecessors in ascending order.
void build_lists(const InstanceData& instance, ScheduleNetwork& net) {
  const int n = net.activity_count;
  net.succ_begin.assign(static_cast<std::size_t>(n) + 1, 0);
  net.pred_begin.assign(static_cast<std::size_t>(n) + 1, 0);
  for (int p = 0; p < n; ++p)
    for (int s : instance.successors[p]) {
      ++net.succ_begin[p + 1];
      ++net.pred_begin[s + 1];
    }
  for (int i = 0; i < n; ++i) {
    net.succ_begin[i + 1] += net.succ_begin[i];
    net.pred_begin[i + 1] += net.pred_begin[i];
  }
  net.succ.resize(static_cast<std::size_t>(net.succ_begin[n]));
  net.pred.resize(static_cast<std::size_t>(net.pred_begin[n]));
  std::vector<int> fill_pred(net.pred_begin.begin(), net.pred_begin.end() - 1);
  for (int p = 0, at = 0; p < n; ++p)
    for (int s : instance.successors[p]) {
      net.succ[at++] = s;
      net.pred[fill_pred[s]++] = p;
    }
}

}  // namespace

ScheduleNetwork build_network(const InstanceData& instance) {
  ScheduleNetwork net;
  const int n = instance.activity_count;
  net.activity_count = n;
  net.resource_count = instance.resource_count;
  net.deadline = instance.deadline;
  net.duration = instance.duration;
  net.capacity = instance.capacity;
  const bool demands_fit = copy_demands(instance, net);
  net.horizon =
      std::max(net.deadline, std::accumulate(net.duration.begin(), net.duration.end(), 0));
  build_lists(instance, net);
  // The lowest numbered ready activity first: the index order whenever the
  // arcs all point forward.
  net.order = topological_order(instance, ReadyRule::lowest_index);
  const bool acyclic = static_cast<int>(net.order.size()) == n;
  if (!acyclic || n == 0) return net;
  net.rank.assign(static_cast<std::size_t>(n), 0);
  for (int r = 0; r < n; ++r) net.rank[net.order[r]] = r;
  net.earliest_finish = earliest_finishes(instance, net.order);
  net.latest_finish = latest_finishes(instance, net.order, net.deadline);
  const int critical = *std::max_element(net.earliest_finish.begin(), net.earliest_finish.end());
  net.usable = demands_fit && critical <= net.deadline;
  return net;
}

void init_profile(const ScheduleNetwork& net, LoadProfile& profile) {
  profile.resource_count = net.resource_count;
  profile.load.assign(
      static_cast<std::size_t>(net.horizon + 1) * static_cast<std::size_t>(net.resource_count), 0);
}

void init_scratch(const ScheduleNetwork& net, PassScratch& scratch) {
  scratch.list.assign(static_cast<std::size_t>(net.activity_count), 0);
}

void occupy(const ScheduleNetwork& net, LoadProfile& profile, int i, int finish, int sign) {
  const int K = net.resource_count;
  const int* q = net.demand.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(K);
  for (int t = finish - net.duration[i] + 1; t <= finish; ++t) {
    int* row = profile.load.data() + static_cast<std::size_t>(t) * static_cast<std::size_t>(K);
    for (int k = 0; k < K; ++k) row[k] += sign * q[k];
  }
}

int first_blocked(const ScheduleNetwork& net, const LoadProfile& profile, int i, int finish) {
  const int K = net.resource_count;
  const int* q = net.demand.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(K);
  const int* cap = net.capacity.data();
  for (int t = finish - net.duration[i] + 1; t <= finish; ++t) {
    const int* row =
        profile.load.data() + static_cast<std::size_t>(t) * static_cast<std::size_t>(K);
    for (int k = 0; k < K; ++k)
      if (row[k] + q[k] > cap[k]) return t;
  }
  return 0;
}

namespace {

// The last (highest) period of i's window that cannot take it, or 0 if it fits.
int last_blocked(const ScheduleNetwork& net, const LoadProfile& profile, int i, int finish) {
  const int K = net.resource_count;
  const int* q = net.demand.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(K);
  const int* cap = net.capacity.data();
  for (int t = finish; t > finish - net.duration[i]; --t) {
    const int* row =
        profile.load.data() + static_cast<std::size_t>(t) * static_cast<std::size_t>(K);
    for (int k = 0; k < K; ++k)
      if (row[k] + q[k] > cap[k]) return t;
  }
  return 0;
}

}  // namespace

int forward_pass(const ScheduleNetwork& net, LoadProfile& profile, const std::vector<int>& list,
                 std::vector<int>& finish) {
  int makespan = 0;
  for (int i : list) {
    const int d = net.duration[i];
    int f = d;
    for (int e = net.pred_begin[i]; e < net.pred_begin[i + 1]; ++e)
      f = std::max(f, finish[net.pred[e]] + d);
    // A blocked period p rules out every start before p.
    for (int p = last_blocked(net, profile, i, f); p != 0; p = last_blocked(net, profile, i, f))
      f = p + d;
    occupy(net, profile, i, f, +1);
    finish[i] = f;
    makespan = std::max(makespan, f);
  }
  for (int i : list) occupy(net, profile, i, finish[i], -1);
  return makespan;
}

int justify_left(const ScheduleNetwork& net, LoadProfile& profile, PassScratch& scratch,
                 std::vector<int>& finish) {
  // Earlier starts first; among equal starts, predecessors first.
  std::vector<int>& list = scratch.list;
  std::copy(net.order.begin(), net.order.end(), list.begin());
  // Sorting on (start, rank) rather than a stable sort, which may allocate.
  std::sort(list.begin(), list.end(), [&](int a, int b) {
    const int sa = finish[a] - net.duration[a], sb = finish[b] - net.duration[b];
    return sa != sb ? sa < sb : net.rank[a] < net.rank[b];
  });
  return forward_pass(net, profile, list, finish);
}

void justify_right(const ScheduleNetwork& net, LoadProfile& profile, PassScratch& scratch,
                   int limit, std::vector<int>& finish) {
  // Later finishes first; among equal finishes, successors first. Every
  // activity placed before i that covers a period of i's old window covered it
  // before too (it only moved later), so the old place stays free and no
  // activity moves earlier.
  std::vector<int>& list = scratch.list;
  std::copy(net.order.begin(), net.order.end(), list.begin());
  std::sort(list.begin(), list.end(), [&](int a, int b) {
    return finish[a] != finish[b] ? finish[a] > finish[b] : net.rank[a] > net.rank[b];
  });
  for (int i : list) {
    int f = limit;
    for (int e = net.succ_begin[i]; e < net.succ_begin[i + 1]; ++e) {
      const int s = net.succ[e];
      f = std::min(f, finish[s] - net.duration[s]);
    }
    if (i == 0) f = 0;
    // A blocked period p rules out every finish at p or later.
    for (int p = first_blocked(net, profile, i, f); p != 0; p = first_blocked(net, profile, i, f))
      f = p - 1;
    occupy(net, profile, i, f, +1);
    finish[i] = f;
  }
  for (int i : list) occupy(net, profile, i, finish[i], -1);
}

}  // namespace rcpspdc
