// The instance and deadline readers: every malformed file of tests/data/bad
// is rejected with its own line while the run goes on to the next instance,
// deadline-file faults, and the limits that must still be accepted.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>

#include "formats/info_file.hpp"
#include "formats/instance_file.hpp"
#include "formats/makespan_table.hpp"
#include "formats/psplib.hpp"
#include "tests/console_harness.hpp"
#include "tests/test_support.hpp"

namespace rcpspdc::test {
namespace {

// The console text of a results-file error line.
std::string console_text(const std::string& line) {
  for (auto [prefix, text] : {std::pair{"problem not found", "not found"},
                              {"too many activities", "too many act"},
                              {"> 2 dummies detected", "> 2 dummies"},
                              {"missing deadline file", "missing deadline file"},
                              {"invalid instance: ", "invalid instance"},
                              {"no deadline for", "no deadline"}})
    if (line.rfind(prefix, 0) == 0) return TABS + text;
  ADD_FAILURE() << "unknown error line " << line;
  return {};
}

struct BadFile {
  const char* file;
  const char* line;  // the results-file line after "\n    1  "
};

const BadFile BAD_FILES[] = {
    {"empty.rcp", "invalid instance: the file ends before the number of activities"},
    {"truncated.rcp", "invalid instance: the file ends before successor 1 of activity 2"},
    {"stray_text.rcp", "invalid instance: \"x3\" is not an integer (successor 2 of activity 1)"},
    {"decimal_point.rcp",
     "invalid instance: \"2.5\" is not an integer (the duration of activity 2)"},
    {"sign_only.rcp",
     "invalid instance: \"+\" is not an integer (the number of successors of activity 3)"},
    {"binary_bytes.rcp",
     "invalid instance: \"4??\" is not an integer (successor 1 of activity 2)"},
    {"above_int32.rcp",
     "invalid instance: 2147483648 does not fit a 32-bit integer (the capacity of resource 1)"},
    {"below_int32.rcp",
     "invalid instance: -2147483649 does not fit a 32-bit integer (the demand of activity 2 on "
     "resource 1)"},
    {"one_activity.rcp",
     "invalid instance: the instance has 1 activities; the two dummies are needed"},
    {"negative_resource_types.rcp",
     "invalid instance: the number of resource types is negative (-1)"},
    {"activities_129.rcp", "too many activities"},
    {"resource_types_5.rcp", "too many activities"},
    {"too_many_before_negative.rcp", "too many activities"},
    {"negative_duration.rcp", "invalid instance: the duration of activity 2 is negative (-2)"},
    {"negative_capacity.rcp", "invalid instance: the capacity of resource 1 is negative (-5)"},
    {"negative_requirement.rcp",
     "invalid instance: the demand of activity 3 on resource 1 is negative (-1)"},
    {"negative_successor_count.rcp",
     "invalid instance: activity 2 has a negative number of successors (-1)"},
    {"successor_out_of_range.rcp", "invalid instance: successor 5 of activity 2 is out of range"},
    {"successor_zero.rcp", "invalid instance: successor 0 of activity 2 is out of range"},
    {"successor_repeated.rcp", "invalid instance: activity 1 lists successor 3 twice"},
    {"successor_itself.rcp", "invalid instance: activity 2 lists itself as a successor"},
    {"first_duration.rcp",
     "invalid instance: the first activity (activity 1) has duration 1; it must be 0"},
    {"first_demand.rcp",
     "invalid instance: the first activity (activity 1) demands resource 1; it must demand "
     "nothing"},
    {"last_duration.rcp",
     "invalid instance: the last activity (activity 4) has duration 2; it must be 0"},
    {"last_demand.rcp",
     "invalid instance: the last activity (activity 4) demands resource 1; it must demand "
     "nothing"},
    {"cycle.rcp", "invalid instance: the successor lists form a cycle through activity 3"},
    {"arc_into_first.rcp",
     "invalid instance: the successor lists form a cycle through activity 1"},
    {"arc_out_of_last.rcp",
     "invalid instance: the successor lists form a cycle through activity 2"},
    {"duration_overflow.rcp",
     "invalid instance: the durations up to activity 2 sum to 2147483647, above the 100000 "
     "periods a deadline may "
     "have"},
    {"durations_above_limit.rcp",
     "invalid instance: the durations up to activity 3 sum to 100001, above the 100000 periods a "
     "deadline may have"},
    {"capacity_32768.rcp", "invalid instance: the capacity 32768 of resource 2 is above 32767"},
    {"demand_sum_32768.rcp",
     "invalid instance: the demands on resource 2 sum to 32768, above 32767"},
    {"zero_duration.rcp", "> 2 dummies detected"},
    {"trailing_garbage.rcp", "invalid instance: unexpected \"7\" after the last activity"},
    // Order of the checks when a file has several faults.
    {"zero_duration_before_bad_token.rcp", "> 2 dummies detected"},
    {"bad_token_before_zero_duration.rcp",
     "invalid instance: \"x\" is not an integer (the demand of activity 2 on resource 1)"},
    {"trailing_before_structure.rcp",
     "invalid instance: unexpected \"end\" after the last activity"},
    {"dummies_before_lanes.rcp",
     "invalid instance: the last activity (activity 4) demands resource 1; it must demand "
     "nothing"},
    {"lanes_before_cycle.rcp",
     "invalid instance: the capacity 40000 of resource 1 is above 32767"},
    {"cycle_before_reach.rcp",
     "invalid instance: the successor lists form a cycle through activity 4"},
};

TEST(ReaderCorpus, EveryBadFileGivesItsLineAndTheNextInstanceIsSolved) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(data_dir() / "bad")) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, static_cast<int>(std::size(BAD_FILES))) << "every corpus file needs a row here";
  for (const BadFile& bad : BAD_FILES) {
    SCOPED_TRACE(bad.file);
    ScopedWorkDir dir;
    std::filesystem::copy_file(data_dir() / "bad" / bad.file, "t1.rcp");
    write_text("t2.rcp", TINY);
    write_text("deadline.t", "1 1 5\n2 2 6\n");
    const ConsoleRun run = run_console_with(answers("t", 1, 2));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(slurp("output.out"), RESULTS_HEAD + "\n    1  " + bad.line + tiny_result(2, true));
    EXPECT_EQ(run.console, CONSOLE_HEAD + "\n   1 " + console_text(bad.line) + "\n   2 " +
                               tiny_result(2, false) + CREDITS);
    EXPECT_EQ(slurp("info.out"), INFO_HEAD + info_record(2, 6, 3, 0));
  }
}

