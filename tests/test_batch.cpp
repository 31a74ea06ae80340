// The batch runner: its options, its CSV, the information-file reader, and
// agreement with the console program on the same cash flows.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "formats/batch_json.hpp"
#include "formats/info_file.hpp"
#include "formats/makespan_table.hpp"
#include "formats/psplib.hpp"
#include "tests/console_harness.hpp"
#include "tests/fake_platform.hpp"
#include "tests/search_checks.hpp"
#include "tests/test_support.hpp"
#include "tools/batch_options.hpp"
#include "tools/batch_run.hpp"

namespace rcpspdc::test {
namespace {

// What the runner says on its error stream when it reads Patterson's pat3,
// whose activity 7 lists no successor.
const std::string PAT3_NOTE =
    "rcpspdc-batch: pat3.rcp: activity 7 without a successor now precedes the last activity\n";

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

// A CSV row without its seconds (the 8th field) and seconds to the best
// schedule (the 11th), which alone depend on timing.
std::string without_seconds(const std::string& row) {
  std::vector<std::string> fields;
  EXPECT_TRUE(split_csv_line(row, fields)) << row;
  std::string kept;
  for (std::size_t f = 0; f < fields.size(); ++f)
    if (f != 7 && f != 10) kept += (f == 0 ? "" : ",") + fields[f];
  return kept;
}

// The value of a summary line: its name, blanks, the value.
std::string summary_value(const std::string& summary, const std::string& name) {
  for (const std::string& line : lines_of(summary))
    if (line.rfind(name + "  ", 0) == 0) return line.substr(line.find_last_of(' ') + 1);
  return "(no line " + name + ")";
}

struct BatchResult {
  int status = 0;
  std::vector<std::string> csv;  // header and rows
  std::string out;
  std::string err;
};

BatchResult run_batch_with(const std::vector<std::string>& args) {
  const OptionsOutcome parsed = parse_batch_options(args);
  EXPECT_TRUE(parsed.ok()) << parsed.error;
  fake_clock_step = 0;  // the clock stands still: no search is stopped
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  BatchResult result;
  result.status = run_batch(parsed.options, out, err, false);
  result.out = read_all(out);
  result.err = read_all(err);
  std::fclose(out);
  std::fclose(err);
  if (!parsed.options.csv.empty() && parsed.options.csv.rfind("/dev/", 0) != 0)
    result.csv = lines_of(slurp(parsed.options.csv));
  return result;
}

void copy_patterson(const std::vector<int>& numbers) {
  std::filesystem::copy_file(data_dir() / "pat" / "deadline.pat", "deadline.pat");
  for (const int n : numbers) {
    const std::string name = "pat" + std::to_string(n) + ".rcp";
    std::filesystem::copy_file(data_dir() / "pat" / name, name);
  }
}

TEST(BatchOptions, DefaultsAndEveryOption) {
  const OptionsOutcome least = parse_batch_options({"--problem", "pat", "--first", "7"});
  ASSERT_TRUE(least.ok()) << least.error;
  const BatchOptions& d = least.options;
  EXPECT_EQ(d.problem, "pat");
  EXPECT_EQ(d.first, 7);
  EXPECT_EQ(d.last, 7);
  EXPECT_EQ(d.node_limit, 0);
  EXPECT_FALSE(d.help);

  const OptionsOutcome all =
      parse_batch_options({"--problem=j30", "--first",      "-2",     "--last=40",   "--dir",
                           "data/x",        "--negative",   "0",      "--offset=-3", "--rate",
                           "0.025",         "--time-limit", "0.25",   "--seed",      "4294967295",
                           "--csv",         "o.csv",        "--json", "-",           "--verbose",
                           "--node-limit",  "250000"});
  ASSERT_TRUE(all.ok()) << all.error;
  const BatchOptions& o = all.options;
  EXPECT_EQ(o.problem, "j30");
  EXPECT_EQ(o.first, -2);
  EXPECT_EQ(o.last, 40);
  EXPECT_EQ(o.dir, "data/x");
  EXPECT_EQ(o.negative_percent, 0);
  EXPECT_EQ(o.deadline_offset, -3);
  EXPECT_EQ(o.interest_rate, 0.025);
  EXPECT_EQ(o.time_limit, 0.25);
  EXPECT_EQ(o.node_limit, 250000);
  EXPECT_EQ(o.seed, 4294967295u);
  EXPECT_EQ(o.csv, "o.csv");
  EXPECT_EQ(o.json, "-");
  EXPECT_TRUE(o.verbose);
  EXPECT_FALSE(o.quiet);

  const OptionsOutcome flows =
      parse_batch_options({"--cash-flows", "info.out", "--problem", "p", "--first", "1"});
  ASSERT_TRUE(flows.ok()) << flows.error;
  EXPECT_EQ(flows.options.cash_flows, "info.out");
  // --help needs nothing else.
  const OptionsOutcome help = parse_batch_options({"--help"});
  ASSERT_TRUE(help.ok());
  EXPECT_TRUE(help.options.help);
}

TEST(BatchOptions, BadArgumentsAreRefusedWithAReason) {
  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{}, "--problem and --first, or instance files, are required"},
      {{"--problem", "pat"}, "--problem and --first, or instance files, are required"},
      {{"--first", "1"}, "--problem and --first, or instance files, are required"},
      {{"--problem", "pat", "--first"}, "--first needs a value"},
      {{"--problem", "pat", "--first", "x"}, "--first \"x\": expected an integer"},
      {{"--problem", "pat", "--first", "1.5"}, "expected an integer"},
      {{"--problem", "pat", "--first", "99999999999"}, "expected an integer"},
      {{"--problem", "pat", "--first", "5", "--last", "4"}, "--first 5 is above --last 4"},
      {{"--problem", "a/b", "--first", "1"}, "without blanks or '/'"},
      {{"--problem", "pat", "--first", "1", "--negative", "101"}, "percentages from 0 to 100"},
      {{"--problem", "pat", "--first", "1", "--negative", "-1"}, "percentages from 0 to 100"},
      {{"--problem", "pat", "--first", "1", "--rate", "-0.01"}, "rates of 0 or more"},
      {{"--problem", "pat", "--first", "1", "--rate", "nan"}, "rates of 0 or more"},
      {{"--problem", "pat", "--first", "1", "--rate", "1%"}, "rates of 0 or more"},
      {{"--problem", "pat", "--first", "1", "--time-limit", "-1"}, "0 (no limit) or more"},
      {{"--problem", "pat", "--first", "1", "--node-limit", "-1"}, "nodes, 0 (no limit) or more"},
      {{"--problem", "pat", "--first", "1", "--node-limit", "1e6"}, "nodes, 0 (no limit)"},
      {{"--problem", "pat", "--first", "1", "--node-limit", "99999999999999999999"},
       "nodes, 0 (no limit)"},
      {{"--problem", "pat", "--first", "1", "--seed", "-1"}, "from 0 to 4294967295"},
      {{"--problem", "pat", "--first", "1", "--seed", "4294967296"}, "from 0 to 4294967295"},
      {{"--problem", "pat", "--first", "1", "--seed", "2", "--cash-flows", "i"},
       "exclude each other"},
      {{"--problem", "pat", "--first", "1", "--csv="}, "--csv \"\": expected a file name"},
      {{"--problem", "pat", "--first", "1", "--threads", "4"}, "from 1 to 3"},
      {{"--problem", "pat", "--first", "1", "--thread", "2"}, "unknown option --thread"},
      {{"--problem", "pat", "--first", "1", "extra"},
       "instance files on the command line exclude"},
      {{"--problem", "pat", "--first", "1", "--verbose", "--quiet"}, "exclude each other"},
      {{"--problem", "pat", "--first", "1", "--csv", "-", "--json", "-"}, "mix two formats"},
      {{"--problem", "pat", "--first", "1", "--time-limit", "nan"}, "0 (no limit) or more"},
      // Words that begin with '-' are options or mistakes, never files; the
      // conflicts of numbered series hold for files too.
      {{"a.sm", "-V"}, "unknown option -V (options begin with --"},
      {{"-q", "a.sm"}, "unknown option -q"},
      {{"--problem", "pat", "--first", "1", "-"}, "unknown option -"},
      {{"a.sm", "--verbose", "--quiet"}, "--verbose and --quiet exclude each other"},
      {{"a.sm", "--resume"}, "--resume needs the results in files"},
      {{"a.sm", "--resume", "--csv", "-"}, "--resume needs the results in files"},
      {{"a.sm", "--csv", "-", "--json", "-"}, "mix two formats"},
      {{"a.sm", "--svg-arcs"}, "--svg-arcs goes with --svg DIR"},
      {{"--problem", "pat", "--first", "1", "--cash-flows", "i", "--unmixed-seed"},
       "--unmixed-seed and --cash-flows exclude each other"},
  };
  for (const auto& c : cases) {
    const OptionsOutcome outcome = parse_batch_options(c.args);
    EXPECT_NE(outcome.error.find(c.says), std::string::npos)
        << "error: " << outcome.error << "\nwanted: " << c.says;
  }
}

