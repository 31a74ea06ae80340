// The console program as a whole: in-process runs with a standing fake clock
// compared byte for byte, and runs of the built binary in a temporary
// directory with a piped dialogue.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

#include <sys/wait.h>

#include "tests/console_harness.hpp"
#include "tests/test_support.hpp"

namespace rcpspdc::test {
namespace {

namespace fs = std::filesystem;

struct Files {
  std::string console, results, info;
};

Files run_in_process(const std::string& dialogue) {
  const ConsoleRun run = run_console_with(dialogue);
  EXPECT_EQ(run.status, 0);
  return {run.console, slurp("output.out"), slurp("info.out")};
}

TEST(ConsoleRun, RangeOfInstancesByteForByte) {
  ScopedWorkDir dir;
  const std::string name = "a_problem_name_longer_than_eleven";
  write_text(name + "1.rcp", TINY);
  write_text(name + "2.rcp", TINY);
  write_text("deadline." + name, "1 1 7\n1 1 9\n");
  // All answers on one line.
  const Files f = run_in_process(name + " 1 2 0 0 0.01 10\n");
  EXPECT_EQ(f.results, RESULTS_HEAD + tiny_result(1, true) + tiny_result(2, true));
  EXPECT_EQ(f.console, CONSOLE_HEAD + "\n   1 " + tiny_result(1, false) + "\n   2 " +
                           tiny_result(2, false) + CREDITS);
  EXPECT_EQ(f.info, INFO_HEAD + info_record(1, 7, 3, 0) + info_record(2, 9, 3, 0));

  // A second run in the same directory replaces both files; a single
  // instance with a negative flow finishes at the deadline 9 + 3.
  const Files again = run_in_process(answers(name, 2, 2, 100, 3));
  char listing[80];
  std::snprintf(listing, sizeof listing,
                "Act. 2: einde 12\n\nSolution: %7.2f, Computation time: 0.00",
                expected_cash_flows(2, 3, 100)[1] * std::exp(-0.12));
  EXPECT_EQ(again.results, RESULTS_HEAD + listing);
  EXPECT_EQ(again.info, INFO_HEAD + info_record(2, 12, 3, 100));
}

TEST(ConsoleRun, EmptyRangeWritesOnlyTheFrame) {
  ScopedWorkDir dir;
  write_text("t1.rcp", TINY);
  write_text("deadline.t", "1 1 7\n");
  const Files f = run_in_process(answers("t", 2, 1));
  EXPECT_EQ(f.results, RESULTS_HEAD);
  EXPECT_EQ(f.console, CONSOLE_HEAD + CREDITS);
  EXPECT_EQ(f.info, INFO_HEAD);
}

TEST(ConsoleRun, AnswersThatDoNotConvertCountAsZeroWithAWarning) {
  ScopedWorkDir dir;
  // "x" and "y" count as 0 and are skipped: the range is 0..1, the rate 0.
  testing::internal::CaptureStderr();
  const Files f = run_in_process("t\nx 1\n0 0 y 10\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "rcpspdc: answer \"x\" to \"Number of first problem\" not understood; taken as 0\n"
            "rcpspdc: answer \"y\" to \"Interest rate\" not understood; taken as 0\n");
  EXPECT_EQ(f.results,
            RESULTS_HEAD + "\n    0  missing deadline file\n    1  missing deadline file");
  EXPECT_EQ(f.console, CONSOLE_HEAD + "\n   0 " + TABS + "missing deadline file\n   1 " + TABS +
                           "missing deadline file" + CREDITS);
  // Numbers too large are named too, and so is a rate that is not finite.
  testing::internal::CaptureStderr();
  run_in_process("t 1 1 0 -2147483649 nan 5");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "rcpspdc: answer \"-2147483649\" to \"Startdeadline\" does not fit a 32-bit integer; "
            "taken as 0\n"
            "rcpspdc: answer \"nan\" to \"Interest rate\" not understood; taken as 0\n");
  testing::internal::CaptureStderr();
  run_in_process("t 1 1 0 0 -inf 5");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "rcpspdc: answer \"-inf\" to \"Interest rate\" not understood; taken as 0\n");
}