// Deadline-file faults: each row gives the files of a run over instances
// 1 and 2 and the expected line of each (empty: solved as TINY).
struct DeadlineCase {
  const char* name;
  std::optional<std::string> deadline_file;
  bool instances_present;
  int offset;
  const char* line1;
  const char* line2;
};

TEST(ReaderDeadline, FaultsAreReportedPerInstance) {
  const DeadlineCase cases[] = {
      {"missing file, instances present", std::nullopt, true, 0, "missing deadline file",
       "missing deadline file"},
      {"missing file before missing instance", std::nullopt, false, 0, "missing deadline file",
       "missing deadline file"},
      {"deadline present, instances missing", "1 1 5 2 2 6", false, 0, "problem not found",
       "problem not found"},
      {"too few triples", "1 1 5\n2 2", true, 0, "", "no deadline for this instance"},
      {"empty file", "", true, 0, "no deadline for this instance",
       "no deadline for this instance"},
      {"non-integer", "1 1 5\n2 x 6\n", true, 0, "", "no deadline for this instance"},
      {"value above 32 bits", "1 1 5\n2 2 4294967296\n", true, 0, "",
       "no deadline for this instance"},
      {"above 100000 with the offset", "1 1 99996\n2 2 99995\n", true, 5,
       "no deadline for this instance", ""},
      {"triple 4 9 40, offset 5", "4 9 40\n1 1 7\n", true, 5, "", ""},
  };
  for (const DeadlineCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedWorkDir dir;
    if (c.instances_present) {
      write_text("t1.rcp", TINY);
      write_text("t2.rcp", TINY);
    }
    if (c.deadline_file) write_text("deadline.t", *c.deadline_file);
    const ConsoleRun run = run_console_with(answers("t", 1, 2, 0, c.offset));
    EXPECT_EQ(run.status, 0);
    std::string results = RESULTS_HEAD;
    std::string console = CONSOLE_HEAD;
    for (int number : {1, 2}) {
      const std::string line = number == 1 ? c.line1 : c.line2;
      const std::string tag = number == 1 ? "\n   1 " : "\n   2 ";
      results += line.empty() ? tiny_result(number, true)
                              : "\n    " + std::to_string(number) + "  " + line;
      console += tag + (line.empty() ? tiny_result(number, false) : console_text(line));
    }
    EXPECT_EQ(slurp("output.out"), results);
    EXPECT_EQ(run.console, console + CREDITS);
  }
}

