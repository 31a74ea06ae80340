// Fuzz target for the readers: the whole input is read as an instance file
// and as a deadline file. An accepted instance must be within every limit the
// solver relies on, have no dangling end, and must load into a model whose
// lists and sets agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "formats/instance_file.hpp"
#include "model/project_model.hpp"

namespace {

using namespace rcpspdc;

void require(bool condition) {
  if (!condition) std::abort();
}

void check_accepted(const InstanceData& d) {
  const int n = d.activity_count;
  const int K = d.resource_count;
  require(n >= 2 && n <= MAX_ACTIVITIES && K >= 0 && K <= MAX_RESOURCES);
  require(static_cast<int>(d.duration.size()) == n && static_cast<int>(d.successors.size()) == n);
  std::int64_t demand_sum[MAX_RESOURCES] = {};
  std::int64_t duration_sum = 0;
  for (int i = 0; i < n; ++i) {
    const auto a = static_cast<std::size_t>(i);
    require(d.duration[a] >= 0 && (d.duration[a] > 0) == (i > 0 && i < n - 1));
    duration_sum += d.duration[a];
    // Dangling ends are closed: only the last lacks a successor.
    require(d.successors[a].empty() == (i == n - 1));
    for (int k = 0; k < K; ++k) demand_sum[k] += d.requirement[a][static_cast<std::size_t>(k)];
    for (int s : d.successors[a]) require(s >= 0 && s < n && s != i);
  }
  require(duration_sum <= MAX_DEADLINE);
  for (int k = 0; k < K; ++k)
    require(d.capacity[static_cast<std::size_t>(k)] >= 0 &&
            d.capacity[static_cast<std::size_t>(k)] <= LANE_LIMIT && demand_sum[k] <= LANE_LIMIT);

  static ProjectModel m;
  InstanceData with_deadline = d;
  with_deadline.deadline = 100;
  load_model(with_deadline, m);
  int arcs = 0;
  for (int i = 0; i < n; ++i) {
    arcs += m.succ_count[i];
    require(m.succ_count[i] == static_cast<int>(d.successors[static_cast<std::size_t>(i)].size()));
    require(set_size(m.succ_set[i]) == m.succ_count[i]);
    require(set_size(m.pred_set[i]) == m.pred_count[i] - (i == 0 ? 1 : 0));
    for (int e = 0; e < m.succ_count[i]; ++e)
      require(set_contains(m.pred_set[m.succ_list[i][e]], i));
  }
  int preds = 0;
  for (int i = 0; i < n; ++i) preds += m.pred_count[i];
  require(preds == arcs + 1 && m.pred_list[0][m.pred_count[0] - 1] == n - 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  InstanceData instance;
  const FileOutcome outcome = parse_instance_text(text, instance);
  if (outcome.ok())
    check_accepted(instance);
  else
    require((outcome.fault == FileFault::too_many || outcome.fault == FileFault::dummies ||
             outcome.fault == FileFault::invalid) &&
            !outcome.message.empty());

  // Instance number and offset come from the input's length, so that the
  // corpus files stay plain deadline files.
  const int number = static_cast<int>(size % 37) - 2;
  const int offset = static_cast<int>((size / 37) % 11) - 5;
  int deadline = -1;
  const FileOutcome read = parse_deadline_text(text, number, offset, deadline);
  if (read.ok())
    require(deadline <= MAX_DEADLINE);
  else
    require(
        (read.fault == FileFault::no_deadline || read.fault == FileFault::deadline_above_limit) &&
        !read.message.empty());
  return 0;
}
