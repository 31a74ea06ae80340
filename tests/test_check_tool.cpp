// rcpspdc-check: a listing from a console run passes with the value the
// program found; tampered listings fail with the faults named; a hand-made
// instance gets a byte-exact report; bad usage and files exit with 2.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <tuple>

#include <nlohmann/json.hpp>

#include "formats/batch_csv.hpp"
#include "formats/instance_file.hpp"
#include "formats/schedule_file.hpp"
#include "tests/console_harness.hpp"
#include "tests/fake_platform.hpp"
#include "tests/test_support.hpp"
#include "tools/batch_options.hpp"
#include "tools/batch_run.hpp"
#include "tools/check_schedule_files.hpp"

namespace rcpspdc::test {
namespace {

struct Checked {
  int status = 0;
  std::string out;
  std::string err;
};

// As the program does: parse, then check.
Checked check(const std::vector<std::string>& args) {
  const CheckOptionsOutcome parsed = parse_check_options(args);
  if (!parsed.ok()) return {2, "", parsed.error};
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  Checked result;
  result.status = run_check(parsed.options, out, err);
  result.out = read_all(out);
  result.err = read_all(err);
  std::fclose(out);
  std::fclose(err);
  return result;
}

std::vector<std::string> pat_args(const std::string& schedule) {
  return {"--instance", "pat5.rcp", "--deadline-file", "deadline.pat", "--offset", "5",
          "--rate",     "0.01",     "--cash-flows",    "info.out",     "--number", "5",
          "--schedule", schedule};
}

// The listing with activity `activity`'s finish time replaced.
std::string tampered(const std::string& listing, int activity, int finish) {
  std::istringstream in(listing);
  std::string text;
  for (std::string line; std::getline(in, line);) {
    int number = 0;
    if (std::sscanf(line.c_str(), "Act. %d:", &number) == 1 && number == activity)
      line = "Act. " + std::to_string(activity) + ": einde " + std::to_string(finish);
    text += line + '\n';
  }
  return text;
}

// A single-instance console run of Patterson 5 at offset 5 lists a schedule;
// the checker accepts it in both forms and values it as the search did.
TEST(CheckTool, AcceptsTheConsoleListingAndCatchesTampering) {
  ScopedWorkDir dir;
  for (const char* name : {"pat5.rcp", "deadline.pat"})
    std::filesystem::copy_file(data_dir() / "pat" / name, name);
  ASSERT_EQ(run_console_with(answers("pat", 5, 5, 60, 5)).status, 0);
  const std::string listing = slurp("output.out");
  ASSERT_NE(listing.find("Act. 2: einde"), std::string::npos) << listing;

  // The search's own value in full precision, by the batch runner on the same flows.
  const OptionsOutcome batch =
      parse_batch_options({"--problem", "pat", "--first", "5", "--offset", "5", "--cash-flows",
                           "info.out", "--time-limit", "10"});
  auto workspace = std::make_unique<Workspace>();
  InfoRecords records;
  const FileOutcome read = read_info_file("info.out", records);
  ASSERT_TRUE(read.ok()) << read.message;
  const BatchRow replay = solve_one(batch.options, &records, 5, *workspace);
  ASSERT_EQ(replay.status, "optimal");
  char value[96];
  std::snprintf(value, sizeof value, "net present value: %.2f (%.17g)\n", replay.npv, replay.npv);

  const Checked good = check(pat_args("output.out"));
  EXPECT_EQ(good.status, 0) << good.out << good.err;
  EXPECT_NE(good.out.find(value), std::string::npos) << good.out;
  EXPECT_NE(good.out.find(" matches\nfeasible\n"), std::string::npos) << good.out;
  EXPECT_EQ(good.out.find("violated"), std::string::npos);

  // The same finish times as a CSV, against the deadline given directly.
  InstanceData d;
  ASSERT_TRUE(read_instance_files("pat", 5, 5, d).ok());
  std::string csv = "activity,finish\n";
  std::vector<int> finish(static_cast<std::size_t>(d.activity_count), 0);
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    int number = 0, at = 0;
    if (std::sscanf(line.c_str(), "Act. %d: einde %d", &number, &at) != 2) continue;
    csv += std::to_string(number) + ", " + std::to_string(at) + "\n";
    finish.at(static_cast<std::size_t>(number - 1)) = at;
  }
  write_text("schedule.csv", csv);
  std::vector<std::string> args = pat_args("schedule.csv");
  args.erase(args.begin() + 2, args.begin() + 6);
  for (const std::string& extra : {std::string("--deadline"), std::to_string(d.deadline)})
    args.push_back(extra);
  const Checked from_csv = check(args);
  EXPECT_EQ(from_csv.status, 0) << from_csv.out << from_csv.err;
  EXPECT_NE(from_csv.out.find(std::string(value) + "feasible\n"), std::string::npos)
      << from_csv.out;