TEST(ReaderDeadline, InstanceNumberPicksTheTripleAndTheRecordShowsTheDeadline) {
  ScopedWorkDir dir;
  for (const char* name : {"t-1.rcp", "t0.rcp", "t2.rcp", "t3.rcp"}) write_text(name, TINY);
  // third triple gives 100000 with the offset
  write_text("deadline.t", "4 9 40\n1 1 7\n\n1\t1\n99995\n");
  const ConsoleRun run = run_console_with(answers("t", -1, 3, 0, 5));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(slurp("info.out"), INFO_HEAD + info_record(-1, 45, 3, 0) + info_record(0, 45, 3, 0) +
                                   info_record(2, 12, 3, 0) + info_record(3, 100000, 3, 0));
  EXPECT_EQ(slurp("output.out"), RESULTS_HEAD + tiny_result(-1, true) + tiny_result(0, true) +
                                     "\n    1  problem not found" + tiny_result(2, true) +
                                     tiny_result(3, true));
}

TEST(ReaderDeadline, ParseTable) {
  struct Row {
    const char* text;
    int number, offset;
    FileFault fault;
    int deadline;
  };
  const Row rows[] = {
      {"1 2 3 4 5 6 7 8 9", 1, 0, FileFault::none, 3},
      {"1 2 3 4 5 6 7 8 9", 3, 0, FileFault::none, 9},
      {"1 2 3 4 5 6 7 8 9", 0, 0, FileFault::none, 3},
      {"1 2 3 4 5 6 7 8 9", -7, 2, FileFault::none, 5},
      {"1 2 3 4 5 6 7 8 9", 4, 0, FileFault::no_deadline, 0},
      {"+1\r\n-2\t+30 ", 1, -4, FileFault::none, 26},
      {"0 0 100000", 1, 0, FileFault::none, 100000},
      {"0 0 100000", 1, 1, FileFault::deadline_above_limit, 0},
      {"0 0 2147483647", 1, 2147483647, FileFault::deadline_above_limit, 0},
      {"0 0 3.0", 1, 0, FileFault::no_deadline, 0},
      {"0 0", 1, 0, FileFault::no_deadline, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.text) + " #" + std::to_string(row.number));
    int deadline = 0;
    const FileOutcome outcome = parse_deadline_text(row.text, row.number, row.offset, deadline);
    EXPECT_EQ(outcome.fault, row.fault);
    EXPECT_EQ(outcome.ok() ? deadline : 0, row.deadline);
  }
}

// Instances exactly at the limits are accepted.
TEST(ReaderLimits, BoundaryInstancesAreAccepted) {
  std::string chain = "128 4\n1 1 1 32767\n0 0 0 0 0 1 2\n";  // 128 activities in a chain, 4 types
  for (int j = 2; j <= 127; ++j)
    chain +=
        "1 0 0 0 " + std::string(j == 2 ? "32767" : "0") + " 1 " + std::to_string(j + 1) + "\n";
  chain += "0 0 0 0 0 0\n";
  const std::pair<const char*, std::string> accepted[] = {
      {"128 activities, 4 types, capacity and demand sum 32767", chain},
      {"two dummies, no resources", "2 0\n0 1 2\n0 0\n"},
      {"signs, tabs and CRLF line ends", "3\t1\r\n+2\r\n+0 0 1 +2\r\n2 1 1 3\r\n-0 0 0\r\n"},
      {"demands summing to the limit", "4 1\n32767\n0 0 2 2 3\n1 16384 1 4\n1 16383 1 4\n0 0 0\n"},
      {"durations summing to the deadline limit", "4 0\n0 2 2 3\n50000 1 4\n50000 1 4\n0 0\n"},
  };
  for (const auto& [name, text] : accepted) {
    SCOPED_TRACE(name);
    InstanceData data;
    const FileOutcome outcome = parse_instance_text(text, data);
    EXPECT_TRUE(outcome.ok()) << outcome.message;
  }
}

