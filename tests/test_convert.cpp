// PSPLIB conversion: .sm files written for these tests read field by field,
// written in the instance format and read back by the instance reader, one of
// them solved against brute force; malformed variants; deadline lists; and
// the rcpspdc-convert program itself.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <tuple>

#include "check/schedule_check.hpp"
#include "formats/instance_file.hpp"
#include "formats/makespan_table.hpp"
#include "formats/psplib.hpp"
#include "tests/test_support.hpp"

namespace rcpspdc::test {
namespace {

std::filesystem::path psplib(const std::string& name) { return data_dir() / "psplib" / name; }

auto fields(const InstanceData& d) {
  return std::tuple(d.activity_count, d.resource_count, d.capacity, d.duration, d.requirement,
                    d.successors);
}

const char* const SMALL_RCP =
    "7 2\n4 3\n0 0 0 3 2 3 4\n3 2 1 2 5 6\n4 1 3 1 6\n2 3 0 1 7\n5 0 2 1 7\n1 2 2 1 7\n0 0 0 0\n";

TEST(PsplibConvert, ReadsEveryFieldAndReadsBackThroughTheInstanceReader) {
  InstanceData small;
  small.activity_count = 7;
  small.resource_count = 2;
  small.capacity = {4, 3};
  small.duration = {0, 3, 4, 2, 5, 1, 0};
  small.requirement = {{0, 0}, {2, 1}, {1, 3}, {3, 0}, {0, 2}, {2, 2}, {0, 0}};
  small.successors = {{1, 2, 3}, {4, 5}, {5}, {6}, {6}, {6}, {}};
  // CRLF line ends, two unused nonrenewable columns, successors out of order.
  InstanceData mixed;
  mixed.activity_count = 5;
  mixed.resource_count = 1;
  mixed.capacity = {6};
  mixed.duration = {0, 2, 3, 1, 0};
  mixed.requirement = {{0}, {3}, {4}, {2}, {0}};
  mixed.successors = {{2, 1}, {3}, {3}, {4}, {}};
  for (const auto& [file, expected] :
       {std::pair{"small.sm", small}, std::pair{"mixed.sm", mixed}}) {
    SCOPED_TRACE(file);
    InstanceData d;
    ASSERT_TRUE(read_psplib_file(psplib(file).string(), d).ok());
    EXPECT_EQ(fields(d), fields(expected));
    EXPECT_TRUE(d.cash_flow.empty());
    InstanceData back;
    const FileOutcome outcome = parse_instance_text(format_instance(d), back);
    ASSERT_TRUE(outcome.ok()) << outcome.message;
    EXPECT_EQ(fields(back), fields(expected));
  }
  InstanceData d;
  ASSERT_TRUE(read_psplib_file(psplib("small.sm").string(), d).ok());
  EXPECT_EQ(format_instance(d), SMALL_RCP);
}

// Each case edits small.sm (replacing the first occurrence of `from`) and
// expects the error to contain `message`.
TEST(PsplibConvert, RefusesMalformedAndUnsupportedFiles) {
  struct Case {
    std::string from, to, message;
  };
  const std::vector<Case> cases = {
      {"jobs (incl. supersource/sink ):  7", "", "not a PSPLIB .sm file"},
      {"jobs (incl. supersource/sink ):  7", "jobs (incl. supersource/sink ):  130",
       "at most 128"},
      {"renewable                 :  2", "renewable                 :  5",
       "5 renewable resources"},
      {"  - renewable                 :  2   R\n", "", "no \"- renewable :\" line"},
      {"PRECEDENCE RELATIONS:", "PRECEDENCE:", "no \"PRECEDENCE RELATIONS:\" section"},
      {"   5        1          1           7\n", "",
       "line 23: row of job 6 where job 5 should come"},
      {"   3        1          1           6", "   3        2          1           6",
       "job 3 has 2 modes"},
      {"   6        1          1           7", "   6        1          1           9",
       "successor 9 of job 6 is above 7"},
      {"  2      1     3       2    1", "  2      1     x       2    1",
       "line 31: \"x\" is not an integer (the duration of job 2)"},
      {"  6      1     1       2    2", "  6      1    -1       2    2",
       "the duration of job 6 is -1"},
      {"  7      1     0       0    0\n", "", "table ends before the number of job 7"},
      {"  7      1     0       0    0\n",
       "  7      1     0       0    0\n  8      1     0       0    0\n", "unexpected \"8\""},
      {"jobnr. mode duration  R 1  R 2", "jobnr. mode duration  R 1", "names 1 resource columns"},
      {"  - nonrenewable              :  0", "  - nonrenewable              :  1",
       "RESOURCES section declares RRN"},
      {"RESOURCEAVAILABILITIES:", "AVAILABILITIES:", "no \"RESOURCEAVAILABILITIES:\" section"},
      {"    4    3\n", "    4\n", "ends before the availability in column 2"},
      // What the instance reader would refuse: a cycle, a real activity of duration 0.
      {"   6        1          1           7", "   6        1          1           2",
       "cannot be solved as it stands: the successor lists form a cycle"},
      {"  3      1     4       1    3", "  3      1     0       1    3",
       "cannot be solved as it stands: activity 3 has duration 0"},
  };
  const std::string small = slurp(psplib("small.sm"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from + " -> " + c.to);
    std::string text = small;
    const std::size_t at = text.find(c.from);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, c.from.size(), c.to);
    InstanceData d;
    const std::string error = parse_psplib_text(text, d).message;
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
  }
  InstanceData d;
  EXPECT_NE(read_psplib_file(psplib("multi.mm").string(), d)
                .message.find("job 2 has 2 modes; only single-mode"),
            std::string::npos);
  EXPECT_EQ(read_psplib_file((psplib("none.sm")).string(), d).message,
            "cannot open " + psplib("none.sm").string());
  // A nonrenewable or doubly constrained resource in use: mixed.sm with its last column set.
  for (const bool doubly : {false, true}) {
    std::string mixed = slurp(psplib("mixed.sm"));
    const auto edit = [&](const std::string& from, const std::string& to) {
      ASSERT_NE(mixed.find(from), std::string::npos) << from;
      mixed.replace(mixed.find(from), from.size(), to);
    };
    edit("  3      1     3       4    0    0", "  3      1     3       4    0    7");
    if (doubly) {
      edit("nonrenewable              :  2", "nonrenewable              :  1");
      edit("constrained        :  0", "constrained        :  1");
      edit("N 2", "D 1");
    }
    const std::string kind = doubly ? "doubly constrained" : "nonrenewable";
    EXPECT_NE(
        parse_psplib_text(mixed, d).message.find("job 3 uses 7 units of a " + kind + " resource"),
        std::string::npos);
  }
}

TEST(PsplibConvert, DeadlineListsBecomeTriplesTheDeadlineReaderTakes) {
  std::vector<int> makespans;
  ASSERT_TRUE(parse_makespans("19 7\n\n 20\r\n", makespans).ok());
  EXPECT_EQ(makespans, (std::vector<int>{19, 7, 20}));
  const std::string text = format_deadlines(makespans);
  EXPECT_EQ(text, "1 1 19\n1 2 7\n1 3 20\n");
  for (int p = 1; p <= 3; ++p) {
    int deadline = -1;
    ASSERT_TRUE(parse_deadline_text(text, p, 2, deadline).ok());
    EXPECT_EQ(deadline, makespans[static_cast<std::size_t>(p - 1)] + 2);
  }
  for (const char* bad : {"", " \n", "12 x", "12 -3", "99999999999", "100001"})
    EXPECT_FALSE(parse_makespans(bad, makespans).ok()) << bad;
}

// mixed.sm converted, given a deadline file, read as instance 1 of a series
// and solved: the optimum equals the best schedule found by enumeration.
TEST(PsplibConvert, ConvertedSeriesSolvesToTheBruteForceOptimum) {
  ScopedWorkDir dir;
  InstanceData converted;
  ASSERT_TRUE(read_psplib_file(psplib("mixed.sm").string(), converted).ok());
  write_text("psp1.rcp", format_instance(converted));
  write_text("deadline.psp", format_deadlines({8}));
  InstanceData d;
  const FileOutcome outcome = read_instance_files("psp", 1, 0, d);
  ASSERT_TRUE(outcome.ok()) << outcome.message;
  ASSERT_EQ(d.deadline, 8);
  d.cash_flow = {0, 40, -30, 25, 0};
  const double rate = 0.05;

  double best = -1e300;
  std::vector<int> f = {0, 0, 0, 0, 8};
  for (f[1] = 0; f[1] <= 8; ++f[1])
    for (f[2] = 0; f[2] <= 8; ++f[2])
      for (f[3] = 0; f[3] <= 8; ++f[3]) {
        const ScheduleCheck check = check_schedule(d, f, rate);
        if (check.feasible()) best = std::max(best, check.npv);
      }
  ASSERT_GT(best, -1e300);

  auto loaded = load_solver(d, rate);
  solve(*loaded);
  EXPECT_EQ(loaded->sink.results, std::vector<SearchEnd>{SearchEnd::complete});
  ASSERT_TRUE(loaded->solver->search.has_incumbent);
  const ScheduleCheck check = check_schedule(d, best_finish_times(*loaded->solver), rate);
  EXPECT_TRUE(check.feasible());
  EXPECT_NEAR(check.npv, best, 1e-9);
}

struct CliRun {
  int status = -1;
  std::string out, err;
};

CliRun convert(const std::string& args) {
  const std::string command =
      std::string("'") + RCPSPDC_CONVERT + "' " + args + " >stdout.txt 2>stderr.txt";
  const int raw = std::system(command.c_str());
  return CliRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp("stdout.txt"), slurp("stderr.txt")};
}