// The end of the input before the seventh answer stops the run at that
// prompt: it is named, no file is touched, and the status says so.
TEST(ConsoleRun, EndOfInputBeforeTheLastAnswerTouchesNoFile) {
  ScopedWorkDir dir;
  write_text("output.out", "old results");
  write_text("info.out", "old flows");
  const struct {
    const char* input;
    const char* prompt;
  } cases[] = {
      {"", "Problem name"},
      {"pat\n1\n", "Number of last problem"},
      {"pat 1 5 60 0", "Interest rate"},
      {"pat 1 5 60 0 x", "Time limit in seconds"},  // x: the rate not understood
      {"pat 1 5 60 0 0.01", "Time limit in seconds"},
  };
  for (const auto& c : cases) {
    testing::internal::CaptureStderr();
    const ConsoleRun run = run_console_with(c.input);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(run.status, 1) << c.input;
    EXPECT_NE(err.find("rcpspdc: the input ended before an answer to \"" + std::string(c.prompt) +
                       "\"; no file was changed\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(run.console.substr(run.console.size() - 4), " : \n") << run.console;
    EXPECT_EQ(slurp("output.out"), "old results");
    EXPECT_EQ(slurp("info.out"), "old flows");
  }
}

// A single instance that completes gets the listing instead of a result line;
// without a feasible schedule the listing has no activity lines.
TEST(ConsoleRun, SingleInstanceListing) {
  struct Row {
    const char* deadline_file;
    std::string listing;
  };
  // Activities 2 and 3 (durations 1 and 3) both need the one unit and both
  // pay: either 2 finishes at 1 and 3 at 4, or 3 at 3 and 2 at 4.
  const std::vector<int> flows = expected_cash_flows(1, 4, 0);
  const double short_first = flows[1] * std::exp(-0.01) + flows[2] * std::exp(-0.04);
  const double long_first = flows[1] * std::exp(-0.04) + flows[2] * std::exp(-0.03);
  char solution[80];
  std::snprintf(solution, sizeof solution, "\nSolution: %7.2f, Computation time: 0.00",
                std::max(short_first, long_first));
  const std::string acts = short_first > long_first ? "Act. 2: einde 1\nAct. 3: einde 4\n"
                                                    : "Act. 2: einde 4\nAct. 3: einde 3\n";
  const Row rows[] = {
      {"1 1 4", acts + solution},
      {"1 1 3", "\nSolution: -9999.00, Computation time: 0.00"},
      {"1 1 -5", "\nSolution: -9999.00, Computation time: 0.00"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.deadline_file);
    ScopedWorkDir dir;
    write_text("s1.rcp", "4 1\n1\n0 0 2 2 3\n1 1 1 4\n3 1 1 4\n0 0 0\n");
    write_text("deadline.s", row.deadline_file);
    const Files f = run_in_process(answers("s", 1, 1));
    EXPECT_EQ(f.results, RESULTS_HEAD + row.listing);
    EXPECT_EQ(f.console, CONSOLE_HEAD + "\n   1 " + row.listing + CREDITS);
  }
}

TEST(ConsoleRun, UnopenableOutputFileStopsTheRun) {
  for (const char* blocked : {"output.out", "info.out"}) {
    SCOPED_TRACE(blocked);
    ScopedWorkDir dir;
    fs::create_directory(blocked);
    const ConsoleRun run = run_console_with(answers("t", 1, 1));
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.console,
              CONSOLE_HEAD);  // the files are made after the dialogue; no instance is read
  }
}

// The built program, fed from a pipe: it must end by itself.
// The lines of a text that begins with a line end.
std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    EXPECT_EQ(text[at], '\n');
    const std::size_t end = std::min(text.find('\n', at + 1), text.size());
    lines.push_back(text.substr(at + 1, end - at - 1));
    at = end;
  }
  return lines;
}

int run_binary(const std::string& dialogue, const std::string& arguments = "") {
  write_text("answers.txt", dialogue);
  const std::string command = "timeout 120 '" + std::string(RCPSPDC_BINARY) + "' " + arguments +
                              " < answers.txt > console.txt 2> errors.txt";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ConsoleBinary, PipedRunOverTheExamples) {
  ScopedWorkDir dir;
  for (const auto& entry : fs::directory_iterator(examples_dir()))
    if (entry.path().filename().string().rfind("pat", 0) == 0 ||
        entry.path().filename() == "deadline.pat")
      fs::copy_file(entry.path(), entry.path().filename());
  fs::remove("pat4.rcp");
  ASSERT_EQ(run_binary("pat\n1\n5\n60\n2\n0.01\n10\n"), 0);
  const std::string console = slurp("console.txt");
  EXPECT_EQ(console.rfind(CONSOLE_HEAD, 0), 0u);
  EXPECT_EQ(console.substr(console.size() - CREDITS.size()), CREDITS);
  EXPECT_EQ(slurp("errors.txt"),
            "rcpspdc: pat3.rcp: activity 7 without a successor now precedes the last activity\n");
  // Every line after the legend is the result line or the error line of its
  // instance, in order; nothing else, and no schedule the checker rejected.
  const std::string results = slurp("output.out");
  ASSERT_EQ(results.rfind(RESULTS_HEAD, 0), 0u);
  const std::vector<std::string> lines = lines_of(results.substr(RESULTS_HEAD.size()));
  ASSERT_EQ(lines.size(), 5u) << results;
  std::string solved;
  for (int number = 1; number <= 5; ++number) {
    const std::string& text = lines[static_cast<std::size_t>(number - 1)];
    const std::string error = "    " + std::to_string(number) + "  ";
    if (text.rfind("         " + std::to_string(number) + "   ", 0) == 0 &&
        text.ends_with("   optimal"))
      solved += std::to_string(number);
    else
      EXPECT_TRUE(text == error + "problem not found" || text == error + "> 2 dummies detected" ||
                  text.rfind(error + "invalid instance: ", 0) == 0)
          << text;
    EXPECT_EQ(text == error + "problem not found", number == 4);
  }
  EXPECT_GE(solved.size(), 3u);
  EXPECT_NE(solved.find('3'), std::string::npos);
  // One record per solved instance, with the file's deadline plus 2.
  const std::string info = slurp("info.out");
  ASSERT_EQ(info.rfind(INFO_HEAD, 0), 0u);
  const std::map<char, std::string> deadline{{'1', "21"}, {'2', " 9"}, {'3', "22"}, {'5', " 9"}};
  std::string recorded;
  for (const std::string& text : lines_of(info.substr(INFO_HEAD.size()))) {
    recorded += text.at(4);
    EXPECT_EQ(text.substr(0, 20),
              "    " + std::string(1, text[4]) + "        " + deadline.at(text[4]) + "     ");
    EXPECT_EQ(text.substr(20, 5), "(1 / ");
  }
  EXPECT_EQ(recorded, solved);
}