// Dangling ends: an activity without a successor is made to precede the last
// activity, one without a predecessor to follow the first; the file's own
// arcs keep their order and the added ones come last.
TEST(ReaderDangling, OpenEndsAreClosedAndNamed) {
  struct Case {
    const char* name;
    const char* text;
    std::vector<std::vector<int>> successors;  // model numbering
    const char* note;
  };
  const Case cases[] = {
      {"no successor",
       "4 1\n5\n0 0 2 2 3\n2 3 1 4\n3 2 0\n0 0 0\n",
       {{1, 2}, {3}, {3}, {}},
       "activity 3 without a successor now precedes the last activity"},
      {"no predecessor",
       "4 1\n5\n0 0 1 2\n2 3 1 4\n3 2 1 4\n0 0 0\n",
       {{1, 2}, {3}, {3}, {}},
       "activity 3 without a predecessor now follows the first activity"},
      {"both, and an isolated activity",
       "5 0\n0 1 2\n1 0\n1 1 5\n1 0\n0 0\n",
       {{1, 2, 3}, {4}, {4}, {4}, {}},
       "activities 2 and 4 without a successor now precede the last activity; activities 3 and 4 "
       "without a "
       "predecessor now follow the first activity"},
      {"two dummies alone",
       "2 0\n0 0\n0 0\n",
       {{1}, {}},
       "activity 1 without a successor now precedes the last activity"},
      {"closed network", "3 0\n0 1 2\n1 1 3\n0 0\n", {{1}, {2}, {}}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InstanceData data;
    const FileOutcome outcome = parse_instance_text(c.text, data);
    ASSERT_TRUE(outcome.ok()) << outcome.message;
    EXPECT_EQ(data.successors, c.successors);
    EXPECT_EQ(outcome.note, c.note);
  }
  // The file reader names the file in the note and prints nothing: each
  // program says it in its own name (the console's words in test_console).
  ScopedWorkDir dir;
  write_text("t1.rcp", cases[0].text);
  InstanceData data;
  testing::internal::CaptureStderr();
  const FileOutcome read = read_instance_file("t1.rcp", data);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_TRUE(read.ok());
  EXPECT_EQ(read.note, "t1.rcp: activity 3 without a successor now precedes the last activity");
}

// Patterson's pat3 lists no successor for activity 7; it is solved, to the
// value the reference gives for its cash flows (checked in test_reference).
TEST(ReaderDangling, Pat3IsRead) {
  InstanceData data;
  const std::string path = (data_dir() / "pat" / "pat3.rcp").string();
  const FileOutcome outcome = read_instance_file(path, data);
  ASSERT_TRUE(outcome.ok()) << outcome.message;
  EXPECT_EQ(outcome.note,
            path + ": activity 7 without a successor now precedes the last activity");
}

// Every reader fails alike on a file that is not there, naming it, and the
// reader of either form words a refused instance as a batch row does, by the
// kind of fault.
TEST(ReaderFaults, MissingFilesAndRefusedInstancesByKind) {
  ScopedWorkDir dir;
  InstanceData data;
  std::string text;
  int deadline = 0;
  InfoRecords records;
  std::map<std::string, int> table;
  const struct {
    const char* reader;
    FileOutcome outcome;
    FileFault fault;
    std::string message;
  } rows[] = {
      {"text", read_text_file("none", text), FileFault::cannot_open, "cannot open none"},
      {"instance", read_instance_file("n.rcp", data), FileFault::cannot_open, "cannot open n.rcp"},
      {"either form", read_any_instance_file("n.sm", data), FileFault::cannot_open,
       "cannot open n.sm"},
      {"psplib", read_psplib_file("n.sm", data), FileFault::cannot_open, "cannot open n.sm"},
      {"deadline", read_deadline_file("deadline.n", 1, 0, deadline), FileFault::no_deadline_file,
       "cannot open deadline.n"},
      {"both files", read_instance_files("n", 1, 0, data), FileFault::no_deadline_file,
       "cannot open deadline.n"},
      {"info", read_info_file("info.n", records), FileFault::cannot_open, "cannot open info.n"},
      {"makespans", read_makespan_table("n.txt", table), FileFault::cannot_open,
       "cannot open n.txt"},
      {"writer", write_text_file("no-dir/n.txt", "x"), FileFault::cannot_write,
       "cannot write no-dir/n.txt: No such file or directory"},
      {"too many",
       read_any_instance_file((data_dir() / "bad" / "activities_129.rcp").string(), data),
       FileFault::too_many, "too many activities"},
      {"dummies",
       read_any_instance_file((data_dir() / "bad" / "zero_duration.rcp").string(), data),
       FileFault::dummies, "> 2 dummies detected"},
      {"cycle", read_any_instance_file((data_dir() / "bad" / "cycle.rcp").string(), data),
       FileFault::invalid,
       "invalid instance: the successor lists form a cycle through activity 3"},
      {"multi-mode", read_any_instance_file((data_dir() / "psplib" / "multi.mm").string(), data),
       FileFault::invalid,
       "line 11: job 2 has 2 modes; only single-mode files (.sm) can be converted"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.reader);
    EXPECT_EQ(row.outcome.fault, row.fault);
    EXPECT_EQ(row.outcome.message, row.message);
    EXPECT_EQ(row.outcome.note, "");
  }
}

}  // namespace
}  // namespace rcpspdc::test
