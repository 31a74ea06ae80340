#include "model/project_model.hpp"

namespace rcpspdc {

void begin_model(ProjectModel& m, int activity_count, int resource_count, const int* capacity) {
  m.activity_count = activity_count;
  m.end_activity = activity_count - 1;
  m.resource_count = resource_count;
  m.packed_capacity = pack_amounts(capacity, resource_count);
  m.overflow_mask = overflow_mask_of(resource_count);
  for (int k = 0; k < resource_count; ++k) m.capacity[k] = capacity[k];
  for (int i = activity_count - 1; i >= 0; --i) {
    set_clear(m.pred_set[i]);
    set_clear(m.succ_set[i]);
    m.pred_count[i] = 0;
    m.succ_count[i] = 0;
    m.duration[i] = 0;
    m.packed_demand[i] = 0;
    m.cash_flow[i] = 0;
    m.finish_time[i] = 0;
    for (int k = 0; k < MAX_RESOURCES; ++k) m.requirement[i][k] = 0;
  }
}

void set_activity(ProjectModel& m, int i, int duration, const int* requirement) {
  m.duration[i] = duration;
  for (int k = 0; k < m.resource_count; ++k) m.requirement[i][k] = requirement[k];
  m.packed_demand[i] = pack_amounts(requirement, m.resource_count);
}

void add_arc(ProjectModel& m, int p, int s) {
  m.succ_list[p][m.succ_count[p]++] = s;
  set_add(m.succ_set[p], s);
  m.pred_list[s][m.pred_count[s]++] = p;
  set_add(m.pred_set[s], p);
}

void finish_model(ProjectModel& m, int deadline) {
  m.end_activity = m.activity_count - 1;
  m.deadline = deadline;
  m.pred_list[0][m.pred_count[0]++] = m.end_activity;
}

void load_model(const InstanceData& d, ProjectModel& m) {
  begin_model(m, d.activity_count, d.resource_count, d.capacity.data());
  for (int i = 0; i < d.activity_count; ++i) {
    const auto a = static_cast<std::size_t>(i);
    set_activity(m, i, d.duration[a], d.requirement[a].data());
    m.cash_flow[i] = d.cash_flow.empty() ? 0 : d.cash_flow[a];
  }
  for (int i = 0; i < d.activity_count; ++i)
    for (int s : d.successors[static_cast<std::size_t>(i)]) add_arc(m, i, s);
  finish_model(m, d.deadline);
}

}  // namespace rcpspdc