TEST(PsplibConvert, ProgramWritesInstancesAndDeadlinesAndReportsErrors) {
  ScopedWorkDir dir;
  const std::string small = "'" + psplib("small.sm").string() + "'";
  CliRun run = convert(small);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, SMALL_RCP);
  run = convert(small + " -o small1.rcp");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(slurp("small1.rcp"), SMALL_RCP);

  write_text("makespans.txt", "12\n15\n");
  run = convert("--deadlines makespans.txt -o deadline.small");
  EXPECT_EQ(run.status, 0);
  InstanceData d;
  const FileOutcome outcome = read_instance_files("small", 1, 0, d);
  EXPECT_TRUE(outcome.ok()) << outcome.message;
  EXPECT_EQ(d.deadline, 12);

  run = convert("'" + psplib("multi.mm").string() + "' -o multi.rcp");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("multi.mm: line 11: job 2 has 2 modes"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists("multi.rcp"));
  write_text("bad.txt", "12 twelve\n");
  EXPECT_EQ(convert("--deadlines bad.txt").status, 1);
  EXPECT_EQ(convert("missing.sm").status, 1);
  for (const char* args : {"", "--bogus x.sm", "a.sm b.sm", "a.sm -o"}) {
    run = convert(args);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_NE(run.err.find("usage: rcpspdc-convert"), std::string::npos) << args;
  }
  EXPECT_EQ(convert("--help").status, 0);
}

