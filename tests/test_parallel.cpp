// Parallel and sharded batch runs: the options, several threads giving the
// rows of one, and four shards run through GNU Parallel merging into the
// unsharded run. The runs use the real program (real clock, real threads).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "formats/batch_csv.hpp"
#include "tests/test_support.hpp"
#include "tools/batch_options.hpp"

namespace rcpspdc::test {
namespace {

// Quick Patterson instances at offset 5, with two read errors among them,
// solved by the console's search on the cash flows of the benchmark baseline
// (bench/baseline_offset5.info.out), whose node counts the expected rows hold.
std::string range() {
  const std::filesystem::path flows =
      data_dir().parent_path().parent_path() / "bench" / "baseline_offset5.info.out";
  return "--engine delaying --problem pat --first 1 --last 15 --offset 5 --cash-flows " +
         flows.string() + " --time-limit 60";
}

int shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string batch_command(const std::string& extra) {
  return std::string(RCPSPDC_BATCH) + " " + range() + " --dir " + (data_dir() / "pat").string() +
         " " + extra;
}

// The rows of a CSV file up to the bound, without the seconds (the 8th
// field), which alone depend on timing.
std::vector<std::string> rows_without_seconds(const std::string& path) {
  std::vector<std::string> rows;
  std::istringstream in(slurp(path));
  for (std::string row; std::getline(in, row);) {
    std::vector<std::string> fields;
    EXPECT_TRUE(split_csv_line(row, fields)) << row;
    fields.resize(20);
    std::string kept = fields[0];
    for (const std::size_t f : {1, 2, 3, 4, 5, 6, 8, 9}) kept += ',' + fields[f];
    rows.push_back(kept);
  }
  return rows;
}

TEST(BatchParallel, JobsAndShardOptions) {
  const OptionsOutcome given =
      parse_batch_options({"--problem", "p", "--first", "1", "--jobs", "3", "--shard=2/5"});
  ASSERT_TRUE(given.ok()) << given.error;
  EXPECT_EQ(given.options.jobs, 3);
  EXPECT_EQ(given.options.shard_index, 2);
  EXPECT_EQ(given.options.shard_count, 5);
  for (const char* jobs : {"0", "-1", "x", "1025", "2.5"})
    EXPECT_NE(parse_batch_options({"--problem", "p", "--first", "1", "--jobs", jobs})
                  .error.find("from 1 to 1024"),
              std::string::npos)
        << jobs;
  for (const char* shard :
       {"4/4", "5/4", "-1/4", "1/0", "1", "/4", "1/", "a/b", "1/2/3", "0/-2", " 0/2"})
    EXPECT_NE(parse_batch_options({"--problem", "p", "--first", "1", "--shard", shard})
                  .error.find("expected I/N, shard I of N with 0 <= I < N"),
              std::string::npos)
        << shard;
}

// Every program names its version, and the commit of a build from a clone.
TEST(BatchParallel, EveryProgramAnswersVersion) {
  ScopedWorkDir dir;
  const std::string tools = std::filesystem::path(RCPSPDC_BATCH).parent_path().string();
  const std::string console = std::filesystem::path(tools).parent_path().string() + "/rcpspdc";
  for (const std::string& program :
       {tools + "/rcpspdc-batch", tools + "/rcpspdc-check", tools + "/rcpspdc-convert", console}) {
    ASSERT_EQ(shell(program + " --version > version.txt"), 0) << program;
    const std::string name = std::filesystem::path(program).filename().string();
    EXPECT_EQ(slurp("version.txt").rfind(name + " 1.", 0), 0u) << slurp("version.txt");
  }
}

// Without sbatch the cluster script says so and leaves no directory behind.
TEST(BatchParallel, SlurmScriptWithoutSbatchCreatesNothing) {
  if (shell("command -v sbatch > /dev/null") == 0) GTEST_SKIP() << "sbatch is installed";
  ScopedWorkDir dir;
  EXPECT_EQ(shell("RCPSPDC_BATCH=" + std::string(RCPSPDC_BATCH) + " " + RCPSPDC_SCRIPTS +
                  "/slurm-array.sh 2 out --problem pat --first 1 2> message.txt"),
            2);
  EXPECT_EQ(slurp("message.txt"),
            "slurm-array: sbatch not found: run this on a Slurm submit host (nothing was "
            "created)\n");
  EXPECT_FALSE(std::filesystem::exists("out"));
}

// On a submit host (here a stand-in sbatch that records its calls) the
// options are first checked by a dry run: refused ones submit nothing. A task
// writes CSV and JSON and, requeued, goes on where it stopped.
TEST(BatchParallel, SlurmScriptChecksOptionsAndTasksResume) {
  ScopedWorkDir dir;
  std::filesystem::create_directory("bin");
  write_text("bin/sbatch", "#!/bin/sh\necho \"$@\" >> sbatch-calls.txt\necho 42\n");
  std::filesystem::permissions("bin/sbatch", std::filesystem::perms::owner_all);
  const std::string script =
      "PATH=\"$PWD/bin:$PATH\" RCPSPDC_BATCH=" + std::string(RCPSPDC_BATCH) + " " +
      RCPSPDC_SCRIPTS + "/slurm-array.sh 2 out ";
  const std::string options = range() + " --dir " + (data_dir() / "pat").string();
  EXPECT_EQ(shell(script + options + " --offset x 2> refused.txt"), 2);
  EXPECT_NE(slurp("refused.txt").find("--offset \"x\": expected integers"), std::string::npos)
      << slurp("refused.txt");
  EXPECT_NE(slurp("refused.txt").find("slurm-array: the batch runner refuses these options"),
            std::string::npos);
  EXPECT_EQ(shell(script + options + " --resume 2> refused.txt"), 2);
  EXPECT_FALSE(std::filesystem::exists("sbatch-calls.txt"));
  EXPECT_FALSE(std::filesystem::exists("out"));
  ASSERT_EQ(shell(script + options + " > submitted.txt"), 0);
  EXPECT_NE(slurp("sbatch-calls.txt").find("--array=0-1"), std::string::npos);
  // Task 1, run twice as a requeue would: the second run solves nothing.
  const std::string task = "SLURM_ARRAY_TASK_ID=1 " + std::string(RCPSPDC_SCRIPTS) +
                           "/slurm-array.sh task 2 out " + RCPSPDC_BATCH + " " + options;
  ASSERT_EQ(shell(task + " > task.txt 2>&1"), 0) << slurp("task.txt");
  const std::string csv = slurp("out/shard-1.csv");
  EXPECT_EQ(rows_without_seconds("out/shard-1.csv").size(), 8u);
  EXPECT_NE(slurp("out/shard-1.jsonl").find("\"number\":14"), std::string::npos);
  ASSERT_EQ(shell(task + " > again.txt 2>&1"), 0) << slurp("again.txt");
  EXPECT_NE(slurp("again.txt").find("7 rows done before, 0 to go"), std::string::npos)
      << slurp("again.txt");
  EXPECT_EQ(slurp("out/shard-1.csv"), csv);
}

// Shards of runs with other settings, and a shard whose last line was cut
// off, are refused rather than merged.
TEST(BatchParallel, MergeRefusesCutLinesAndShardsOfOtherRuns) {
  ScopedWorkDir dir;
  ASSERT_EQ(shell(batch_command("--jobs 1 --shard 0/2 --csv a.csv > /dev/null 2>&1")), 1);
  ASSERT_EQ(shell(batch_command("--jobs 1 --shard 1/2 --csv b.csv > /dev/null 2>&1")), 0);
  ASSERT_EQ(shell(batch_command("--jobs 1 --shard 1/2 --csv c.csv --rate 0.02 > /dev/null 2>&1")),
            0);
  const std::string merge = std::string(RCPSPDC_SCRIPTS) + "/merge-shards.sh --expect 2 ";
  ASSERT_EQ(shell(merge + "a.csv b.csv > ab.csv"), 0);
  EXPECT_EQ(rows_without_seconds("ab.csv").size(), 16u);
  EXPECT_EQ(shell(merge + "a.csv c.csv > ac.csv 2> ac.txt"), 1);
  // (the rate is a dimension of the grid: c.csv's rows are of another grid point)
  EXPECT_EQ(slurp("ac.txt"),
            "merge-shards: instance 2 has other grid points than instance 1 (shards of other "
            "grids, or a shard stopped within an instance: finish it with --resume)\n");
  ASSERT_EQ(
      shell(batch_command("--jobs 1 --shard 1/2 --csv d.csv --time-limit 9 > /dev/null 2>&1")), 0);
  EXPECT_EQ(shell(merge + "a.csv d.csv > ad.csv 2> ad.txt"), 1);
  EXPECT_EQ(slurp("ad.txt"),
            "merge-shards: d.csv holds rows made with another --time-limit (9; a.csv: 60)\n");
  const std::string b = slurp("b.csv");
  write_text("b.csv", b.substr(0, b.size() - 10));
  EXPECT_EQ(shell(merge + "a.csv b.csv > cut.csv 2> cut.txt"), 1);
  EXPECT_EQ(slurp("cut.txt"),
            "merge-shards: the last line of b.csv is cut off (finish that shard with --resume "
            "first)\n");
}

TEST(BatchParallel, SeveralJobsGiveTheRowsOfOne) {
  ScopedWorkDir dir;
  for (const char* jobs : {"1", "2", "3"})
    EXPECT_EQ(shell(batch_command("--jobs " + std::string(jobs) + " --csv jobs" + jobs +
                                  ".csv > /dev/null")),
              1)
        << "two instances are read errors";
  const std::vector<std::string> one = rows_without_seconds("jobs1.csv");
  ASSERT_EQ(one.size(), 16u);
  EXPECT_EQ(
      one[3],
      "3,13,3,25,25,5,-1530.5487312820319,optimal,-1530.5487312820319");  // activity 7 made to
                                                                          // precede the end
  EXPECT_EQ(one[12], "12,23,3,18,18349,2662,-2736.5701135115887,optimal,-2736.5701135115887");
  EXPECT_EQ(rows_without_seconds("jobs2.csv"), one);
  EXPECT_EQ(rows_without_seconds("jobs3.csv"), one);
}

TEST(BatchParallel, FourShardsThroughGnuParallelMergeIntoTheWholeRun) {
  if (shell("command -v parallel > /dev/null") != 0)
    GTEST_SKIP() << "GNU Parallel (package parallel) is missing";
  ScopedWorkDir dir;
  ASSERT_EQ(shell(batch_command("--csv whole.csv > /dev/null")), 1);
  // Every shard has a read error or not; parallel's status counts the shards
  // that had one (9 and 13, both in shard 0).
  EXPECT_EQ(shell("parallel " + batch_command("--jobs 1 --shard {}/4 --csv shard-{}.csv") +
                  " ::: 0 1 2 3 > summaries.txt 2>&1 < /dev/null"),
            1)
      << slurp("summaries.txt");
  EXPECT_EQ(rows_without_seconds("shard-1.csv"),
            (std::vector<std::string>{
                rows_without_seconds("whole.csv")[0],
                "2,7,3,12,2,0,-1110.0097460375964,optimal,-1110.0097460375964",
                "6,22,3,13,290,43,-2685.8077816274226,optimal,-2685.8077816274226",
                "10,8,2,19,2,0,-1282.2464241299072,optimal,-1282.2464241299072",
                "14,35,1,48,4776,955,-2819.4488790189539,optimal,-2819.4488790189539"}));
  const std::string merge = std::string(RCPSPDC_SCRIPTS) + "/merge-shards.sh";
  ASSERT_EQ(shell(merge + " shard-3.csv shard-1.csv shard-0.csv shard-2.csv > merged.csv"), 0);
  EXPECT_EQ(rows_without_seconds("merged.csv"), rows_without_seconds("whole.csv"));
  // With the number of shards given, a missing shard is refused rather than
  // dropping every fourth row, and so are files that are not its shards.
  ASSERT_EQ(
      shell(merge + " --expect 4 shard-3.csv shard-1.csv shard-0.csv shard-2.csv > expected.csv"),
      0);
  EXPECT_EQ(slurp("expected.csv"), slurp("merged.csv"));
  EXPECT_EQ(shell(merge +
                  " --expect 4 shard-0.csv shard-1.csv shard-3.csv > missing.csv 2> missing.txt"),
            1);
  EXPECT_EQ(slurp("missing.txt"), "merge-shards: expected 4 shard files, got 3\n");
  EXPECT_EQ(
      shell(merge +
            " --expect 4 shard-0.csv shard-1.csv shard-1.csv shard-3.csv > same.csv 2> same.txt"),
      1);
  EXPECT_EQ(slurp("same.txt").rfind("merge-shards: instance 2 appears twice at ", 0), 0u);
  EXPECT_EQ(shell(merge + " --expect 2 shard-0.csv shard-1.csv > gaps.csv 2> gaps.txt"), 1);
  EXPECT_EQ(slurp("gaps.txt").rfind("merge-shards: instances 3 to 4 are missing\n", 0), 0u)
      << slurp("gaps.txt");
  EXPECT_EQ(shell(merge + " --expect x shard-0.csv > /dev/null 2>&1"), 2);
  // Shards of mixed-up runs are refused.
  EXPECT_EQ(shell(merge + " shard-1.csv shard-1.csv > twice.csv 2> twice.txt"), 1);
  EXPECT_EQ(slurp("twice.txt").rfind("merge-shards: instance 2 appears twice at ", 0), 0u)
      << slurp("twice.txt");
}

}  // namespace
}  // namespace rcpspdc::test

