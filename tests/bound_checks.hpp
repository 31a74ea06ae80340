// Helpers of the bound and conflict tests: a loaded instance with its bound
// tables prepared, and plain views of the schedule and the bound tree.
#pragma once

#include <limits>

#include "tests/test_support.hpp"

namespace rcpspdc::test {

constexpr double NO_INCUMBENT = -std::numeric_limits<double>::infinity();
using Rows = std::vector<std::vector<int>>;

// An instance loaded into a solver whose discount table and load profile are
// sized for it; m and b name the model and the bound tables.
struct Net {
  std::unique_ptr<LoadedSolver> loaded;
  Solver& solver;
  ProjectModel& m;
  BoundState& b;
  Net(const InstanceData& d, double rate)
      : loaded(load_solver(d, rate)), solver(*loaded->solver), m(solver.model), b(solver.bound) {
    prepare_search(solver, rate);
  }
  std::vector<int> finish() const { return finish_times(solver); }
  // Row p lists the tree successors of p in ascending order.
  Rows tree() const {
    Rows rows(static_cast<std::size_t>(m.activity_count));
    for (int p = 0; p < m.activity_count; ++p)
      for (int s = 0; s < MAX_ACTIVITIES; ++s)
        if (set_contains(b.tree_set[p], s)) rows[static_cast<std::size_t>(p)].push_back(s);
    return rows;
  }
  // The state every evaluation starts from: no finish time, no tree arc.
  bool cleared() const {
    return finish() == std::vector<int>(static_cast<std::size_t>(m.activity_count), 0) &&
           tree() == Rows(static_cast<std::size_t>(m.activity_count));
  }
  BoundOutcome bound(double best_npv, std::int64_t& created) {
    return compute_bound(m, b, best_npv, created);
  }
};

}  // namespace rcpspdc::test
