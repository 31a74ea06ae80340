// The node loop allocates nothing: every table it uses is sized when the
// instance is loaded, and the growing tables only grow past a high-water
// mark. This binary replaces the global allocation functions to count calls,
// so it is kept apart from the other tests.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <optional>
#include <random>

#include "formats/instance_file.hpp"
#include "model/cash_flows.hpp"
#include "platform/platform.hpp"
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

struct SilentSink : ResultSink {
  std::optional<SearchEnd> last_end;  // empty until a result line is reported
  void report_result(SearchEnd end) override { last_end = end; }
  void report_solution() override { last_end.reset(); }
};

TEST(NodeLoop, SearchAllocatesNothingOnceTheInstanceIsLoaded) {
  InstanceData data;
  ASSERT_TRUE(
      read_instance_files("pat", 98, 5, data, std::string(RCPSPDC_TEST_DATA) + "/pat").ok());
  std::mt19937 generator(1);
  draw_cash_flows(data, generator, 60);

  auto solver = std::make_unique<Solver>();
  SilentSink sink;
  load_model(data, solver->model);
  SearchSettings& settings = solver->search.settings;
  settings.interest_rate = 0.01;
  settings.time_limit = 1000000;
  settings.clock_ms = &clock_ms;
  settings.sink = &sink;
  settings.initial_pool = 1 << 16;
  settings.initial_levels = 1 << 12;
  settings.initial_cuts = 1 << 16;

  // The first search sizes the per-instance tables; a complete search leaves
  // the network as it was read, so the second one solves the same instance.
  solve_instance(*solver);
  ASSERT_EQ(sink.last_end, SearchEnd::complete);
  const auto created = solver->search.created_nodes;

  allocations = 0;
  solve_instance(*solver);
  EXPECT_EQ(allocations.load(), 0);
  EXPECT_EQ(sink.last_end, SearchEnd::complete);
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
    SilentSink sink;
    w->settings.interest_rate = 0.01;
    w->settings.clock_ms = &clock_ms;
    w->settings.sink = &sink;
    w->settings.use_shaving = shaving;
    load_window_problem(*w, data, 0.01);
    solve_windows(*w, nullptr);
    ASSERT_EQ(sink.last_end, SearchEnd::complete);
    const auto created = w->created_nodes;

    load_window_problem(*w, data, 0.01);
    allocations = 0;
    solve_windows(*w, nullptr);
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_EQ(sink.last_end, SearchEnd::complete);
    EXPECT_EQ(w->created_nodes, created);
    EXPECT_GT(created, shaving ? 100 : 1000);
  }
}

}  // namespace
}  // namespace rcpspdc