  // Tampering: an activity starting before a predecessor finishes, the
  // latest activity pushed past the deadline, and a wrong listed value.
  int p = 0, s = 0;
  for (int a = 1; a < d.activity_count - 1 && s == 0; ++a)
    for (const int b : d.successors[static_cast<std::size_t>(a)])
      if (b < d.activity_count - 1) p = a, s = b;
  ASSERT_GT(s, 0);
  const int early =
      finish[static_cast<std::size_t>(p)] + d.duration[static_cast<std::size_t>(s)] - 1;
  const int latest =
      static_cast<int>(std::max_element(finish.begin(), finish.end()) - finish.begin());
  char fault[160];
  std::snprintf(fault, sizeof fault,
                "violated: activity %d starts at %d, before its predecessor activity %d "
                "finishes at %d\n",
                s + 1, early - d.duration[static_cast<std::size_t>(s)], p + 1,
                finish[static_cast<std::size_t>(p)]);
  const struct {
    std::string listing;
    std::string says;
  } bad[] = {
      {tampered(listing, s + 1, early), fault},
      {tampered(listing, latest + 1, d.deadline + 1),
       "violated: activity " + std::to_string(latest + 1) + " finishes at " +
           std::to_string(d.deadline + 1) + ", after the deadline " + std::to_string(d.deadline) +
           "\n"},
      {listing.substr(0, listing.find("Solution:")) + "Solution: 12.34" +
           listing.substr(listing.rfind(',')),
       "the listing's value 12.34 does NOT match\nfeasible, but the listed value is wrong\n"},
  };
  for (const auto& b : bad) {
    write_text("tampered.out", b.listing);
    const Checked result = check(pat_args("tampered.out"));
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find(b.says), std::string::npos) << "wanted: " << b.says << "\nin:\n"
                                                          << result.out;
  }
}