TEST(ConsoleBinary, UnopenableOutputFileGivesAMessageAndAFailure) {
  for (const char* blocked : {"output.out", "info.out"}) {
    SCOPED_TRACE(blocked);
    ScopedWorkDir dir;
    fs::create_directory(blocked);
    EXPECT_NE(run_binary(answers("t", 1, 1)), 0);
    EXPECT_NE(slurp("errors.txt").find(blocked), std::string::npos) << slurp("errors.txt");
  }
}

// The previous run's files survive a run that never got its answers, and
// --help, --version or a stray argument.
TEST(ConsoleBinary, FilesAreReplacedOnlyOnceTheAnswersAreIn) {
  ScopedWorkDir dir;
  write_text("output.out", "old results");
  write_text("info.out", "old flows");
  const auto untouched = [] {
    return slurp("output.out") == "old results" && slurp("info.out") == "old flows";
  };
  // Interrupted at the first prompt, as Ctrl-C does. The input that never
  // comes keeps no error stream of the test open, which ctest would wait for.
  const std::string interrupted = "bash -c \"timeout -s INT 1 '" + std::string(RCPSPDC_BINARY) +
                                  "' < <(sleep 10 2> /dev/null) > console.txt\"";
  EXPECT_NE(std::system(interrupted.c_str()), 0);
  EXPECT_NE(slurp("console.txt").find("Problem name"), std::string::npos);
  EXPECT_TRUE(untouched());
  EXPECT_EQ(run_binary("", "--help"), 0);
  EXPECT_EQ(slurp("console.txt").rfind("usage: rcpspdc", 0), 0u);
  EXPECT_EQ(slurp("errors.txt"), "");
  EXPECT_EQ(run_binary("", "--version"), 0);
  EXPECT_EQ(slurp("console.txt").rfind("rcpspdc ", 0), 0u);
  EXPECT_EQ(slurp("console.txt").find('\n'), slurp("console.txt").size() - 1);
  EXPECT_EQ(run_binary(answers("t", 1, 1), "--verbose"), 2);
  EXPECT_EQ(slurp("console.txt"), "");
  EXPECT_NE(slurp("errors.txt").find("--verbose"), std::string::npos);
  EXPECT_TRUE(untouched());
}

// Every run draws other cash flows, and so does every instance of a run, even
// for identical instances read within the same millisecond.
TEST(ConsoleBinary, CashFlowsDifferBetweenRunsAndInstances) {
  ScopedWorkDir dir;
  std::string wide = "22 0\n0 20";  // twenty activities side by side
  for (int j = 2; j <= 21; ++j) wide += " " + std::to_string(j);
  wide += "\n";
  for (int j = 2; j <= 21; ++j) wide += "1 1 22\n";
  wide += "0 0\n";
  write_text("w1.rcp", wide);
  write_text("w2.rcp", wide);
  write_text("deadline.w", "1 1 1\n1 2 1\n");
  std::vector<std::string> records;
  for (int run = 0; run < 2; ++run) {
    ASSERT_EQ(run_binary(answers("w", 1, 2, 50)), 0);
    const std::vector<std::string> lines = lines_of(slurp("info.out").substr(INFO_HEAD.size()));
    ASSERT_EQ(lines.size(), 2u);
    for (const std::string& line : lines) records.push_back(line.substr(20));
  }
  EXPECT_NE(records[0], records[1]);  // two instances of one run
  EXPECT_NE(records[2], records[3]);
  EXPECT_NE(records[0], records[2]);  // two runs
  EXPECT_NE(records[1], records[3]);
}

}  // namespace
}  // namespace rcpspdc::test