TEST(BatchCsv, HeaderAndRowsAreByteExact) {
  EXPECT_EQ(csv_header(),
            "number,activities,resources,deadline,created_nodes,branched_nodes,npv,seconds,status,"
            "bound,seconds_to_best,engine,offset,deadline_factor,rate,negative,seed,cash_flow_"
            "file,makespans,"
            "time_limit,node_limit,file\n");
  RunSettings drawn;
  drawn.engine = "start-times";
  drawn.offset = 5;
  drawn.rate = 0.01;
  drawn.negative = 60;
  drawn.seed = 7;
  drawn.time_limit = 60.0;
  RunSettings replayed;
  replayed.engine = "delaying";
  replayed.offset = -3;
  replayed.rate = 0.1 + 0.2;  // full precision, the shortest form
  replayed.cash_flows = "runs/info,1.out";
  replayed.makespans = "j30opt.sm";
  replayed.time_limit = 0.5;
  BatchRow solved;
  solved.number = 12;
  solved.activities = 4;
  solved.resources = 3;
  solved.deadline = 41;
  solved.created_nodes = 7154;
  solved.branched_nodes = 2194;
  solved.has_value = true;
  solved.npv = -2315.4808768764706;
  solved.seconds = 0.027270;
  solved.kind = RowStatus::optimal;
  solved.status = "optimal";
  solved.has_bound = true;
  solved.bound = solved.npv;
  solved.seconds_to_best = 0.009;
  solved.file = "dir/pat12.rcp";
  solved.cash_flow = {0, -137, 244, 0};
  solved.finish = {0, 3, 9, 9};
  EXPECT_EQ(csv_row(solved, drawn),
            "12,4,3,41,7154,2194,-2315.4808768764706,0.027270,optimal,-2315.4808768764706,"
            "0.009000,start-times,5,,0.01,60,7,,,60,,dir/pat12.rcp\n");
  // Seconds as rounded, not 0.009000000000000001; the settings behind the schedule.
  EXPECT_EQ(json_row(solved, drawn),
            "{\"number\":12,\"file\":\"dir/pat12.rcp\",\"activities\":4,\"resources\":3,"
            "\"deadline\":41,\"rate\":0.01,\"cash_flows\":[0,-137,244,0],\"status\":\"optimal\","
            "\"value\":-2315.4808768764706,\"bound\":-2315.4808768764706,\"created_nodes\":7154,"
            "\"branched_nodes\":2194,\"seconds\":0.02727,\"seconds_to_best\":0.009,"
            "\"finish\":[0,3,9,9],\"engine\":\"start-times\",\"offset\":5,\"deadline_factor\":"
            "null,\"negative\":60,"
            "\"seed\":7,\"cash_flow_file\":null,\"makespans\":null,\"time_limit\":60.0,"
            "\"node_limit\":null}\n");
  EXPECT_EQ(rounded_seconds(0.0090004), 0.009);
  EXPECT_EQ(fixed_decimals(rounded_seconds(2.0000005), 6), "2.000001");
  solved.npv = 0.1;  // full precision, not the shortest form
  solved.bound = 0.30000000000000004;
  EXPECT_EQ(csv_row(solved, replayed),
            "12,4,3,41,7154,2194,0.10000000000000001,0.027270,optimal,0.30000000000000004,"
            "0.009000,delaying,-3,,0.30000000000000004,,,\"runs/info,1.out\",j30opt.sm,0.5,,"
            "dir/pat12.rcp\n");
  BatchRow stopped;
  stopped.number = 5;
  stopped.activities = 30;
  stopped.resources = 4;
  stopped.deadline = 60;
  stopped.created_nodes = 123456789012;
  stopped.branched_nodes = 98765;
  stopped.seconds = 61.5;
  stopped.kind = RowStatus::time_limit;
  stopped.status = "time limit";
  stopped.has_bound = true;
  stopped.bound = -12.5;
  stopped.file = "a \"b\".sm";
  EXPECT_EQ(csv_row(stopped, drawn),
            "5,30,4,60,123456789012,98765,,61.500000,time limit,-12.5,,start-times,5,,0.01,60,7,,,"
            "60,,\"a \"\"b\"\".sm\"\n");
  // A search the node limit stopped says so; the limit stands among the settings.
  RunSettings counted = drawn;
  counted.time_limit = 0.0;
  counted.node_limit = 5000;
  stopped.created_nodes = 5000;
  stopped.kind = RowStatus::node_limit;
  stopped.status = status_word(stopped.kind);
  EXPECT_EQ(csv_row(stopped, counted),
            "5,30,4,60,5000,98765,,61.500000,node limit,-12.5,,start-times,5,,0.01,60,7,,,0,5000,"
            "\"a \"\"b\"\".sm\"\n");
  const std::string counted_line = json_row(stopped, counted);
  EXPECT_NE(counted_line.find("\"status\":\"node limit\""), std::string::npos) << counted_line;
  EXPECT_NE(counted_line.find(",\"time_limit\":0.0,\"node_limit\":5000}"), std::string::npos)
      << counted_line;
  EXPECT_EQ(settings_from_json(nlohmann::json::parse(counted_line)).node_limit, 5000);
  for (const RowStatus kind :
       {RowStatus::optimal, RowStatus::infeasible, RowStatus::time_limit, RowStatus::node_limit})
    EXPECT_EQ(status_kind(status_word(kind)), kind);
  EXPECT_EQ(status_kind("deadline -1 is below zero"), RowStatus::error);
  BatchRow unread;
  unread.number = -3;
  unread.status = "invalid instance: unexpected \"x,y\" after the last activity";
  unread.file = "bad\xff.rcp";  // paths are bytes, not always UTF-8
  const std::string unread_row = csv_row(unread, drawn);
  EXPECT_EQ(unread_row,
            "-3,,,,,,,,\"invalid instance: unexpected \"\"x,y\"\" after the last activity\",,,"
            "start-times,5,,0.01,60,7,,,60,,bad\xff.rcp\n");
  // The fields read back as written, quotes and all.
  std::vector<std::string> fields;
  ASSERT_TRUE(split_csv_line(unread_row.substr(0, unread_row.size() - 1), fields));
  ASSERT_EQ(fields.size(), 22u);
  EXPECT_EQ(fields[8], unread.status);
  EXPECT_EQ(fields[21], unread.file);
  EXPECT_FALSE(split_csv_line("1,\"open", fields));
  // Quotes and control characters escaped as JSON wants them; no value, no
  // schedule; a byte that is no UTF-8 becomes U+FFFD.
  EXPECT_EQ(json_row(unread, replayed),
            "{\"number\":-3,\"file\":\"bad\xef\xbf\xbd.rcp\",\"activities\":null,"
            "\"resources\":null,\"deadline\":null,\"rate\":0.30000000000000004,\"cash_flows\":[],"
            "\"status\":\"invalid instance: unexpected \\\"x,y\\\" after the last activity\","
            "\"value\":null,\"bound\":null,\"created_nodes\":null,\"branched_nodes\":null,"
            "\"seconds\":null,\"seconds_to_best\":null,\"finish\":null,\"engine\":\"delaying\","
            "\"offset\":-3,\"deadline_factor\":null,\"negative\":null,\"seed\":null,\"cash_flow_"
            "file\":\"runs/info,1.out\","
            "\"makespans\":\"j30opt.sm\",\"time_limit\":0.5,\"node_limit\":null}\n");
  // A line read back gives what was written.
  JsonSchedule back;
  ASSERT_TRUE(find_json_schedule("{\"program\":\"rcpspdc-batch\"}\n" + json_row(unread, drawn) +
                                     json_row(solved, drawn),
                                 12, back)
                  .ok());
  EXPECT_EQ(back.file, "dir/pat12.rcp");
  EXPECT_EQ(back.deadline, 41);
  EXPECT_EQ(back.cash_flow, solved.cash_flow);
  EXPECT_EQ(back.finish, solved.finish);
  EXPECT_TRUE(back.has_value);
  EXPECT_EQ(back.value, 0.1);
  EXPECT_EQ(find_json_schedule(json_row(solved, drawn), 13, back).message,
            "no object for instance 13");
  EXPECT_EQ(find_json_schedule("[1,\n", 12, back).message, "line 1: not a JSON object");
}