// Two real activities that together overload the single resource in period 2.
// Every schedule of a batch run's JSON Lines passes the checker, for both
// engines; a line with one finish time moved past the deadline fails.
TEST(CheckTool, RechecksBatchJsonLines) {
  ScopedWorkDir dir;
  std::filesystem::copy_file(data_dir() / "pat" / "deadline.pat", "deadline.pat");
  for (const int n : {1, 2, 3, 4, 5})
    std::filesystem::copy_file(data_dir() / "pat" / ("pat" + std::to_string(n) + ".rcp"),
                               "pat" + std::to_string(n) + ".rcp");
  for (const char* engine : {"delaying", "start-times"}) {
    SCOPED_TRACE(engine);
    const OptionsOutcome parsed =
        parse_batch_options({"--problem", "pat", "--first", "1", "--last", "5", "--offset", "2",
                             "--engine", engine, "--json", "run.jsonl", "--quiet"});
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    fake_clock_step = 0;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(run_batch(parsed.options, out, err, false), 0);
    EXPECT_EQ(read_all(out), "");  // --quiet
    EXPECT_EQ(read_all(err), "");
    std::fclose(out);
    std::fclose(err);
    std::istringstream lines(slurp("run.jsonl"));
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    const nlohmann::json head = nlohmann::json::parse(line);
    EXPECT_EQ(head.at("engine"), nlohmann::json::array({engine}));
    EXPECT_EQ(head.at("offset"), nlohmann::json::array({2}));
    EXPECT_EQ(head.at("seed"), 1);
    for (int n = 1; n <= 5; ++n) {
      const Checked good = check({"--json", "run.jsonl", "--number", std::to_string(n)});
      EXPECT_EQ(good.status, 0) << good.out << good.err;
      EXPECT_NE(good.out.find("matches\nfeasible\n"), std::string::npos) << good.out;
    }
    // Activity 2 of instance 3 moved past the deadline.
    std::string moved;
    for (int n = 1; std::getline(lines, line); ++n) {
      nlohmann::ordered_json object = nlohmann::ordered_json::parse(line);
      if (n == 3) object["finish"][1] = object["deadline"].get<int>() + 1;
      moved += object.dump() + "\n";
    }
    ASSERT_TRUE(write_text_file("moved.jsonl", moved).ok());
    const Checked bad = check({"--json", "moved.jsonl", "--number", "3"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find("INFEASIBLE"), std::string::npos) << bad.out;
    EXPECT_EQ(check({"--json", "moved.jsonl", "--number", "4"}).status, 0);
    EXPECT_EQ(check({"--json", "moved.jsonl", "--number", "9"}).err,
              "rcpspdc-check: moved.jsonl, no object for instance 9\n");
    EXPECT_EQ(check({"--json", "moved.jsonl"}).err, "--json needs --number (see --help)");
  }
}

// A run on PSPLIB files is checked again by content, not as the program's
// own form; a line never solved, or tampered with (a finish of 6.5 or 1e12),
// is refused with a message of its own.
TEST(CheckTool, RechecksSmRunsAndRefusesUnsolvedOrTamperedLines) {
  ScopedWorkDir dir;
  std::filesystem::copy_file(data_dir() / "psplib" / "small.sm", "small.sm");
  const OptionsOutcome parsed = parse_batch_options(
      {"small.sm", "gone.sm", "--offset", "6", "--json", "run.jsonl", "--quiet"});
  ASSERT_TRUE(parsed.ok()) << parsed.error;
  fake_clock_step = 0;
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(run_batch(parsed.options, out, err, false), 1);
  std::fclose(out);
  std::fclose(err);
  const Checked good = check({"--json", "run.jsonl", "--number", "1"});
  EXPECT_EQ(good.status, 0) << good.err;
  EXPECT_NE(good.out.find("matches\nfeasible\n"), std::string::npos) << good.out;
  const Checked unsolved = check({"--json", "run.jsonl", "--number", "2"});
  EXPECT_EQ(unsolved.status, 2);
  EXPECT_EQ(unsolved.err,
            "rcpspdc-check: run.jsonl, line 3: instance 2 was not solved: cannot open gone.sm\n");
  std::istringstream lines(slurp("run.jsonl"));
  std::string head;
  std::string line;
  ASSERT_TRUE(std::getline(lines, head));
  ASSERT_TRUE(std::getline(lines, line));
  for (const char* finish : {"6.5", "1e12", "1000000000000", "-3", "100001", "\"4\""}) {
    nlohmann::ordered_json object = nlohmann::ordered_json::parse(line);
    object["finish"][1] = nlohmann::ordered_json::parse(finish);
    write_text("tampered.jsonl", head + "\n" + object.dump() + "\n");
    const Checked tampered = check({"--json", "tampered.jsonl", "--number", "1"});
    EXPECT_EQ(tampered.status, 2) << finish;
    EXPECT_EQ(tampered.err,
              "rcpspdc-check: tampered.jsonl, line 2: \"finish\" is not a list of whole numbers "
              "from 0 to 100000\n")
        << finish;
  }
  nlohmann::ordered_json object = nlohmann::ordered_json::parse(line);
  object["cash_flows"][1] = 2.5;
  write_text("tampered.jsonl", head + "\n" + object.dump() + "\n");
  EXPECT_EQ(check({"--json", "tampered.jsonl", "--number", "1"}).err,
            "rcpspdc-check: tampered.jsonl, line 2: \"cash_flows\" is not a list of whole "
            "numbers\n");
}

TEST(CheckTool, ReportsEveryFaultOfAHandMadeSchedule) {
  ScopedWorkDir dir;
  write_text("tiny.rcp", "5 1\n2\n0 0 2 2 3\n2 2 1 4\n3 1 1 5\n1 1 1 5\n0 0 0\n");
  write_text("info.out",
             INFO_HEAD + "\n    1        10     (1 / 100)   (2 / -50)   (3 / 80)   \n");
  write_text("good.csv", "2,2\n3,5\n4,3\n");
  write_text("bad.csv", "activity,finish\n2,2\n3,4\n4,2\n");
  const std::vector<std::string> common = {"--instance",   "tiny.rcp", "--rate",   "0.01",
                                           "--cash-flows", "info.out", "--number", "1",
                                           "--deadline"};
  auto args = [&common](const std::string& deadline, const std::string& schedule) {
    std::vector<std::string> all = common;
    all.insert(all.end(), {deadline, "--schedule", schedule});
    return all;
  };
  char value[64];
  std::snprintf(value, sizeof value, "%.2f",
                100 * std::exp(-0.02) - 50 * std::exp(-0.05) + 80 * std::exp(-0.03));
  const Checked good = check(args("10", "good.csv"));
  EXPECT_EQ(good.status, 0);
  EXPECT_EQ(good.out.substr(0, good.out.find(" (")),
            "instance tiny.rcp: 5 activities, 1 resources, deadline 10, rate 0.01\n"
            "schedule good.csv: the last activity finishes at 5\n"
            "net present value: " +
                std::string(value));

  // Without a deadline the record's own is taken; one that differs from it is refused.
  std::vector<std::string> own = args("10", "good.csv");
  own.erase(own.begin() + 8, own.begin() + 10);
  EXPECT_EQ(check(own).out, good.out);
  const Checked other = check(args("12", "good.csv"));
  EXPECT_EQ(other.status, 2);
  EXPECT_EQ(other.err,
            "rcpspdc-check: record 1 of info.out has the deadline 10, --deadline gives 12\n");
  write_text("info.out",
             INFO_HEAD + "\n    1         3     (1 / 100)   (2 / -50)   (3 / 80)   \n");
  const Checked bad = check(args("3", "bad.csv"));
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.out.substr(0, bad.out.find("net present")),
            "instance tiny.rcp: 5 activities, 1 resources, deadline 3, rate 0.01\n"
            "schedule bad.csv: the last activity finishes at 4\n"
            "violated: activity 3 finishes at 4, after the deadline 3\n"
            "violated: activity 5 finishes at 4, after the deadline 3\n"
            "violated: activity 4 starts at 1, before its predecessor activity 2 finishes at 2\n"
            "violated: resource 1 is loaded 4 in period 2, above its capacity 2\n");
  EXPECT_EQ(bad.out.substr(bad.out.rfind('\n', bad.out.size() - 2) + 1),
            "INFEASIBLE: 4 violations\n");
}

