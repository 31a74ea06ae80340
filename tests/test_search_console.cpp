// The console program end to end on Patterson instances: the solution
// listing of a single-instance run, the result lines of a run over several
// instances and the time-limit line, each compared with a search run here on
// the instance and the cash flows the program recorded in info.out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "check/schedule_check.hpp"
#include "console/console.hpp"
#include "formats/instance_file.hpp"
#include "platform/platform.hpp"
#include "tests/fake_platform.hpp"
#include "tests/test_support.hpp"

namespace rcpspdc::test {
namespace {

__attribute__((format(printf, 1, 2))) std::string format(const char* pattern, ...) {
  char buffer[256];
  std::va_list values;
  va_start(values, pattern);
  std::vsnprintf(buffer, sizeof buffer, pattern, values);
  va_end(values);
  return buffer;
}

// Runs the program in a fresh directory holding the given Patterson files;
// returns output.out, and info.out in `info`.
std::string run_program(ScopedWorkDir&, const std::vector<int>& numbers,
                        const std::string& answers, std::int64_t step, std::string& info) {
  for (int k : numbers)
    std::filesystem::copy_file(data_dir() / "pat" / ("pat" + std::to_string(k) + ".rcp"),
                               "pat" + std::to_string(k) + ".rcp");
  std::filesystem::copy_file(data_dir() / "pat" / "deadline.pat", "deadline.pat");
  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  std::fputs(answers.c_str(), in);
  std::rewind(in);
  fake_clock_now = 1000;
  fake_clock_step = step;
  EXPECT_EQ(run_console(in, out), 0);
  fake_clock_step = 0;
  std::fclose(in);
  std::fclose(out);
  info = slurp("info.out");
  return slurp("output.out");
}

// The instance as the program read it, with the cash flows of its record.
InstanceData recorded_instance(int number, const std::string& info) {
  InstanceData d;
  EXPECT_TRUE(read_instance_files("pat", number, 0, d).ok());
  d.cash_flow.assign(static_cast<std::size_t>(d.activity_count), 0);
  const std::string head = format("\n%5d     %5d     ", number, d.deadline);
  const std::size_t at = info.find(head);
  EXPECT_NE(at, std::string::npos) << "no record of instance " << number;
  const std::string record =
      info.substr(at + head.size(), info.find('\n', at + 1) - at - head.size());
  int i = 0, index = 0, flow = 0, used = 0;
  for (const char* p = record.c_str(); std::sscanf(p, "(%d / %d)   %n", &index, &flow, &used) == 2;
       p += used) {
    EXPECT_EQ(index, ++i);
    d.cash_flow.at(static_cast<std::size_t>(i)) = flow;
  }
  EXPECT_EQ(i, d.activity_count - 2);
  return d;
}

// The same search run here, with the clock read as the driver reads it. The
// console's answer 0 stops a search at the first reading after a tick, as a
// limit of less than a tick does.
std::unique_ptr<LoadedSolver> solve_here(const InstanceData& d, int answer, std::int64_t step) {
  auto loaded = load_solver(d, 0.01, answer != 0 ? answer : 0.0005);
  fake_clock_now = 1000;
  fake_clock_step = step;
  loaded->limits.time.start_ms = clock_ms();
  solve(*loaded);
  fake_clock_step = 0;
  return loaded;
}

TEST(SearchConsole, SingleInstanceRunListsACheckedSchedule) {
  ScopedWorkDir dir;
  std::string info;
  const std::string output = run_program(dir, {8}, "pat\n8\n8\n60\n0\n0.01\n10\n", 0, info);
  const InstanceData d = recorded_instance(8, info);
  const std::size_t listing = output.find("Act. ");
  ASSERT_NE(listing, std::string::npos) << output;

  // The listing read back: activities 2 .. n-1 of the file, then the value.
  std::vector<int> finish(static_cast<std::size_t>(d.activity_count), 0);
  std::istringstream lines(output.substr(listing));
  for (int i = 1; i <= d.activity_count - 2; ++i) {
    std::string line;
    std::getline(lines, line);
    int number = 0, value = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "Act. %d: einde %d", &number, &value), 2) << line;
    EXPECT_EQ(number, i + 1);
    finish[static_cast<std::size_t>(i)] = value;
  }
  finish.back() = *std::max_element(finish.begin(), finish.end());
  const ScheduleCheck check = check_schedule(d, finish, 0.01);
  EXPECT_TRUE(check.feasible()) << check.violations.front();

  auto here = solve_here(d, 10, 0);
  const SearchResult& s = here->sink.last;
  EXPECT_GT(s.branched_nodes, 0);
  std::string expected;
  for (int i = 1; i <= d.activity_count - 2; ++i)
    expected += format("Act. %d: einde %d\n", i + 1, s.finish[static_cast<std::size_t>(i)]);
  expected += format("\nSolution: %7.2lf, Computation time: %.2f", s.value, 0.0);
  EXPECT_EQ(output.substr(listing), expected);
  EXPECT_EQ(format("%7.2lf", check.npv), format("%7.2lf", s.value));
}

TEST(SearchConsole, MultiInstanceRunWritesTheResultLines) {
  ScopedWorkDir dir;
  std::string info;
  const std::string output =
      run_program(dir, {1, 2, 3, 4}, "pat\n1\n4\n60\n0\n0.01\n10\n", 0, info);
  EXPECT_EQ(output.find("Act. "), std::string::npos);
  std::size_t from = 0;
  for (int number : {1, 2, 4}) {
    auto here = solve_here(recorded_instance(number, info), 10, 0);
    const SearchResult& s = here->sink.last;
    const std::string line = format("\n%10d   %10lld   %10lld   %7.2lf   %7.2lf   optimal", number,
                                    static_cast<long long>(s.created_nodes),
                                    static_cast<long long>(s.branched_nodes), s.value, 0.0);
    const std::size_t at = output.find(line, from);
    EXPECT_NE(at, std::string::npos) << "instance " << number << ":\n"
                                     << line << "\nin\n"
                                     << output;
    if (at != std::string::npos) from = at + line.size();
  }
  EXPECT_EQ(from, output.size());  // instance 4 is the last piece
}

// A time limit of 0 stops the search at its first look at the clock after
// a tick (the clock is read by the work done, about every millisecond of it).
TEST(SearchConsole, TimeLimitedRunWritesTheHeuristicLine) {
  ScopedWorkDir dir;
  std::string info;
  // With these cash flows pat17 needs 11813 branchings.
  const std::string output = run_program(dir, {17}, "pat\n17\n17\n60\n0\n0.01\n0\n", 1, info);
  auto here = solve_here(recorded_instance(17, info), 0, 1);
  const SearchResult& s = here->sink.last;
  EXPECT_GT(s.branched_nodes, 0);
  EXPECT_LT(s.branched_nodes, 11813);
  EXPECT_EQ(here->sink.results, std::vector<SearchEnd>{SearchEnd::time_limit});
  const std::string line =
      format("\n%10d   %10lld   %10lld   %7.2lf   %7.2lf   heuristic  (time limit!) ", 17,
             static_cast<long long>(s.created_nodes), static_cast<long long>(s.branched_nodes),
             s.has_incumbent ? s.value : -9999.0, s.seconds);
  ASSERT_GE(output.size(), line.size());
  EXPECT_EQ(output.substr(output.size() - line.size()), line);
  EXPECT_EQ(output.find("Act. "), std::string::npos);
}

}  // namespace
}  // namespace rcpspdc::test