TEST(BatchInfoFile, ReadsRecordsAndNamesTheFaultyLine) {
  InfoRecords records;
  const FileOutcome good =
      parse_info_text(INFO_HEAD +
                          "\n    1        19     (1 / -137)   (2 / 244)   \n   -4     12345     "
                          "\n   12         7     (1 / 5)   ",
                      records);
  ASSERT_TRUE(good.ok()) << good.message;
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records.at(1).deadline, 19);
  EXPECT_EQ(records.at(1).cash_flow, (std::vector<int>{-137, 244}));
  EXPECT_EQ(records.at(-4).deadline, 12345);
  EXPECT_TRUE(records.at(-4).cash_flow.empty());
  EXPECT_EQ(records.at(12).cash_flow, (std::vector<int>{5}));

  const struct {
    std::string text;
    const char* says;
  } bad[] = {
      {"", "the file is empty"},
      {"problem,cash\n1,2\n", "line 1: not an information file"},
      {INFO_HEAD + "\n    1        19     (1 / 3)   (3 / 4)   ",
       "line 6: activity 3 where 2 should come"},
      {INFO_HEAD + "\n    1        19     (1 / 3\n",
       "line 6: expected an \"(activity / cash flow)\" pair"},
      {INFO_HEAD + "\n    1     \n", "line 6: expected an instance number and a deadline"},
      {INFO_HEAD + "\n    1     5     \n    1     5     ", "line 7: instance 1 appears twice"},
  };
  for (const auto& b : bad) {
    const FileOutcome read = parse_info_text(b.text, records);
    EXPECT_EQ(read.fault, FileFault::invalid);
    EXPECT_NE(read.message.find(b.says), std::string::npos)
        << "error: " << read.message << "\nwanted: " << b.says;
  }
  const FileOutcome missing = read_info_file("no-such-dir/info.out", records);
  EXPECT_EQ(missing.fault, FileFault::cannot_open);
  EXPECT_EQ(missing.message, "cannot open no-such-dir/info.out");
}

// The console solves pat 1..6 at offset 5; the batch runner, fed its
// info.out, must reproduce every result line, and with the console's run
// seed as --seed it must draw the same flows itself: both mix the instance's
// number into the seed.
TEST(BatchRoundTrip, AgreesWithTheConsoleOnItsCashFlows) {
  ScopedWorkDir dir;
  copy_patterson({1, 2, 3, 4, 5, 6, 7});
  ASSERT_EQ(run_console_with(answers("pat", 1, 6, 60, 5)).status, 0);
  const std::vector<std::string> results = lines_of(slurp("output.out"));
  ASSERT_GE(results.size(), 6u);
  const std::vector<std::string> common = {
      "--problem", "pat", "--offset",     "5",  "--rate",   "0.01",    "--first", "1",
      "--last",    "6",   "--time-limit", "10", "--engine", "delaying"};
  std::vector<std::string> args = common;
  for (const char* extra : {"--cash-flows", "info.out", "--csv", "replay.csv"})
    args.emplace_back(extra);
  const BatchResult replay = run_batch_with(args);
  EXPECT_EQ(replay.status, 0);
  EXPECT_EQ(replay.err, PAT3_NOTE);
  ASSERT_EQ(replay.csv.size(), 7u);
  args = common;
  for (const std::string& extra : std::vector<std::string>{
           "--seed", std::to_string(FAKE_RUN_SEED), "--negative", "60", "--csv", "seed.csv"})
    args.push_back(extra);
  const BatchResult seeded = run_batch_with(args);
  ASSERT_EQ(seeded.csv.size(), 7u);
  for (std::size_t r = 0; r < 6; ++r) {
    const std::string& console_line = results[results.size() - 6 + r];
    std::istringstream words(console_line);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    std::vector<std::string> field;
    ASSERT_TRUE(split_csv_line(replay.csv[r + 1], field));
    ASSERT_EQ(field.size(), 22u) << replay.csv[r + 1];
    ASSERT_EQ(w.size(), 6u) << console_line;
    EXPECT_EQ(w[0], field[0]);
    EXPECT_EQ(w.back(), "optimal");
    EXPECT_EQ(field[8], "optimal");
    EXPECT_EQ(w[1], field[4]) << "created nodes of " << w[0];
    EXPECT_EQ(w[2], field[5]) << "branched nodes of " << w[0];
    char value[64];
    std::snprintf(value, sizeof value, "%.2f", std::stod(field[6]));
    EXPECT_EQ(w[3], value) << "value of " << w[0];
    // The same results from the seed; the settings columns tell the runs apart.
    const std::string drawn = without_seconds(seeded.csv[r + 1]);
    const std::string replayed = without_seconds(replay.csv[r + 1]);
    EXPECT_EQ(drawn.substr(0, drawn.find(",delaying,")),
              replayed.substr(0, replayed.find(",delaying,")));
    EXPECT_NE(drawn.find(",delaying,5,,0.01,60,1000,,,10,,pat"), std::string::npos) << drawn;
    EXPECT_NE(replayed.find(",delaying,5,,0.01,,,info.out,,10,,pat"), std::string::npos)
        << replayed;
  }
  EXPECT_EQ(summary_value(replay.out, "errors"), "0");
  EXPECT_EQ(summary_value(replay.out, "optimal"), "6");

  // Flows recorded for another deadline or another instance are refused, row by row.
  args = {"--problem", "pat",          "--first",  "1",     "--last",
          "7",         "--cash-flows", "info.out", "--csv", "off.csv"};
  const BatchResult other = run_batch_with(args);
  EXPECT_EQ(other.status, 1);
  ASSERT_EQ(other.csv.size(), 8u);
  EXPECT_EQ(other.csv[1],
            "1,14,3,19,,,,,\"cash flows recorded for deadline 24, the files give 19\",,,"
            "learning,0,,0.01,,,info.out,,60,,pat1.rcp");
  EXPECT_EQ(other.csv[7],
            "7,9,1,8,,,,,no cash flows for this instance in the info.out file,,,learning,0,,0.01,"
            ",,info.out,,60,,pat7.rcp");
}

// Every engine, stopped at its first clock reading (the learning search also
// after a few nodes) on the Patterson rows the reference proves optimal: the
// bound left open is never below the optimum, and the schedule found never
// above it. Completed searches reach it.
TEST(BatchBound, StoppedSearchesNeverBoundBelowTheOptimum) {
  auto workspace = std::make_unique<Workspace>();
  const std::vector<std::string> engines = {"delaying", "start-times", "learning"};
  std::vector<int> stopped(engines.size(), 0);
  for (const ReferenceRow& ref : reference_rows()) {
    if (!ref.readable || !ref.optimal || ref.offset != 0) continue;
    InfoRecords records;
    InfoRecord& record = records[ref.number];
    record.number = ref.number;
    record.deadline = ref.instance.deadline;
    record.cash_flow.assign(ref.instance.cash_flow.begin() + 1, ref.instance.cash_flow.end() - 1);
    for (std::size_t e = 0; e < engines.size(); ++e) {
      const std::string& engine = engines[e];
      BatchOptions options;
      options.problem = "pat";
      options.dir = (data_dir() / "pat").string();
      options.interest_rate = ref.rate;
      options.time_limit = 0.5;
      options.engine = engine;
      // The learning search proves most of these before its first clock
      // reading: a few nodes stop it too.
      if (engine == "learning") options.node_limit = 20;
      SCOPED_TRACE("pat" + std::to_string(ref.number) + " " + engine);
      fake_clock_step = 1000;  // a second per reading: the first check stops the search
      const BatchRow row = solve_one(options, &records, ref.number, *workspace);
      fake_clock_step = 0;
      ASSERT_NE(row.kind, RowStatus::error) << row.status;
      ASSERT_TRUE(row.has_bound);
      const double slack = 1e-9 * std::max(1.0, std::fabs(ref.npv));
      EXPECT_GE(row.bound, ref.npv - slack);
      if (row.has_value) {
        EXPECT_LE(row.npv, ref.npv + slack);
      }
      if (row.kind == RowStatus::optimal) {
        EXPECT_NEAR(row.npv, ref.npv, 1e-6);
        EXPECT_EQ(row.bound, row.npv);
      } else {
        ++stopped[e];
      }
    }
  }
  // Enough stopped searches of each engine for the test to mean something.
  for (std::size_t e = 0; e < engines.size(); ++e) EXPECT_GE(stopped[e], 5) << engines[e];
}