TEST(CheckTool, BadUsageAndUnusableFilesExitWithTwo) {
  ScopedWorkDir dir;
  write_text("tiny.rcp", "5 1\n2\n0 0 2 2 3\n2 2 1 4\n3 1 1 5\n1 1 1 5\n0 0 0\n");
  write_text("deadline.x", "1 1 7\n");
  write_text("info.out", INFO_HEAD +
                             "\n    1        10     (1 / 100)   (2 / -50)   (3 / 80)   \n"
                             "    2        10     (1 / 100)   \n");
  for (const auto& [name, text] : std::vector<std::pair<std::string, std::string>>{
           {"missing.csv", "2,2\n4,3\n"},
           {"twice.csv", "2,2\n3,5\n2,3\n4,3\n"},
           {"range.csv", "2,2\n3,5\n4,3\n6,1\n"},
           {"words.csv", "2,2\n3,five\n"},
           {"act.out", "Act. 2: einde 2\nAct. 3: ende 5\n"},
           {"huge.csv", "2,2\n3,1000000000\n4,3\n"}})
    write_text(name, text);
  const std::vector<std::string> base = {"--instance", "tiny.rcp",     "--rate",
                                         "0.01",       "--cash-flows", "info.out"};
  const struct {
    const char* extra;
    const char* says;
  } cases[] = {
      {"--number 1 --deadline 9", "missing --schedule"},
      {"--schedule x --deadline 9", "missing --number"},
      {"--number 1 --schedule x --deadline-file deadline.x",
       "record 1 of info.out has the "
       "deadline 10, --deadline-file gives 7"},
      {"--number 1 --schedule huge.csv",
       "line 2: finish time 1000000000 of activity 3 is not "
       "from 0 to 100000"},
      {"--number 1 --schedule x --deadline 9 --deadline-file d", "either --deadline or"},
      {"--number 1 --schedule x --deadline 9 --offset 2", "--offset goes with --deadline-file"},
      {"--number 1 --schedule x --deadline -1", "--deadline \"-1\": expected a whole number"},
      {"--number 1 --schedule x --deadline 9 --rate -1", "a rate of 0 or more"},
      {"--number 1 --schedule x --deadline 9 --jobs 2", "unknown option --jobs"},
      {"--number 1 --schedule nowhere.csv --deadline 10", "cannot open nowhere.csv"},
      {"--number 3 --schedule missing.csv --deadline 9", "info.out has no record of instance 3"},
      {"--number 2 --schedule missing.csv --deadline 9",
       "has 1 cash flows; tiny.rcp has 3 real activities"},
      {"--number 2 --schedule x --deadline-file deadline.x",
       "deadline.x: no deadline for instance 2"},
      {"--number 2 --schedule x --deadline-file deadline.y", "cannot open deadline.y"},
      {"--number 1 --schedule missing.csv --deadline 10", "no finish time for activity 3 of 2..4"},
      {"--number 1 --schedule twice.csv --deadline 10",
       "line 3: activity 2 was given a finish time on line 1"},
      {"--number 1 --schedule range.csv --deadline 10",
       "line 4: activity 6 is not one of the instance's 1..5"},
      {"--number 1 --schedule words.csv --deadline 10",
       "words.csv, line 2: expected \"activity,finish\""},
      {"--number 1 --schedule act.out --deadline 10",
       "act.out, line 2: expected \"Act. <activity>: einde"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = base;
    std::istringstream words(c.extra);
    for (std::string word; words >> word;) args.push_back(word);
    const Checked result = check(args);
    EXPECT_EQ(result.status, 2) << c.says;
    EXPECT_NE(result.err.find(c.says), std::string::npos)
        << "error: " << result.err << "\nwanted: " << c.says;
    EXPECT_EQ(result.out, "");
  }
  Checked missing_instance = check({"--instance", "none.rcp", "--deadline", "9", "--rate", "0",
                                    "--cash-flows", "i", "--number", "1", "--schedule", "s"});
  EXPECT_EQ(missing_instance.status, 2);
  EXPECT_EQ(missing_instance.err, "rcpspdc-check: cannot open none.rcp\n");
  EXPECT_TRUE(parse_check_options({"--help"}).options.help);
}

}  // namespace
}  // namespace rcpspdc::test

