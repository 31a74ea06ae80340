#include "tests/test_support.hpp"

#include <fstream>
#include <random>
#include <sstream>

#include "model/project_model.hpp"
#include "platform/platform.hpp"
#include "tests/fake_platform.hpp"

namespace rcpspdc::test {

InstanceData make_instance(const std::vector<int>& capacity, const std::vector<Act>& activities,
                           int deadline) {
  InstanceData d;
  d.activity_count = static_cast<int>(activities.size());
  d.resource_count = static_cast<int>(capacity.size());
  d.deadline = deadline;
  d.capacity = capacity;
  for (const Act& a : activities) {
    d.duration.push_back(a.duration);
    std::vector<int> demand = a.demand;
    demand.resize(capacity.size(), 0);
    d.requirement.push_back(demand);
    d.successors.push_back(a.successors);
    d.cash_flow.push_back(a.cash_flow);
  }
  return d;
}

std::unique_ptr<LoadedSolver> load_solver(const InstanceData& instance, double interest_rate,
                                          double time_limit) {
  auto loaded = std::make_unique<LoadedSolver>();
  loaded->instance = instance;
  load_model(instance, loaded->solver->model);
  loaded->interest_rate = interest_rate;
  loaded->limits.time = {time_limit, fake_clock_now};
  return loaded;
}

const SearchResult& solve(LoadedSolver& loaded) {
  const SearchResult& result = solve_instance(*loaded.solver, loaded.interest_rate, loaded.limits);
  loaded.sink.report(result);
  return result;
}

std::vector<int> finish_times(const Solver& solver) {
  return std::vector<int>(solver.model.finish_time,
                          solver.model.finish_time + solver.model.activity_count);
}

std::vector<int> best_finish_times(const Solver& solver) {
  return std::vector<int>(solver.search.best_finish,
                          solver.search.best_finish + solver.model.activity_count);
}

std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_text(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

ScopedWorkDir::ScopedWorkDir() : previous_(std::filesystem::current_path()) {
  std::random_device entropy;
  dir_ = std::filesystem::temp_directory_path() / ("rcpspdc-test-" + std::to_string(entropy()));
  std::filesystem::create_directories(dir_);
  std::filesystem::current_path(dir_);
}

ScopedWorkDir::~ScopedWorkDir() {
  std::filesystem::current_path(previous_);
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::filesystem::path data_dir() { return RCPSPDC_TEST_DATA; }
std::filesystem::path examples_dir() { return RCPSPDC_EXAMPLES; }

}  // namespace rcpspdc::test