TEST(BatchSeed, RunsRepeatAndRowsDoNotDependOnTheRange) {
  ScopedWorkDir dir;
  copy_patterson({1, 2, 4, 5, 6, 7, 8});
  const auto run = [](const std::string& first, const std::string& last, const std::string& seed,
                      const std::string& csv) {
    return run_batch_with({"--problem", "pat", "--first", first, "--last", last, "--offset", "3",
                           "--seed", seed, "--time-limit", "5", "--csv", csv});
  };
  const BatchResult a = run("4", "8", "42", "a.csv");
  const BatchResult b = run("4", "8", "42", "b.csv");
  const BatchResult alone = run("8", "8", "42", "alone.csv");
  const BatchResult other = run("4", "8", "43", "other.csv");
  EXPECT_EQ(a.status, 0);
  ASSERT_EQ(a.csv.size(), 6u);
  ASSERT_EQ(b.csv.size(), 6u);
  int differ = 0;
  for (std::size_t r = 1; r < a.csv.size(); ++r) {
    EXPECT_NE(a.csv[r].find(",optimal"), std::string::npos) << a.csv[r];
    EXPECT_EQ(without_seconds(a.csv[r]), without_seconds(b.csv[r]));
    differ += without_seconds(a.csv[r]) != without_seconds(other.csv[r]);
  }
  EXPECT_EQ(without_seconds(alone.csv.at(1)), without_seconds(a.csv[5]));
  EXPECT_GE(differ, 4);  // another seed, other flows
  EXPECT_EQ(summary_value(a.out, "instances"), "5");
  EXPECT_EQ(summary_value(a.out, "optimal"), "5");
  EXPECT_EQ(summary_value(a.out, "stopped by the time limit"), "0");
}

// The cash flows of the rows of a JSON Lines file, header skipped.
std::vector<std::vector<int>> flows_of(const std::string& path) {
  std::vector<std::vector<int>> flows;
  for (const std::string& line : lines_of(slurp(path)))
    if (line.find("\"number\"") != std::string::npos)
      flows.push_back(nlohmann::json::parse(line).at("cash_flows").get<std::vector<int>>());
  return flows;
}

// Two instances of one size draw flows of their own: the seed is mixed with
// the instance's number, or with a named file's name (whatever its place in
// the list). --unmixed-seed draws as older versions did, the flows the
// benchmark baseline keeps beside it.
TEST(BatchSeed, InstancesOfOneSizeDrawFlowsOfTheirOwn) {
  ScopedWorkDir dir;
  const std::string pat1 = slurp(data_dir() / "pat" / "pat1.rcp");
  for (const char* name : {"x1.rcp", "x2.rcp", "a.rcp", "b.rcp"}) write_text(name, pat1);
  write_text("deadline.x", "1 1 19\n1 2 19\n");
  const std::vector<std::string> numbered = {"--problem", "x",       "--first",      "1",
                                             "--last",    "2",       "--time-limit", "0",
                                             "--json",    "x.jsonl", "--quiet"};
  ASSERT_EQ(run_batch_with(numbered).status, 0);
  const std::vector<std::vector<int>> mixed = flows_of("x.jsonl");
  ASSERT_EQ(mixed.size(), 2u);
  EXPECT_NE(mixed[0], mixed[1]);
  std::vector<std::string> unmixed = numbered;
  unmixed.push_back("--unmixed-seed");
  ASSERT_EQ(run_batch_with(unmixed).status, 0);
  const std::vector<std::vector<int>> alike = flows_of("x.jsonl");
  ASSERT_EQ(alike.size(), 2u);
  EXPECT_EQ(alike[0], alike[1]);

  ASSERT_EQ(run_batch_with({"a.rcp", "b.rcp", "--json", "ab.jsonl", "--quiet"}).status, 0);
  ASSERT_EQ(run_batch_with({"b.rcp", "a.rcp", "--json", "ba.jsonl", "--quiet"}).status, 0);
  const std::vector<std::vector<int>> ab = flows_of("ab.jsonl");
  const std::vector<std::vector<int>> ba = flows_of("ba.jsonl");
  ASSERT_EQ(ab.size(), 2u);
  ASSERT_EQ(ba.size(), 2u);
  EXPECT_NE(ab[0], ab[1]);
  EXPECT_EQ(ab[0], ba[1]);
  EXPECT_EQ(ab[1], ba[0]);

  // The baseline's stored flows are what --seed 1 drew before.
  InfoRecords stored;
  const FileOutcome read = read_info_file(
      (data_dir().parent_path().parent_path() / "bench" / "baseline_offset0.info.out").string(),
      stored);
  ASSERT_TRUE(read.ok()) << read.message;
  ASSERT_EQ(run_batch_with({"--problem", "pat", "--first", "1", "--last", "8", "--dir",
                            (data_dir() / "pat").string(), "--seed", "1", "--unmixed-seed",
                            "--time-limit", "0", "--json", "old.jsonl", "--quiet"})
                .status,
            0);
  const std::vector<std::vector<int>> old = flows_of("old.jsonl");
  ASSERT_EQ(old.size(), 8u);
  for (int number = 1; number <= 8; ++number) {
    const std::vector<int>& drawn = old[static_cast<std::size_t>(number - 1)];
    EXPECT_EQ(std::vector<int>(drawn.begin() + 1, drawn.end() - 1), stored.at(number).cash_flow)
        << number;
  }
}

// Paths are bytes: a file name that is not UTF-8 costs no run, and its JSON
// line stays valid with U+FFFD in place of the bad byte.
TEST(BatchRun, PathsThatAreNotUtf8KeepTheOutputValid) {
  ScopedWorkDir dir;
  const std::string name = "bad\xff.rcp";
  write_text(name, slurp(data_dir() / "pat" / "pat1.rcp"));
  const BatchResult plain = run_batch_with({name, "--csv", "u.csv", "--quiet"});
  EXPECT_EQ(plain.status, 0);
  ASSERT_EQ(plain.csv.size(), 2u);
  EXPECT_EQ(plain.csv[1].substr(plain.csv[1].size() - name.size()), name);
  const BatchResult json = run_batch_with({name, "--json", "u.jsonl", "--quiet"});
  EXPECT_EQ(json.status, 0);
  for (const std::string& line : lines_of(slurp("u.jsonl"))) {
    const nlohmann::json object = nlohmann::json::parse(line);  // throws on bad UTF-8
    if (object.contains("number")) {
      EXPECT_EQ(object.at("file"), "bad\xef\xbf\xbd.rcp");
    }
  }
}

// The time of the best schedule comes from the search's clock, the search's
// time from the wall: both are rounded once, and the first never exceeds the
// second.
TEST(BatchRun, SecondsToBestNeverExceedTheSeconds) {
  auto workspace = std::make_unique<Workspace>();
  BatchOptions options;
  options.problem = "pat";
  options.dir = (data_dir() / "pat").string();
  options.time_limit = 0.0;
  int found = 0;
  for (const int number : {1, 2, 3, 4, 5, 6}) {
    fake_clock_step = 7;  // the search's clock runs far ahead of the wall
    const BatchRow row = solve_one(options, nullptr, number, *workspace);
    fake_clock_step = 0;
    ASSERT_EQ(row.kind, RowStatus::optimal) << row.status;
    ASSERT_GE(row.seconds_to_best, 0.0);
    EXPECT_LE(row.seconds_to_best, row.seconds) << number;
    EXPECT_EQ(row.seconds, rounded_seconds(row.seconds));
    EXPECT_EQ(row.seconds_to_best, rounded_seconds(row.seconds_to_best));
    found += row.seconds_to_best > 0.0;
  }
  EXPECT_GT(found, 0);
}

