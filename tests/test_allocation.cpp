// The node loop allocates nothing: every table it uses is sized when the
// instance is loaded, and the growing tables only grow past a high-water
// mark. This binary replaces the global allocation functions to count calls,
// so it is kept apart from the other tests.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <random>

#include "formats/instance_file.hpp"
#include "learning_search/solve_learning.hpp"
#include "model/cash_flows.hpp"
#include "model/project_model.hpp"
#include "search/search_state.hpp"
#include "window_search/window_state.hpp"

namespace {
std::atomic<long> allocations{0};

void* counted_allocation(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) { return counted_allocation(size); }
void* operator new[](std::size_t size) { return counted_allocation(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace rcpspdc {
namespace {

TEST(NodeLoop, SearchAllocatesNothingOnceTheInstanceIsLoaded) {
  InstanceData data;
  ASSERT_TRUE(
      read_instance_files("pat", 98, 5, data, std::string(RCPSPDC_TEST_DATA) + "/pat").ok());
  std::mt19937 generator(1);
  draw_cash_flows(data, generator, 60);

  auto solver = std::make_unique<Solver>();
  load_model(data, solver->model);
  SearchSettings& settings = solver->search.settings;
  settings.initial_pool = 1 << 16;
  settings.initial_levels = 1 << 12;
  settings.initial_cuts = 1 << 16;
  const SearchLimits limits{TimeBudget{1000000, 0}, 0};

  // The first search sizes the per-instance tables (and the result's finish
  // times); a complete search leaves the network as it was read, so the
  // second one solves the same instance.
  ASSERT_EQ(solve_instance(*solver, 0.01, limits).end, SearchEnd::complete);
  const auto created = solver->search.created_nodes;

  allocations = 0;
  const SearchEnd end = solve_instance(*solver, 0.01, limits).end;
  EXPECT_EQ(allocations.load(), 0);
  EXPECT_EQ(end, SearchEnd::complete);
  EXPECT_EQ(solver->search.created_nodes, created);
  EXPECT_GT(created, 10000);
}

// The start-time search: its windows, profile and stack of open nodes are
// sized when the instance is loaded or when the stack first grows, so a
// second search of the same instance from a fresh load allocates nothing.
TEST(NodeLoop, StartTimeSearchAllocatesNothingOnceItsTablesHaveGrown) {
  InstanceData data;
  ASSERT_TRUE(
      read_instance_files("pat", 54, 0, data, std::string(RCPSPDC_TEST_DATA) + "/pat").ok());
  std::mt19937 generator(1);
  draw_cash_flows(data, generator, 60);

  // With shaving (the default) the tree is small and every node probes; the
  // plain search makes a large tree.
  for (const bool shaving : {true, false}) {
    SCOPED_TRACE(shaving ? "shaving" : "no shaving");
    auto w = std::make_unique<WindowSearch>();
    w->settings.use_shaving = shaving;
    const SearchLimits limits{TimeBudget{1000000, 0}, 0};
    load_window_problem(*w, data, 0.01);
    ASSERT_EQ(solve_windows(*w, limits, nullptr), SearchEnd::complete);
    const auto created = w->created_nodes;

    load_window_problem(*w, data, 0.01);
    allocations = 0;
    const SearchEnd end = solve_windows(*w, limits, nullptr);
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_EQ(end, SearchEnd::complete);
    EXPECT_EQ(w->created_nodes, created);
    EXPECT_GT(created, shaving ? 100 : 1000);
  }
}

// The learning search: its trail, nogood store and watch lists grow as the
// search learns, geometrically and outside the propagation loops; a second
// search of the same instance learns the same nogoods, so once they have
// grown it allocates nothing, restarts and cuts of the store included.
TEST(NodeLoop, LearningSearchAllocatesNothingOnceItsTablesHaveGrown) {
  InstanceData data;
  ASSERT_TRUE(
      read_instance_files("j30_", 62, 0, data, std::string(RCPSPDC_TEST_DATA) + "/j30").ok());
  std::mt19937 generator(1);
  draw_cash_flows(data, generator, 60);
  auto w = std::make_unique<LearningSearch>();
  const SearchLimits limits{TimeBudget{1000000, 0}, 30000};
  begin_learning(*w, data, 0.01, limits.time, nullptr);
  continue_learning(*w, limits);
  const auto conflicts = w->conflicts;

  begin_learning(*w, data, 0.01, limits.time, nullptr);
  allocations = 0;
  continue_learning(*w, limits);
  EXPECT_EQ(allocations.load(), 0);
  EXPECT_EQ(w->conflicts, conflicts);
  EXPECT_GT(conflicts, 5000);
  EXPECT_GT(w->restarts, 10);
}

}  // namespace
}  // namespace rcpspdc
