// Shared helpers of the tests: instances built in code, solvers loaded from
// them, temporary working directories and whole-file reads.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "engine/search_engine.hpp"
#include "model/instance_data.hpp"
#include "search/search_state.hpp"

namespace rcpspdc::test {

// An activity of a hand-built instance: duration, demands, successors (model
// numbering), cash flow.
struct Act {
  int duration = 0;
  std::vector<int> demand;
  std::vector<int> successors;
  int cash_flow = 0;
};

// Builds an instance from its activities; activity 0 and the last are the dummies.
InstanceData make_instance(const std::vector<int>& capacity, const std::vector<Act>& activities,
                           int deadline);

// Records every result an engine reports.
struct RecordingSink : ResultSink {
  std::vector<SearchEnd> results;  // how each search ended, in order
  SearchResult last;               // the last result
  void report(const SearchResult& result) override {
    results.push_back(result.end);
    last = result;
  }
};

// The delaying search's tables with an instance loaded, and what a test
// searches it with: the rate, and limits on the fake clock (no time limit
// unless given, counted from the clock's reading at the load).
struct LoadedSolver {
  std::unique_ptr<Solver> solver = std::make_unique<Solver>();
  InstanceData instance;
  double interest_rate = 0.0;
  SearchLimits limits;
  RecordingSink sink;  // what solve() reported
};

std::unique_ptr<LoadedSolver> load_solver(const InstanceData& instance, double interest_rate,
                                          double time_limit = 0.0);

// Runs the search on the loaded solver and reports to its sink.
const SearchResult& solve(LoadedSolver& loaded);

// The model's finish times of activities 0..n-1 as a vector.
std::vector<int> finish_times(const Solver& solver);
std::vector<int> best_finish_times(const Solver& solver);

// Reads a whole file ("" when it cannot be opened).
std::string slurp(const std::filesystem::path& path);
void write_text(const std::filesystem::path& path, const std::string& text);

// A fresh temporary directory that is the working directory while it lives.
class ScopedWorkDir {
 public:
  ScopedWorkDir();
  ~ScopedWorkDir();
  ScopedWorkDir(const ScopedWorkDir&) = delete;
  ScopedWorkDir& operator=(const ScopedWorkDir&) = delete;
  const std::filesystem::path& path() const { return dir_; }

 private:
  std::filesystem::path previous_;
  std::filesystem::path dir_;
};

// Directory of the checked-in test data (tests/data) and the examples.
std::filesystem::path data_dir();
std::filesystem::path examples_dir();

}  // namespace rcpspdc::test