// Results on standard output leave it to them: the summary goes to standard
// error, after one --verbose line per instance and the reader's note on pat3,
// in the runner's name; --quiet leaves only the rows.
TEST(BatchRun, StandardOutputVerboseAndQuiet) {
  ScopedWorkDir dir;
  copy_patterson({1, 2, 3});
  const BatchResult verbose = run_batch_with({"--problem", "pat", "--first", "1", "--last", "3",
                                              "--csv", "-", "--verbose", "--jobs", "1"});
  EXPECT_EQ(verbose.status, 0);
  const std::vector<std::string> rows = lines_of(verbose.out);
  ASSERT_EQ(rows.size(), 4u) << verbose.out;
  EXPECT_EQ(rows[0] + '\n', csv_header());
  EXPECT_EQ(rows[1].rfind("1,14,3,19,", 0), 0u) << rows[1];
  const std::vector<std::string> err = lines_of(verbose.err);
  ASSERT_GE(err.size(), 4u);
  EXPECT_EQ(err[0].rfind("instance 1: optimal, value ", 0), 0u) << err[0];
  EXPECT_EQ(err[1].rfind("instance 2: optimal, value ", 0), 0u) << err[1];
  EXPECT_EQ(err[2] + '\n', PAT3_NOTE);
  EXPECT_EQ(err[3].rfind("instance 3: optimal, value ", 0), 0u) << err[3];
  EXPECT_EQ(summary_value(verbose.err, "optimal"), "3");

  testing::internal::CaptureStderr();
  const BatchResult quiet = run_batch_with({"--problem", "pat", "--first", "1", "--last", "3",
                                            "--json", "-", "--quiet", "--time-limit", "0"});
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "");
  const std::vector<std::string> lines = lines_of(quiet.out);
  ASSERT_EQ(lines.size(), 5u);  // the header, three rows, the closing line
  EXPECT_EQ(lines[0].rfind("{\"program\":\"rcpspdc-batch\",\"version\":\"", 0), 0u);
  EXPECT_NE(lines[0].find("\"engine\":[\"learning\"],\"problem\":\"pat\",\"first\":1,"
                          "\"last\":3,\"dir\":\"\",\"offset\":[0],\"rate\":[0.01],"
                          "\"negative\":[60],\"seed\":1,\"time_limit\":0.0,"),
            std::string::npos)
      << lines[0];
  EXPECT_EQ(lines[1].rfind("{\"number\":1,\"file\":\"pat1.rcp\",\"activities\":14,", 0), 0u)
      << lines[1];
}

// The JSON lines of a file without the fields that depend on timing.
std::vector<std::string> json_without_seconds(const std::string& path) {
  std::vector<std::string> lines;
  for (const std::string& line : lines_of(slurp(path))) {
    nlohmann::ordered_json object = nlohmann::ordered_json::parse(line);
    for (const char* timed : {"seconds", "seconds_to_best", "wall_seconds"}) object.erase(timed);
    lines.push_back(object.dump());
  }
  return lines;
}

// A run cut off after three instances, in the middle of writing a line, and
// resumed, leaves the files an uninterrupted run writes.
TEST(BatchRun, ResumedRunWritesTheFilesOfAnUninterruptedOne) {
  ScopedWorkDir dir;
  copy_patterson({1, 2, 3, 4, 5, 6});
  const std::vector<std::string> args = {"--problem", "pat",       "--first",  "1",
                                         "--last",    "6",         "--csv",    "run.csv",
                                         "--json",    "run.jsonl", "--offset", "2"};
  ASSERT_EQ(run_batch_with(args).status, 0);
  const std::vector<std::string> whole_csv = lines_of(slurp("run.csv"));
  const std::vector<std::string> whole_json = json_without_seconds("run.jsonl");
  ASSERT_EQ(whole_csv.size(), 7u);
  ASSERT_EQ(whole_json.size(), 8u);  // with the closing line
  // Cut: the CSV holds instances 1..3 and half of 4, the JSON 1..2 and half of 3.
  const std::string csv_text = slurp("run.csv");
  const std::string json_text = slurp("run.jsonl");
  std::size_t cut = 0;
  for (int line = 0; line < 4; ++line) cut = csv_text.find('\n', cut) + 1;
  ASSERT_TRUE(write_text_file("run.csv", csv_text.substr(0, cut + 5)).ok());
  cut = 0;
  for (int line = 0; line < 3; ++line) cut = json_text.find('\n', cut) + 1;
  ASSERT_TRUE(write_text_file("run.jsonl", json_text.substr(0, cut + 20)).ok());

  std::vector<std::string> resume = args;
  resume.push_back("--resume");
  const BatchResult resumed = run_batch_with(resume);
  EXPECT_EQ(resumed.status, 0);
  EXPECT_EQ(resumed.err, "rcpspdc-batch: --resume: 2 rows done before, 4 to go\n" + PAT3_NOTE);
  EXPECT_EQ(summary_value(resumed.out, "instances"), "4");
  const std::vector<std::string> csv = lines_of(slurp("run.csv"));
  ASSERT_EQ(csv.size(), whole_csv.size());
  for (std::size_t r = 0; r < csv.size(); ++r)
    EXPECT_EQ(r == 0 ? csv[r] : without_seconds(csv[r]),
              r == 0 ? whole_csv[r] : without_seconds(whole_csv[r]));
  EXPECT_EQ(json_without_seconds("run.jsonl"), whole_json);

  // Resuming a finished run solves nothing.
  EXPECT_EQ(summary_value(run_batch_with(resume).out, "instances"), "0");
}

