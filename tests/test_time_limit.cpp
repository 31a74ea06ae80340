// The time limit holds over a long horizon: 126 real activities of 600 to
// 780 periods and a deadline of about 87000 periods, where one bound
// evaluation of the delaying search, or one propagation round of the
// start-time search, takes long enough that a search reading the clock
// every so many nodes overshoots its limit by seconds to minutes. Each
// engine is run by its program, as a user runs it, with a short limit, and
// must stop well within a generous margin. The one test that times anything.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "tests/test_support.hpp"

namespace rcpspdc::test {
namespace {

// A project drawn by a 64-bit linear congruential generator, so that it is
// the same everywhere: resource 1 (capacity 10) taken 1 to 3 by every
// activity, resource 2 (capacity 10) 0 to 6, and up to two successors among
// the next twelve activities. Returns the instance file; `durations` gets
// the durations summed, the deadline the test uses.
std::string long_horizon_project(int& durations) {
  std::uint64_t state = 2;
  const auto draw = [&state](int lo, int hi) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return lo + static_cast<int>((state >> 33) % static_cast<std::uint64_t>(hi - lo + 1));
  };
  const int n = 128;
  const int last_real = n - 2;
  std::string lines[n];
  std::set<int> successors[n];
  std::set<int> followers;  // real activities with a predecessor
  durations = 0;
  for (int i = 1; i <= last_real; ++i) {
    const int duration = draw(600, 780);
    const int first_demand = draw(1, 3);
    const int second_demand = draw(0, 6);
    durations += duration;
    lines[i] = std::to_string(duration) + " " + std::to_string(first_demand) + " " +
               std::to_string(second_demand);
    const int count = draw(0, 2);
    for (int k = 0; k < count && i < last_real; ++k) {
      const int s = draw(i + 1, std::min(last_real, i + 12));
      successors[i].insert(s);
      followers.insert(s);
    }
    if (successors[i].empty()) successors[i].insert(n - 1);
  }
  for (int i = 1; i <= last_real; ++i)
    if (followers.count(i) == 0) successors[0].insert(i);
  lines[0] = "0 0 0";
  lines[n - 1] = "0 0 0";
  std::string text = std::to_string(n) + " 2\n10 10\n";
  for (int i = 0; i < n; ++i) {
    text += lines[i] + " " + std::to_string(successors[i].size());
    for (const int s : successors[i]) text += " " + std::to_string(s + 1);
    text += "\n";
  }
  return text;
}

// Seconds a shell command takes; `status` gets its exit status.
double timed(const std::string& command, int& status) {
  const auto start = std::chrono::steady_clock::now();
  const int raw = std::system(command.c_str());
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(TimeLimit, HoldsOverALongHorizonInEveryProgram) {
  ScopedWorkDir dir;
  int durations = 0;
  write_text("long1.rcp", long_horizon_project(durations));
  write_text("deadline.long", "1 1 " + std::to_string(durations) + "\n");
  constexpr double MARGIN = 3.0;  // seconds, for a limit of 0.3 s or a stop at once
  for (const std::string engine :
       {"delaying", "start-times", "learning", "learning --threads 3"}) {
    SCOPED_TRACE(engine);
    int status = -1;
    const std::string csv = engine.substr(0, engine.find(' ')) + ".csv";
    const double seconds =
        timed(std::string("'") + RCPSPDC_BATCH + "' --problem long --first 1 --rate 0.0001 " +
                  "--time-limit 0.3 --jobs 1 --quiet --engine " + engine + " --csv " + csv,
              status);
    EXPECT_EQ(status, 0);
    EXPECT_LT(seconds, MARGIN);
    EXPECT_NE(slurp(csv).find(",time limit,"), std::string::npos) << slurp(csv);
  }
  // The console takes whole seconds; 0 stops a search at its first look at
  // the clock after a tick. Three copies of the instance, so that a search
  // that reads the clock every so many nodes runs well past the margin.
  write_text("long2.rcp", slurp("long1.rcp"));
  write_text("long3.rcp", slurp("long1.rcp"));
  write_text("deadline.long", "1 1 " + std::to_string(durations) + "\n1 2 " +
                                  std::to_string(durations) + "\n1 3 " +
                                  std::to_string(durations) + "\n");
  int status = -1;
  const double seconds = timed("printf 'long\\n1\\n3\\n60\\n0\\n0.0001\\n0\\n' | '" +
                                   std::string(RCPSPDC_BINARY) + "' >console.txt 2>&1",
                               status);
  EXPECT_EQ(status, 0);
  EXPECT_LT(seconds, MARGIN);
  const std::string output = slurp("output.out");
  int stopped = 0;
  for (std::size_t at = 0; (at = output.find("heuristic  (time limit!)", at)) != std::string::npos;
       ++at)
    ++stopped;
  EXPECT_EQ(stopped, 3) << output;
}

}  // namespace
}  // namespace rcpspdc::test