namespace rcpspdc::test {
namespace {

// A grid command on Patterson (1-8 unless said): both engines at two offsets.
std::string grid_command(const std::string& extra,
                         const std::string& range = "--first 1 --last 8") {
  return std::string(RCPSPDC_BATCH) + " --problem pat " + range + " --dir " +
         (data_dir() / "pat").string() +
         " --offset 0,5 --engine start-times,delaying --time-limit 60 " + extra;
}

// The rows of a grid run's CSV without the seconds (the 8th and 11th fields).
std::vector<std::string> grid_rows(const std::string& path) {
  std::vector<std::string> rows;
  std::istringstream in(slurp(path));
  for (std::string row; std::getline(in, row);) {
    std::vector<std::string> fields;
    EXPECT_TRUE(split_csv_line(row, fields)) << row;
    fields[7] = fields[10] = "";
    std::string kept;
    for (const std::string& field : fields) kept += field + ',';
    rows.push_back(kept);
  }
  return rows;
}

// Shards of a grid split it by instance and merge into the whole run; shards
// of two grids are refused.
TEST(BatchParallel, GridShardsMergeIntoTheWholeGrid) {
  ScopedWorkDir dir;
  ASSERT_EQ(shell(grid_command("--csv whole.csv --quiet")), 0);
  for (const char* shard : {"0", "1", "2"})
    ASSERT_EQ(shell(grid_command("--jobs 2 --shard " + std::string(shard) + "/3 --csv shard-" +
                                 shard + ".csv --quiet")),
              0);
  const std::string merge = std::string(RCPSPDC_SCRIPTS) + "/merge-shards.sh";
  ASSERT_EQ(shell(merge + " --expect 3 shard-0.csv shard-1.csv shard-2.csv > all.csv"), 0);
  EXPECT_EQ(grid_rows("all.csv"), grid_rows("whole.csv"));
  EXPECT_EQ(grid_rows("whole.csv").size(), 1u + 8 * 4);
  // Another grid's shard: other grid points.
  ASSERT_EQ(shell(grid_command("--rate 0.02 --shard 1/3 --csv other.csv --quiet")), 0);
  EXPECT_EQ(shell(merge + " shard-0.csv other.csv shard-2.csv > mixed.csv 2> mixed.txt"), 1);
  EXPECT_NE(slurp("mixed.txt").find("has other grid points than instance 1"), std::string::npos)
      << slurp("mixed.txt");
}

// The rows of JSON Lines files without the header, the closing line and the
// fields that depend on timing, sorted: every row names its instance and
// grid point, so the rows of one run compare in any order.
std::vector<std::string> timeless_json_rows(const std::vector<std::string>& paths) {
  std::vector<std::string> rows;
  for (const std::string& path : paths) {
    std::istringstream in(slurp(path));
    for (std::string line; std::getline(in, line);) {
      nlohmann::ordered_json row = nlohmann::ordered_json::parse(line);
      if (!row.contains("number")) continue;
      row.erase("seconds");
      row.erase("seconds_to_best");
      rows.push_back(row.dump());
    }
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

// A node limit bounds the work, not the time: without a time limit, a run on
// one thread and the same run on two threads in two shards give the same
// rows, schedules included, but for the seconds. The rows the limit stopped
// say so; the start-time search stops at the limit exactly, the delaying
// search within one branching of it. Shards of another node limit are not
// merged.
TEST(BatchParallel, NodeLimitGivesTheSameRowsOnAnyJobsAndShards) {
  ScopedWorkDir dir;
  const auto command = [](const std::string& extra) {
    return std::string(RCPSPDC_BATCH) + " --problem pat --first 1 --last 20 --dir " +
           (data_dir() / "pat").string() +
           " --engine start-times,delaying --time-limit 0 --quiet " + extra + " 2> /dev/null";
  };
  // pat9 and pat13, both in shard 0, cannot be read.
  ASSERT_EQ(shell(command("--node-limit 10 --jobs 1 --csv whole.csv --json whole.jsonl")), 1);
  ASSERT_EQ(shell(command("--node-limit 10 --jobs 2 --shard 0/2 --csv a.csv --json a.jsonl")), 1);
  ASSERT_EQ(shell(command("--node-limit 10 --jobs 2 --shard 1/2 --csv b.csv --json b.jsonl")), 0);
  const std::string merge = std::string(RCPSPDC_SCRIPTS) + "/merge-shards.sh --expect 2 ";
  ASSERT_EQ(shell(merge + "a.csv b.csv > merged.csv"), 0);
  EXPECT_EQ(grid_rows("merged.csv"), grid_rows("whole.csv"));
  const std::vector<std::string> whole = timeless_json_rows({"whole.jsonl"});
  EXPECT_EQ(timeless_json_rows({"a.jsonl", "b.jsonl"}), whole);
  ASSERT_EQ(whole.size(), 40u);
  std::map<std::string, int> stopped;
  for (const std::string& line : whole) {
    const nlohmann::json row = nlohmann::json::parse(line);
    if (row["status"] != "node limit") continue;
    const std::string engine = row["engine"];
    ++stopped[engine];
    EXPECT_EQ(row["node_limit"], 10);
    if (engine == "start-times")
      EXPECT_EQ(row["created_nodes"], 10) << line;
    else
      EXPECT_GE(row["created_nodes"].get<int>(), 10) << line;
  }
  EXPECT_EQ(stopped["start-times"], 4);
  EXPECT_EQ(stopped["delaying"], 12);
  ASSERT_EQ(shell(command("--node-limit 20 --shard 1/2 --csv c.csv")), 0);
  EXPECT_EQ(shell(merge + "a.csv c.csv > ac.csv 2> ac.txt"), 1);
  EXPECT_EQ(slurp("ac.txt"),
            "merge-shards: c.csv holds rows made with another --node-limit (20; a.csv: 10)\n");
}

// Ctrl-C stops a grid run at once with a summary and the command that goes
// on; that command finishes the files an uninterrupted run writes.
TEST(BatchParallel, InterruptedGridRunSaysHowToGoOnAndResumes) {
  ScopedWorkDir dir;
  // Instance 12 takes longest: the run is interrupted before it ends.
  const std::string range = "--first 11 --last 12";
  ASSERT_EQ(shell(grid_command("--jobs 1 --csv whole.csv --quiet", range)), 0);
  const std::string command = grid_command("--jobs 1 --csv run.csv --json run.jsonl", range);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int err = open("err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(err, 2);
    execl("/bin/sh", "sh", "-c", ("exec " + command + " > out.txt").c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  // Once a few rows are written, the run is interrupted.
  for (std::string rows; std::count(rows.begin(), rows.end(), '\n') < 3; rows = slurp("run.csv"))
    usleep(1000);
  kill(child, SIGINT);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  const std::string said = slurp("err.txt");
  EXPECT_NE(said.find("rcpspdc-batch: interrupted: "), std::string::npos) << said;
  const std::size_t go_on = said.find("rcpspdc-batch: go on with: ");
  ASSERT_NE(go_on, std::string::npos) << said;
  std::string again = said.substr(go_on + 27);
  again = again.substr(0, again.find('\n'));
  EXPECT_EQ(again.substr(again.size() - 9), " --resume");
  const std::string json = slurp("run.jsonl");
  EXPECT_NE(json.find("{\"end\":\"interrupted\""), std::string::npos);
  EXPECT_LT(grid_rows("run.csv").size(), grid_rows("whole.csv").size());
  EXPECT_EQ(shell(again + " > /dev/null 2> /dev/null"), 0);
  EXPECT_EQ(grid_rows("run.csv"), grid_rows("whole.csv"));
  const std::string resumed = slurp("run.jsonl");
  EXPECT_EQ(resumed.find("{\"end\":\"interrupted\""), std::string::npos);
  EXPECT_NE(resumed.find("{\"end\":\"complete\""), std::string::npos);
}

}  // namespace
}  // namespace rcpspdc::test