// A resumed run refuses files of another run, naming the option that
// differs, and touches neither file: other settings, rows twice, rows of
// instances it does not solve, and in files mode rows of other files.
TEST(BatchRun, ResumeRefusesRowsOfAnotherRun) {
  ScopedWorkDir dir;
  copy_patterson({1, 2, 3, 4});
  const std::vector<std::string> args = {"--problem", "pat",   "--first", "1",      "--last",
                                         "4",         "--csv", "run.csv", "--json", "run.jsonl"};
  ASSERT_EQ(run_batch_with(args).status, 0);
  std::string csv = slurp("run.csv");
  const std::string json = slurp("run.jsonl");
  const auto refused = [&](std::vector<std::string> extra, const std::string& says) {
    std::vector<std::string> with = args;
    with.insert(with.end(), extra.begin(), extra.end());
    with.push_back("--resume");
    const BatchResult result = run_batch_with(with);
    EXPECT_EQ(result.status, 2) << says;
    EXPECT_EQ(result.err, "rcpspdc-batch: --resume: " + says + "; nothing was changed\n");
    EXPECT_EQ(slurp("run.csv"), csv);
    EXPECT_EQ(slurp("run.jsonl"), json);
  };
  refused(
      {"--last", "8", "--offset", "5", "--seed", "9", "--rate", "0.05", "--engine", "delaying"},
      "run.csv holds rows made with another --engine (learning; this run: delaying)");
  refused({"--offset", "5"}, "run.csv holds rows made with another --offset (0; this run: 5)");
  refused({"--seed", "9"}, "run.csv holds rows made with another --seed (1; this run: 9)");
  refused({"--time-limit", "5"},
          "run.csv holds rows made with another --time-limit (60; this run: 5)");
  refused({"--node-limit", "500"},
          "run.csv holds rows made with another --node-limit (none; this run: 500)");
  refused({"--last", "3"},
          "run.csv holds instance 4, which this run does not solve (see --first, --last, "
          "--shard)");
  // Only the JSON header says how many instances the run had.
  BatchResult longer = run_batch_with(
      {"--problem", "pat", "--first", "1", "--last", "5", "--json", "run.jsonl", "--resume"});
  EXPECT_EQ(longer.status, 2);
  EXPECT_EQ(longer.err,
            "rcpspdc-batch: --resume: run.jsonl holds rows made with another --last (4; this "
            "run: 5); nothing was changed\n");
  // A setting the earlier run did not have is none, in JSON as in CSV.
  const BatchResult limited =
      run_batch_with({"--problem", "pat", "--first", "1", "--last", "4", "--json", "run.jsonl",
                      "--node-limit", "500", "--resume"});
  EXPECT_EQ(limited.err,
            "rcpspdc-batch: --resume: run.jsonl holds rows made with another --node-limit (none; "
            "this run: 500); nothing was changed\n");
  // An instance file whose content changed since (a line added at its end).
  const std::string third = slurp("pat3.rcp");
  write_text("pat3.rcp", third + "\n");
  const BatchResult changed = run_batch_with(
      {"--problem", "pat", "--first", "1", "--last", "4", "--json", "run.jsonl", "--resume"});
  EXPECT_EQ(changed.status, 2);
  EXPECT_NE(changed.err.find("content of an input file"), std::string::npos) << changed.err;
  EXPECT_EQ(slurp("run.jsonl"), json);
  write_text("pat3.rcp", third);
  // The same row twice.
  const std::vector<std::string> rows = lines_of(csv);
  csv += rows[2] + "\n";
  write_text("run.csv", csv);
  refused({}, "run.csv holds instance 2 twice");

  // Instance files: a list in another order reuses no row for another file.
  std::filesystem::copy_file(data_dir() / "pat" / "pat5.rcp", "pat5.rcp");
  const std::vector<std::string> files = {"pat1.rcp", "pat2.rcp", "--csv", "named.csv"};
  ASSERT_EQ(run_batch_with(files).status, 0);
  const std::string named = slurp("named.csv");
  const BatchResult swapped =
      run_batch_with({"pat2.rcp", "pat1.rcp", "--csv", "named.csv", "--resume"});
  EXPECT_EQ(swapped.status, 2);
  EXPECT_EQ(swapped.err,
            "rcpspdc-batch: --resume: named.csv holds instance 1 of the file pat1.rcp; this "
            "run's instance 1 is pat2.rcp; nothing was changed\n");
  EXPECT_EQ(slurp("named.csv"), named);
  // The same list goes on.
  const BatchResult same =
      run_batch_with({"pat1.rcp", "pat2.rcp", "pat5.rcp", "--csv", "named.csv", "--resume"});
  EXPECT_EQ(same.status, 0) << same.err;
  EXPECT_EQ(same.csv.size(), 4u);
  // A file of an older version, without the settings columns, is refused.
  write_text("old.csv",
             "number,activities,resources,deadline,created_nodes,branched_nodes,npv,seconds,"
             "status,bound,seconds_to_best\n1,14,3,19,1,0,1.5,0.1,optimal,1.5,0.1\n");
  const BatchResult older =
      run_batch_with({"--problem", "pat", "--first", "1", "--csv", "old.csv", "--resume"});
  EXPECT_EQ(older.status, 2);
  EXPECT_EQ(older.err,
            "rcpspdc-batch: --resume: old.csv was written by another program or version (its "
            "header differs); nothing was changed\n");
  // A JSON header whose program is no name at all is another program's too.
  for (const char* header : {"{\"program\":5}", "[1]", "{}"}) {
    write_text("other.jsonl", std::string(header) + "\n");
    const BatchResult other =
        run_batch_with({"--problem", "pat", "--first", "1", "--json", "other.jsonl", "--resume"});
    EXPECT_EQ(other.status, 2) << header;
    EXPECT_EQ(other.err,
              "rcpspdc-batch: --resume: other.jsonl was written by another program; nothing was "
              "changed\n");
  }
}

// Instance files on the command line: a PSPLIB file and its conversion solve
// alike with both engines; the deadline comes from a makespan table by name,
// or from the critical path (8 periods for small.sm) when it has none.
TEST(BatchRun, NamedFilesPsplibOrOwnFormWithMakespans) {
  ScopedWorkDir dir;
  std::filesystem::copy_file(data_dir() / "psplib" / "small.sm", "small.sm");
  std::filesystem::copy_file(data_dir() / "pat" / "pat1.rcp", "pat1.rcp");
  InstanceData small;
  ASSERT_TRUE(read_psplib_file("small.sm", small).ok());
  ASSERT_TRUE(write_text_file("small.rcp", format_instance(small)).ok());
  for (const char* engine : {"delaying", "start-times"}) {
    SCOPED_TRACE(engine);
    const BatchResult run = run_batch_with({"small.sm", "small.rcp", "pat1.rcp", "--offset", "6",
                                            "--engine", engine, "--csv", "named.csv"});
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.csv.size(), 4u);
    EXPECT_EQ(run.csv[1].rfind("1,7,2,14,", 0), 0u) << run.csv[1];
    const std::string own = without_seconds(run.csv[2]);
    const std::string psplib = without_seconds(run.csv[1]);
    // The same flows too: they are drawn by the name without the extension.
    EXPECT_EQ(own.substr(1, own.rfind(',')), psplib.substr(1, psplib.rfind(',')));
    EXPECT_NE(run.csv[1].find(",optimal,"), std::string::npos) << run.csv[1];
  }
  // pat1 by name in a two-column file, small by a PSPLIB table row (set "small").
  ASSERT_TRUE(write_text_file("small-opt.sm", "Par  Inst  Makespan\n-----\n  7  1  12\n").ok());
  ASSERT_TRUE(write_text_file("two.txt", "pat1 19\n").ok());
  Makespans table;
  ASSERT_TRUE(parse_makespan_table(slurp("small-opt.sm"), "small", table).ok());
  EXPECT_EQ(table, (Makespans{{"small7_1", 12}}));
  Makespans two;
  ASSERT_TRUE(parse_makespan_table("pat1 19\nx 3 4\n", "j30", two).ok());
  EXPECT_EQ(two, (Makespans{{"pat1", 19}}));
  Makespans twice;
  EXPECT_EQ(parse_makespan_table("pat1 19\npat1 20\n", "", twice).message,
            "line 2: pat1 appears twice");
  const BatchResult listed = run_batch_with(
      {"pat1.rcp", "small.sm", "--makespans", "two.txt", "--json", "named.jsonl", "--quiet"});
  const std::vector<std::string> lines = lines_of(slurp("named.jsonl"));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NE(lines[1].find("\"deadline\":19,\"deadline_from\":\"makespans\""), std::string::npos);
  EXPECT_NE(lines[0].find("\"files\":[\"pat1.rcp\",\"small.sm\"],\"makespans\":\"two.txt\""),
            std::string::npos)
      << lines[0];
  EXPECT_NE(lines[2].find("\"deadline\":8,\"deadline_from\":\"critical path\""),
            std::string::npos);
  // Files the table does not name are said once, on stderr; a table that
  // names none of the files stops the run; without a table the critical path
  // is said once per run.
  EXPECT_EQ(listed.err,
            "");  // --quiet
  const BatchResult partly = run_batch_with(
      {"pat1.rcp", "small.sm", "small.rcp", "--makespans", "two.txt", "--csv", "partly.csv"});
  EXPECT_EQ(partly.status, 0);
  EXPECT_EQ(partly.err.rfind("rcpspdc-batch: --makespans: two.txt has no makespan for small, "
                             "small; their deadlines are taken over the critical path\n",
                             0),
            0u)
      << partly.err;
  const BatchResult none =
      run_batch_with({"small.sm", "--makespans", "two.txt", "--csv", "n.csv"});
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.err,
            "rcpspdc-batch: --makespans: two.txt has a makespan for none of the files (it is "
            "looked up by the name without directory and extension, such as small)\n");
  EXPECT_FALSE(std::filesystem::exists("n.csv"));
  const BatchResult bare = run_batch_with({"small.sm", "small.rcp", "--csv", "bare.csv"});
  EXPECT_EQ(bare.err,
            "rcpspdc-batch: no --makespans: every deadline is --offset periods above the file's "
            "critical path length\n");
  EXPECT_FALSE(parse_batch_options({"x.sm", "--problem", "pat"}).ok());
  EXPECT_FALSE(parse_batch_options({"--problem", "pat", "--first", "1", "--makespans", "m"}).ok());
}

