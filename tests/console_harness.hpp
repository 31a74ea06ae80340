// Runs the console program in-process in the current working directory: the
// dialogue answers come from a temporary file and the console text is read
// back. The fake platform gives every run the same seed, so the cash flows of
// each instance can be recomputed here.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "console/console.hpp"
#include "model/cash_flows.hpp"
#include "tests/fake_platform.hpp"

namespace rcpspdc::test {

inline std::string read_all(std::FILE* stream) {
  std::string text;
  std::rewind(stream);
  for (int c = std::fgetc(stream); c != EOF; c = std::fgetc(stream)) text += static_cast<char>(c);
  return text;
}

struct ConsoleRun {
  int status = 0;
  std::string console;
};

inline ConsoleRun run_console_with(const std::string& answers) {
  fake_clock_now = 1000;
  fake_clock_step = 0;
  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  std::fputs(answers.c_str(), in);
  std::rewind(in);
  ConsoleRun run;
  run.status = run_console(in, out);
  run.console = read_all(out);
  std::fclose(in);
  std::fclose(out);
  return run;
}

// Dialogue answers: name, first, last, percent negative, offset, rate, limit.
inline std::string answers(const std::string& name, int first, int last, int percent = 0,
                           int offset = 0) {
  return name + "\n" + std::to_string(first) + "\n" + std::to_string(last) + "\n" +
         std::to_string(percent) + "\n" + std::to_string(offset) + "\n0.01\n10\n";
}

// The fixed texts of both files and of the console.
inline const std::string TITLE =
    "\n The resource-constrained project scheduling problem with discounted cash flows\n"
    " " +
    std::string(78, '=') + "\n\n";
inline const std::string CONTACT =
    "\n\n Quintaard\n e-mail: quintaard@rcpspdc.org\n website: https://rcpspdc.org";
inline const std::string LEGEND =
    "\n\n1st column: number of problem instance\n2nd column: number of created nodes"
    "\n3rd column: number of branched nodes\n4th column: solution"
    "\n5th column: total time spend (in seconds)\n6th column: optimal or heuristic?\n\n";
inline const std::string PROMPTS =
    "\n Problem name : \n Number of first problem : \n Number of last problem : "
    "\n Percentage negative cash flows (see paper. E.g. 60) : "
    "\n Startdeadline: how much above the makespan? (0 = deadline=makespan) : "
    "\n Interest rate (e.g. 0.01) : \n Time limit in seconds : ";
inline const std::string RESULTS_HEAD = TITLE + CONTACT + "\n\n\n\n" + LEGEND;
inline const std::string CONSOLE_HEAD = TITLE + PROMPTS + LEGEND;
inline const std::string CREDITS = CONTACT + "\n\n PRESS ANY KEY";
inline const std::string INFO_HEAD =
    "information about the generated cash flows"
    "\nproblem number    project deadline     (number of activity / cash flow)"
    "\nRemark: information about dummy start and dummy end activity not displayed\n\n";
inline const std::string TABS = "\t\t\t\t\t\t\t\t\t    ";

// Cash flows of n activities of instance `number` of a console run: two draws
// per real activity, magnitude then sign.
inline std::vector<int> expected_cash_flows(int number, int n, int percent) {
  std::mt19937 generator(instance_seed(FAKE_RUN_SEED, number));
  std::vector<int> flows(static_cast<std::size_t>(n), 0);
  for (int i = 1; i < n - 1; ++i) {
    const auto r1 = static_cast<std::uint32_t>(generator());
    const auto r2 = static_cast<std::uint32_t>(generator());
    const int magnitude = static_cast<int>(r1 % 500) + 1;
    flows[static_cast<std::size_t>(i)] =
        static_cast<int>(r2 % 100) < percent ? -magnitude : magnitude;
  }
  return flows;
}

// The information record of an instance read with the fake platform.
inline std::string info_record(int number, int deadline, int n, int percent) {
  const std::vector<int> flows = expected_cash_flows(number, n, percent);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "\n%5d     %5d     ", number, deadline);
  std::string record = buffer;
  for (int i = 1; i <= n - 2; ++i) {
    std::snprintf(buffer, sizeof buffer, "(%d / %d)   ", i, flows[static_cast<std::size_t>(i)]);
    record += buffer;
  }
  return record;
}

// One real activity of duration 2 between the dummies, no resource conflict.
inline const std::string TINY = "3 1\n2\n0 0 1 2\n2 1 1 3\n0 0 0\n";

// The result line of TINY as instance `number` of a range, on the console or
// in the results file: a positive cash flow (no negatives asked for), the
// activity finishing at 2, the root the only evaluation, the clock standing.
inline std::string tiny_result(int number, bool in_file) {
  const int flow = expected_cash_flows(number, 3, 0)[1];
  const double npv = flow * std::exp(-0.01 * 2);
  char line[128];
  if (in_file)
    std::snprintf(line, sizeof line, "\n%10d   %10d   %10d   %7.2f      0.00   optimal", number, 2,
                  0, npv);
  else
    std::snprintf(line, sizeof line, "%10d   %10d   %7.2f      0.00   optimal", 2, 0, npv);
  return line;
}

}  // namespace rcpspdc::test