// A folder becomes a numbered series in natural name order, with deadlines
// from the table where it has the name and the critical path elsewhere, and
// the series is read back by the instance and deadline readers.
TEST(PsplibConvert, FolderBecomesANumberedSeriesWithIndex) {
  ScopedWorkDir dir;
  std::filesystem::create_directory("in");
  for (const char* name : {"j11_10.sm", "j11_2.sm", "j11_1.sm"})
    std::filesystem::copy_file(psplib("small.sm"), std::filesystem::path("in") / name);
  ASSERT_TRUE(write_text_file("in/notes.txt", "not an instance\n").ok());
  ASSERT_TRUE(write_text_file("j1opt.sm", "Par Inst Makespan\n 1 10 20\n").ok());
  const CliRun run = convert("--folder in --name j -o out --makespans j1opt.sm");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "converted 3 files into out (numbers 1 to 3)\n");
  EXPECT_EQ(slurp("out/index.j"),
            "1 j11_1 8 critical-path\n2 j11_2 8 critical-path\n3 j11_10 20 makespans\n");
  InstanceData data;
  ASSERT_TRUE(read_instance_files("j", 3, 1, data, "out").ok());
  EXPECT_EQ(data.deadline, 21);
  EXPECT_EQ(data.activity_count, 7);
  EXPECT_EQ(convert("--folder in -o out").status, 2);
  EXPECT_EQ(convert("--folder nowhere --name j -o out").status, 1);
  // Bad files are each reported, and no partial series is written.
  ASSERT_TRUE(write_text_file("in/j11_3.sm", "not a PSPLIB file\n").ok());
  ASSERT_TRUE(write_text_file("in/j11_4.sm", "").ok());
  const CliRun bad = convert("--folder in --name j -o fresh");
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("rcpspdc-convert: in/j11_3.sm: "), std::string::npos) << bad.err;
  EXPECT_NE(bad.err.find("rcpspdc-convert: in/j11_4.sm: "), std::string::npos) << bad.err;
  EXPECT_NE(bad.err.find("rcpspdc-convert: 2 of 5 files refused; nothing was written\n"),
            std::string::npos)
      << bad.err;
  EXPECT_FALSE(std::filesystem::exists("fresh"));
}

}  // namespace
}  // namespace rcpspdc::test