// Every output is opened, locked and checked before any is cut: a file that
// cannot be written, a full device or a file another run holds stops the run
// with every file as it was.
TEST(BatchRun, UnusableFilesStopTheRunWithAMessage) {
  ScopedWorkDir dir;
  copy_patterson({1});
  write_text("bad.out", "not an info file\n");
  write_text("keep.csv", "results of another run\n");
  const int held = open("held.csv", O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);  // another run writing held.csv
  const struct {
    std::vector<std::string> extra;
    const char* says;
  } cases[] = {
      {{"--cash-flows", "missing.out"}, "rcpspdc-batch: --cash-flows: cannot open missing.out\n"},
      {{"--cash-flows", "bad.out"},
       "rcpspdc-batch: --cash-flows: bad.out, line 1: not an information file"},
      {{"--dir", "nowhere"}, "rcpspdc-batch: --dir: nowhere is not a directory\n"},
      {{"--csv", "keep.csv", "--json", "nowhere/x.jsonl"},
       "rcpspdc-batch: --json: cannot write nowhere/x.jsonl: "},
      {{"--csv", "keep.csv", "--plot", "nowhere/run.svg"},
       "rcpspdc-batch: --plot: cannot write nowhere/run.svg: "},
      {{"--csv", "keep.csv", "--svg", "keep.csv"},
       "rcpspdc-batch: --svg: cannot create the directory keep.csv\n"},
      {{"--csv", "keep.csv", "--json", "keep.csv"},
       "rcpspdc-batch: two outputs name the same file\n"},
      // A device that opens but takes nothing stops the run before any file
      // is cut and any search: no picture is drawn.
      {{"--csv", "keep.csv", "--json", "/dev/full", "--svg", "pictures"},
       "rcpspdc-batch: cannot write /dev/full: "},
      {{"--json", "keep.jsonl", "--csv", "held.csv"},
       "rcpspdc-batch: --csv: held.csv is locked: another run is writing it (nothing was "
       "changed)\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"--problem", "pat", "--first", "1"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const BatchResult result = run_batch_with(args);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err.rfind(c.says, 0), 0u) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(slurp("keep.csv"), "results of another run\n");
  }
  // Files this run created for nothing are gone; the held one is untouched.
  EXPECT_FALSE(std::filesystem::exists("keep.jsonl"));
  EXPECT_TRUE(!std::filesystem::exists("pictures") || std::filesystem::is_empty("pictures"));
  EXPECT_EQ(slurp("held.csv"), "");
  close(held);
  EXPECT_EQ(run_batch_with({"--problem", "pat", "--first", "1", "--csv", "held.csv"}).status, 0);
  // Only regular files are locked: runs that discard their rows into the
  // same device run side by side.
  const int sink = open("/dev/null", O_WRONLY);
  ASSERT_GE(sink, 0);
  ASSERT_EQ(flock(sink, LOCK_EX | LOCK_NB), 0);  // another run writing /dev/null
  EXPECT_EQ(run_batch_with({"--problem", "pat", "--first", "1", "--csv", "/dev/null"}).status, 0);
  close(sink);
  // A summary that cannot be written fails the run; a run that keeps its
  // rows nowhere says so first.
  const OptionsOutcome parsed = parse_batch_options({"--problem", "pat", "--first", "1"});
  std::FILE* full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(run_batch(parsed.options, full, err, false), 2);
  EXPECT_EQ(read_all(err),
            "rcpspdc-batch: warning: no --csv or --json: the rows of this run are kept nowhere, "
            "only its summary\nrcpspdc-batch: cannot write the summary\n");
  std::fclose(full);
  std::fclose(err);
  // From another directory, with --dir, the same instance is found.
  std::filesystem::create_directory("elsewhere");
  std::filesystem::current_path("elsewhere");
  EXPECT_EQ(run_batch_with({"--problem", "pat", "--first", "1", "--dir", ".."}).status, 0);
  std::filesystem::current_path("..");
}

// Deadlines out of range cost their row only: above the limit or below zero
// an error row that names it, below the makespan an infeasible row with its
// deadline; --quiet still names the error rows on stderr.
TEST(BatchRun, DeadlinesOutOfRangeCostTheirRowOnly) {
  ScopedWorkDir dir;
  copy_patterson({1, 2, 3});
  for (const char* engine : {"start-times", "delaying"}) {
    SCOPED_TRACE(engine);
    // On one thread: rows are named on stderr as they finish.
    const BatchResult low =
        run_batch_with({"--problem", "pat", "--first", "1", "--last", "3", "--offset", "-20",
                        "--engine", engine, "--csv", "low.csv", "--quiet", "--jobs", "1"});
    EXPECT_EQ(low.status, 1);
    ASSERT_EQ(low.csv.size(), 4u);
    EXPECT_EQ(low.csv[1].rfind("1,,,,,,,,deadline -1 is below zero,,,", 0), 0u) << low.csv[1];
    EXPECT_EQ(low.csv[2].rfind("2,,,,,,,,deadline -13 is below zero,,,", 0), 0u) << low.csv[2];
    EXPECT_EQ(low.csv[3].rfind("3,13,3,0,", 0), 0u) << low.csv[3];
    EXPECT_NE(low.csv[3].find(",infeasible,"), std::string::npos) << low.csv[3];
    EXPECT_EQ(low.err,
              "rcpspdc-batch: instance 1: deadline -1 is below zero\n"
              "rcpspdc-batch: instance 2: deadline -13 is below zero\n");
  }
  const BatchResult far = run_batch_with(
      {"pat1.rcp", "--offset", "-30", "--csv", "far.csv", "--makespans", "none.txt"});
  EXPECT_EQ(far.status, 2);  // none.txt cannot be read
  write_text("table.txt", "pat1 19\n");
  const BatchResult named = run_batch_with(
      {"pat1.rcp", "--offset", "-30", "--csv", "far.csv", "--makespans", "table.txt"});
  EXPECT_EQ(named.status, 1);
  ASSERT_EQ(named.csv.size(), 2u);
  EXPECT_EQ(named.csv[1].rfind("1,,,,,,,,deadline -11 is below zero,,,", 0), 0u) << named.csv[1];
  const BatchResult late = run_batch_with(
      {"--problem", "pat", "--first", "1", "--offset", "99990", "--csv", "late.csv"});
  EXPECT_EQ(late.status, 1);
  ASSERT_EQ(late.csv.size(), 2u);
  EXPECT_EQ(late.csv[1].rfind("1,,,,,,,,deadline above 100000 periods,,,", 0), 0u);
}

}  // namespace
}  // namespace rcpspdc::test