namespace rcpspdc::test {
namespace {

// rcpspdc-check --all passes every line of a grid run, on a series and on
// instance files, and fails a run with one tampered line, naming it.
TEST(CheckTool, AllLinesOfARunAndOneTamperedLine) {
  ScopedWorkDir dir;
  for (const char* name : {"deadline.pat", "pat1.rcp", "pat2.rcp", "pat3.rcp"})
    std::filesystem::copy_file(data_dir() / "pat" / name, name);
  const auto run = [](const std::vector<std::string>& args) {
    const OptionsOutcome parsed = parse_batch_options(args);
    EXPECT_TRUE(parsed.ok()) << parsed.error;
    fake_clock_step = 0;
    return run_batch(parsed.options, stdout, stderr, false);
  };
  ASSERT_EQ(run({"--problem", "pat", "--first", "1", "--last", "3", "--offset", "0,4", "--engine",
                 "start-times,delaying", "--json", "run.jsonl", "--quiet"}),
            0);
  ASSERT_EQ(run({"pat1.rcp", "pat2.rcp", "--deadline-factor", "1.5", "--json", "files.jsonl",
                 "--quiet"}),
            0);
  const auto check = [](const std::string& path, std::string& said) {
    const CheckOptionsOutcome parsed = parse_check_options({"--json", path, "--all"});
    EXPECT_TRUE(parsed.ok()) << parsed.error;
    std::FILE* out = std::tmpfile();
    const int status = run_check(parsed.options, out, stderr);
    said = read_all(out);
    std::fclose(out);
    return status;
  };
  std::string said;
  EXPECT_EQ(check("run.jsonl", said), 0) << said;
  EXPECT_EQ(said, "run.jsonl: 12 rows checked, 12 optimal, 0 not solved by the run; 0 failures\n");
  EXPECT_EQ(check("files.jsonl", said), 0) << said;
  // One line changed at a time: each is caught, and only it.
  const std::string text = slurp("run.jsonl");
  const std::size_t line7 = [&text] {
    std::size_t at = 0;
    for (int k = 0; k < 6; ++k) at = text.find('\n', at) + 1;
    return at;
  }();
  const std::size_t end7 = text.find('\n', line7);
  const std::string seventh = text.substr(line7, end7 - line7);
  const nlohmann::ordered_json original = nlohmann::ordered_json::parse(seventh);
  for (const auto& [key, value] : {std::pair<std::string, nlohmann::ordered_json>{
                                       "deadline", original["deadline"].get<int>() + 1},
                                   {"value", original["value"].get<double>() + 0.01},
                                   {"status", "infeasible"},
                                   {"offset", 3},
                                   {"bound", original["value"].get<double>() - 1.0}}) {
    nlohmann::ordered_json tampered = original;
    tampered[key] = value;
    write_text("tampered.jsonl", text.substr(0, line7) + tampered.dump() + text.substr(end7));
    EXPECT_EQ(check("tampered.jsonl", said), 1) << key;
    EXPECT_EQ(said.rfind("line 7: instance 2: ", 0), 0u) << key << ": " << said;
    EXPECT_NE(said.find("; 1 failure\n"), std::string::npos) << said;
  }
  nlohmann::ordered_json moved = original;
  moved["finish"][1] = moved["finish"][1].get<int>() + 1;
  write_text("tampered.jsonl", text.substr(0, line7) + moved.dump() + text.substr(end7));
  EXPECT_EQ(check("tampered.jsonl", said), 1);
  // A header whose names are not text is a failing line, not a crash.
  const std::size_t end1 = text.find('\n');
  nlohmann::ordered_json header = nlohmann::ordered_json::parse(text.substr(0, end1));
  header["problem"] = 7;
  write_text("tampered.jsonl", header.dump() + text.substr(end1));
  EXPECT_EQ(check("tampered.jsonl", said), 1);
  EXPECT_NE(said.find("line 1: "), std::string::npos) << said;
  EXPECT_FALSE(parse_check_options({"--json", "x", "--all", "--number", "1"}).ok());
  EXPECT_FALSE(parse_check_options({"--all"}).ok());
}

}  // namespace
}  // namespace rcpspdc::test

