#include "model/project_model.hpp"

namespace rcpspdc {

void begin_model(ProjectModel& m, int activity_count, int resource_count, const int* capacity) {
  m.activity_count = activity_count;
  m.end_activity = activity_count - 1;
  m.resource_count = resource_count;
  m.packed_capacity = 0;
  m.overflow_mask = 0;
  Packed weight = 1;
  for (int k = 0; k < resource_count; ++k) {
    m.packed_capacity += static_cast<Packed>(capacity[k]) * weight;
    m.byte_weight[k] = weight;
    m.overflow_mask |= LANE_TOP * weight;
    m.capacity[k] = capacity[k];
    weight <<= LANE_BITS;
  }
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
  m.packed_demand[i] = 0;
  for (int k = 0; k < m.resource_count; ++k) {
    m.requirement[i][k] = requirement[k];
    m.packed_demand[i] += static_cast<Packed>(requirement[k]) * m.byte_weight[k];
  }
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

}  // namespace rcpspdc