namespace rcpspdc::test {
namespace {

// The options of a small study: Patterson 1-4 at two offsets and two rates
// with both engines.
std::vector<std::string> study_args(const std::string& csv) {
  return {"--problem", "pat", "--first", "1",          "--last",   "4",
          "--offset",  "0,5", "--rate",  "0.005,0.01", "--engine", "start-times,delaying",
          "--csv",     csv,   "--quiet"};
}

// Every row of a grid is the row of a run at its combination alone: the
// grid solves every instance at every point, instance by instance, each
// row saying its point.
TEST(BatchGrid, RowsAreThoseOfSingleRunsOfEachCombination) {
  ScopedWorkDir dir;
  copy_patterson({1, 2, 3, 4});
  const BatchResult grid = run_batch_with(study_args("grid.csv"));
  ASSERT_EQ(grid.status, 0) << grid.err;
  ASSERT_EQ(grid.csv.size(), 1u + 4 * 8);
  std::size_t row = 1;
  for (int number = 1; number <= 4; ++number)
    for (const std::string engine : {"start-times", "delaying"})
      for (const std::string offset : {"0", "5"})
        for (const std::string rate : {"0.005", "0.01"}) {
          const std::string n = std::to_string(number);
          const BatchResult single =
              run_batch_with({"--problem", "pat", "--first", n, "--offset", offset, "--rate", rate,
                              "--engine", engine, "--csv", "single.csv", "--quiet"});
          ASSERT_EQ(single.csv.size(), 2u);
          EXPECT_EQ(without_seconds(grid.csv[row]), without_seconds(single.csv[1]))
              << engine << " offset " << offset << " rate " << rate;
          ++row;
        }
  // Deadlines as factors of the makespan: ceil(F x makespan), exactly.
  const BatchResult factors =
      run_batch_with({"--problem", "pat", "--first", "1", "--last", "4", "--deadline-factor",
                      "1.1,1.25", "--csv", "f.csv", "--quiet"});
  ASSERT_EQ(factors.csv.size(), 9u);
  for (std::size_t r = 1; r < factors.csv.size(); ++r) {
    std::vector<std::string> fields;
    ASSERT_TRUE(split_csv_line(factors.csv[r], fields));
    int makespan = 0;
    ASSERT_TRUE(read_deadline_file("deadline.pat", std::stoi(fields[0]), 0, makespan).ok());
    const int tenths = r % 2 == 1 ? 110 : 125;
    EXPECT_EQ(std::stoi(fields[3]), (makespan * tenths + 99) / 100) << factors.csv[r];
    EXPECT_EQ(fields[12], "");  // no offset
    EXPECT_EQ(fields[13], r % 2 == 1 ? "1.1" : "1.25");
  }
  EXPECT_FALSE(parse_batch_options(
                   {"--problem", "p", "--first", "1", "--offset", "1", "--deadline-factor", "1.1"})
                   .ok());
  for (const char* bad : {"0", "1.1234567", "x", "1,1", "-1", "101", "1."})
    EXPECT_FALSE(
        parse_batch_options({"--problem", "p", "--first", "1", "--deadline-factor", bad}).ok())
        << bad;
  EXPECT_FALSE(parse_batch_options({"--problem", "p", "--first", "1", "--engine", "x"}).ok());
}

// The report of a grid: one line per engine and grid point, its counts those
// of the rows; CSV and JSON Lines of the run give the same table.
TEST(BatchGrid, ReportCountsEveryGridPoint) {
  ScopedWorkDir dir;
  copy_patterson({1, 2, 3, 4});
  std::vector<std::string> args = study_args("grid.csv");
  args.insert(args.end(), {"--json", "grid.jsonl"});
  ASSERT_EQ(run_batch_with(args).status, 0);
  BatchResult csv_report = run_batch_with({"--report", "grid.csv", "--format", "csv"});
  const BatchResult json_report = run_batch_with({"--report", "grid.jsonl", "--format", "csv"});
  ASSERT_EQ(csv_report.status, 0) << csv_report.err;
  const std::vector<std::string> table = lines_of(csv_report.out);
  ASSERT_EQ(table.size(), 9u);
  EXPECT_EQ(table[0],
            "set,engine,deadline,rate,negative,seed,cash_flows,makespans,time_limit,node_limit,"
            "instances,proven,optimal,infeasible,stopped_with,stopped_without,errors,mean_gap_"
            "percent,largest_gap_percent,median_seconds,geomean_seconds");
  EXPECT_EQ(table[1].substr(0, table[1].find(",-,-,")),
            ",start-times,+0,0.005,60,1,,,60,,4,4,4,0,0,0,0");
  EXPECT_EQ(table[8].substr(0, table[8].find(",-,-,")),
            ",delaying,+5,0.01,60,1,,,60,,4,4,4,0,0,0,0");
  // The CSV of an older version, without the node_limit column, reads alike.
  std::string older;
  for (const std::string& line : lines_of(slurp("grid.csv"))) {
    std::vector<std::string> fields;
    ASSERT_TRUE(split_csv_line(line, fields));
    fields.erase(fields.begin() + 20);
    std::string joined;
    for (const std::string& field : fields)
      joined += (joined.empty() ? "" : ",") + csv_field(field);
    older += joined + '\n';
  }
  write_text("older.csv", older);
  csv_report = run_batch_with({"--report", "older.csv", "--format", "csv"});
  ASSERT_EQ(csv_report.status, 0) << csv_report.err;
  EXPECT_EQ(lines_of(csv_report.out), table);
  // The JSON Lines know the set; the counts agree.
  const std::vector<std::string> from_json = lines_of(json_report.out);
  ASSERT_EQ(from_json.size(), 9u);
  EXPECT_EQ(from_json[1].substr(0, from_json[1].find(",-,-,")),
            "pat,start-times,+0,0.005,60,1,,,60,,4,4,4,0,0,0,0");
  const BatchResult markdown = run_batch_with({"--report", "grid.jsonl", "grid.jsonl"});
  EXPECT_NE(markdown.out.find("Every row: negative 60, seed 1, time_limit 60."), std::string::npos)
      << markdown.out;
  EXPECT_NE(markdown.out.find("| delaying | +5 | 0.01 | 8 | 8 | 8 |"), std::string::npos)
      << markdown.out;
  EXPECT_FALSE(parse_batch_options({"--report"}).ok());
  EXPECT_FALSE(parse_batch_options({"--report", "a.csv", "--csv", "b.csv"}).ok());
}

// Flows written with --flows-out and read back with --cash-flows give the
// same values at every grid point; a run on instance files takes them by
// file name; flows that do not fit are refused row by row.
TEST(BatchFlows, ReplayFromTheFlowsOutGivesTheSameValues) {
  ScopedWorkDir dir;
  copy_patterson({1, 2, 3});
  const std::vector<std::string> grid = {"--problem",  "pat",   "--first",  "1",
                                         "--last",     "3",     "--offset", "0,5",
                                         "--negative", "30,60", "--quiet",  "--json"};
  std::vector<std::string> drawn = grid;
  drawn.insert(drawn.end(), {"drawn.jsonl", "--flows-out", "flows.csv", "--seed", "7"});
  ASSERT_EQ(run_batch_with(drawn).status, 0);
  const std::vector<std::string> flows = lines_of(slurp("flows.csv"));
  ASSERT_EQ(flows[0], "number,instance,negative,seed,activity,flow");
  EXPECT_EQ(flows[1], "1,pat1,30,7,1,0");
  EXPECT_EQ(flows.size(), 1u + 2 * (14 + 7 + 13));  // once per instance and share
  std::vector<std::string> replay = grid;
  replay.insert(replay.end(), {"replayed.jsonl", "--cash-flows", "flows.csv"});
  ASSERT_EQ(run_batch_with(replay).status, 0);
  const std::vector<std::string> a = lines_of(slurp("drawn.jsonl"));
  const std::vector<std::string> b = lines_of(slurp("replayed.jsonl"));
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t k = 1; k + 1 < a.size(); ++k) {
    const nlohmann::json x = nlohmann::json::parse(a[k]);
    const nlohmann::json y = nlohmann::json::parse(b[k]);
    EXPECT_EQ(x.at("value"), y.at("value")) << a[k];
    EXPECT_EQ(x.at("cash_flows"), y.at("cash_flows"));
    EXPECT_EQ(x.at("negative"), y.at("negative"));
    EXPECT_EQ(y.at("seed"), nullptr);
    EXPECT_EQ(y.at("cash_flow_file"), "flows.csv");
  }
  // Instance files take flows by name.
  ASSERT_EQ(run_batch_with({"pat2.rcp", "--negative", "60", "--cash-flows", "flows.csv", "--json",
                            "named.jsonl", "--quiet"})
                .status,
            0);
  // (line 6: instance 2 at offset 0 and 60 % negative)
  EXPECT_EQ(nlohmann::json::parse(lines_of(slurp("named.jsonl"))[1]).at("cash_flows"),
            nlohmann::json::parse(a[6]).at("cash_flows"));
  // Flows of another share, or a missing activity, are refused.
  const BatchResult other = run_batch_with({"--problem", "pat", "--first", "1", "--negative", "20",
                                            "--cash-flows", "flows.csv", "--csv", "o.csv"});
  EXPECT_EQ(other.status, 1);
  EXPECT_NE(other.csv.at(1).find("no cash flows for pat1 at 20 % negative in flows.csv"),
            std::string::npos);
  write_text("cut.csv", "instance,activity,flow\npat1,1,0\npat1,3,5\n");
  const BatchResult cut = run_batch_with(
      {"--problem", "pat", "--first", "1", "--cash-flows", "cut.csv", "--csv", "c.csv"});
  EXPECT_EQ(cut.status, 2);
  EXPECT_NE(cut.err.find("the flows of pat1 miss activities"), std::string::npos) << cut.err;
  EXPECT_FALSE(parse_batch_options({"pat1.rcp", "--cash-flows", "info.out"}).ok());
}

}  // namespace
}  // namespace rcpspdc::test