namespace rcpspdc::test {
namespace {

// A run its node limit stops: the rows say "node limit" in the CSV and the
// JSON Lines, and so do the summary, the report and the checker's count. A
// line that names a limit its run did not set, or stops below its node
// limit, fails the check.
TEST(CheckTool, NodeLimitRowsSayWhatStoppedThem) {
  ScopedWorkDir dir;
  for (const char* name : {"deadline.pat", "pat11.rcp", "pat12.rcp"})
    std::filesystem::copy_file(data_dir() / "pat" / name, name);
  const auto batch = [](const std::vector<std::string>& args) {
    const OptionsOutcome parsed = parse_batch_options(args);
    EXPECT_TRUE(parsed.ok()) << parsed.error;
    fake_clock_step = 0;
    std::FILE* out = std::tmpfile();
    EXPECT_EQ(run_batch(parsed.options, out, stderr, false), 0);
    const std::string said = read_all(out);
    std::fclose(out);
    return said;
  };
  // Either engine stops on pat12 within 10 nodes and proves pat11.
  const std::string summary = batch(
      {"--problem", "pat", "--first", "11", "--last", "12", "--engine", "start-times,delaying",
       "--time-limit", "0", "--node-limit", "10", "--csv", "run.csv", "--json", "run.jsonl"});
  EXPECT_NE(summary.find("stopped by the time limit                    0\n"
                         "stopped by the node limit                    2\n"),
            std::string::npos)
      << summary;
  std::istringstream csv(slurp("run.csv"));
  std::vector<std::string> statuses;
  for (std::string line; std::getline(csv, line);) {
    std::vector<std::string> fields;
    ASSERT_TRUE(split_csv_line(line, fields));
    statuses.push_back(fields[0] + " " + fields[8] + " " + fields[11] + " " + fields[20]);
  }
  EXPECT_EQ(statuses, (std::vector<std::string>{
                          "number status engine node_limit", "11 optimal start-times 10",
                          "11 optimal delaying 10", "12 node limit start-times 10",
                          "12 node limit delaying 10"}));
  const std::string report = batch({"--report", "run.jsonl", "--format", "csv"});
  EXPECT_NE(report.find(",start-times,+0,0.01,60,1,,,0,10,2,1,1,0,1,0,0,"), std::string::npos)
      << report;
  EXPECT_NE(report.find(",delaying,+0,0.01,60,1,,,0,10,2,1,1,0,"), std::string::npos) << report;
  Checked checked = check({"--json", "run.jsonl", "--all"});
  EXPECT_EQ(checked.status, 0) << checked.out;
  EXPECT_EQ(checked.out,
            "run.jsonl: 4 rows checked, 2 node limit, 2 optimal, 0 not solved by the run; 0 "
            "failures\n");
  // The line of pat12 by the start-time search, changed one way at a time.
  const std::string text = slurp("run.jsonl");
  std::size_t line4 = 0;
  for (int k = 0; k < 3; ++k) line4 = text.find('\n', line4) + 1;
  const std::size_t end4 = text.find('\n', line4);
  const nlohmann::ordered_json original =
      nlohmann::ordered_json::parse(text.substr(line4, end4 - line4));
  ASSERT_EQ(original["status"], "node limit");
  for (const auto& [key, value, says] :
       {std::tuple<std::string, nlohmann::ordered_json, std::string>{
            "node_limit", nullptr, "node limit, but the run had none"},
        {"created_nodes", 9, "node limit at 9 nodes, below the limit 10"},
        {"status", "time limit", "time limit, but the run had none"}}) {
    nlohmann::ordered_json changed = original;
    changed[key] = value;
    write_text("changed.jsonl", text.substr(0, line4) + changed.dump() + text.substr(end4));
    checked = check({"--json", "changed.jsonl", "--all"});
    EXPECT_EQ(checked.status, 1) << key;
    EXPECT_EQ(checked.out.rfind("line 4: instance 12: " + says + "\n", 0), 0u) << checked.out;
  }
}

}  // namespace
}  // namespace rcpspdc::test
