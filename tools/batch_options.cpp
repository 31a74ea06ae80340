#include "tools/batch_options.hpp"

#include <algorithm>
#include <limits>

#include "formats/batch_csv.hpp"
#include "formats/flows_csv.hpp"
#include "tools/command_line.hpp"

namespace rcpspdc {

namespace {

constexpr int INT_LOW = std::numeric_limits<int>::min();
constexpr int INT_HIGH = std::numeric_limits<int>::max();
constexpr int MAX_JOBS = 1024;

// "I/N" with 0 <= I < N.
bool to_shard(const std::string& text, int& index, int& count) {
  const std::size_t slash = text.find('/');
  return slash != std::string::npos && set_int(index, 0, INT_HIGH)(text.substr(0, slash)) &&
         set_int(count, 1, INT_HIGH)(text.substr(slash + 1)) && index < count;
}

// A comma list of distinct values, each read by `one`, into `list`; the
// first also into `first`, the point the options name until a grid point
// replaces it.
template <typename T>
std::function<bool(const std::string&)> set_list(std::vector<T>& list, T& first,
                                                 std::function<bool(const std::string&, T&)> one) {
  return [&list, &first, one](const std::string& text) {
    list.clear();
    std::size_t at = 0;
    for (;;) {
      const std::size_t comma = std::min(text.find(',', at), text.size());
      T value{};
      if (!one(text.substr(at, comma - at), value) ||
          std::find(list.begin(), list.end(), value) != list.end())
        return false;
      list.push_back(value);
      if (comma == text.size()) break;
      at = comma + 1;
    }
    first = list.front();
    return true;
  };
}

bool one_int(const std::string& text, int& value, int low, int high) {
  return to_number(text, value) && value >= low && value <= high;
}

}  // namespace

OptionsOutcome parse_batch_options(const std::vector<std::string>& args) {
  OptionsOutcome outcome;
  BatchOptions& o = outcome.options;
  bool have_first = false;
  bool have_last = false;
  bool have_seed = false;
  bool have_offset = false;
  bool have_factor = false;
  std::string engine_list;
  for (const std::string& name : engine_names())
    engine_list += (engine_list.empty() ? "" : ",") + name;
  const auto offsets =
      set_list<int>(o.offsets, o.deadline_offset,
                    [](const std::string& t, int& v) { return one_int(t, v, INT_LOW, INT_HIGH); });
  const std::vector<OptionRow> table = {
      {"--problem", "a problem name without blanks or '/'",
       [&o](const std::string& value) {
         o.problem = value;
         return !value.empty() && value.find_first_of(" \t\n/") == std::string::npos;
       }},
      {"--first", "an integer", set_int(o.first, INT_LOW, INT_HIGH), &have_first},
      {"--last", "an integer", set_int(o.last, INT_LOW, INT_HIGH), &have_last},
      {"--dir", "a directory", set_text(o.dir)},
      {"--negative", "percentages from 0 to 100, such as 60 or 20,60 (each once)",
       set_list<int>(o.negatives, o.negative_percent,
                     [](const std::string& t, int& v) { return one_int(t, v, 0, 100); })},
      {"--offset", "integers, such as 5 or 0,5,10 (each once)", offsets, &have_offset},
      {"--deadline-offset", "integers, such as 5 or 0,5,10 (each once)", offsets, &have_offset},
      {"--deadline-factor",
       "factors from 0.000001 to 100 with at most 6 decimals, such as 1.2 or 1.1,1.5 (each once)",
       set_list<long long>(o.factors, o.deadline_factor, parse_deadline_factor), &have_factor},
      {"--makespans", "a file name", set_text(o.makespans)},
      {"--rate", "rates of 0 or more, such as 0.01 or 0.005,0.01 (each once)",
       set_list<double>(o.rates, o.interest_rate,
                        [](const std::string& t, double& v) {
                          double rate = 0.0;
                          if (!set_rate(rate)(t)) return false;
                          v = rate;
                          return true;
                        })},
      {"--time-limit", "seconds, 0 (no limit) or more, such as 0.5", set_rate(o.time_limit)},
      {"--node-limit", "a number of nodes, 0 (no limit) or more, such as 100000",
       [&o](const std::string& value) {
         return to_number(value, o.node_limit) && o.node_limit >= 0;
       }},
      {"--seed", "an integer from 0 to 4294967295",
       [&o](const std::string& value) { return to_number(value, o.seed); }, &have_seed},
      {"--cash-flows", "an info.out or a flows CSV file", set_text(o.cash_flows)},
      {"--flows-out", "a CSV file name", set_text(o.flows_out)},
      {"--jobs", "a number of instances solved at once, from 1 to " + std::to_string(MAX_JOBS),
       set_int(o.jobs, 1, MAX_JOBS)},
      {"--threads", "a number of searches on each instance at once, from 1 to 3",
       set_int(o.threads, 1, 3)},
      {"--shard", "I/N, shard I of N with 0 <= I < N, such as 0/4",
       [&o](const std::string& value) { return to_shard(value, o.shard_index, o.shard_count); }},
      {"--csv", "a file name", set_text(o.csv)},
      {"--json", "a file name, or - for standard output", set_text(o.json)},
      {"--svg", "a directory", set_text(o.svg_dir)},
      {"--plot", "an SVG file name", set_text(o.plot)},
      {"--gap-plot", "an SVG file name", set_text(o.gap_plot)},
      {"--engine",
       "engine names (" + engine_list + "), such as " + engine_names().front() + " or " +
           engine_list + " (each once)",
       set_list<std::string>(o.engines, o.engine,
                             [](const std::string& t, std::string& v) {
                               v = t;
                               const auto& names = engine_names();
                               return std::find(names.begin(), names.end(), t) != names.end();
                             })},
      {"--format", "markdown or csv",
       [&o](const std::string& value) {
         o.format = value;
         return value == "markdown" || value == "csv";
       }},
  };
  const std::vector<FlagRow> flags = {{"--verbose", &o.verbose},
                                      {"--quiet", &o.quiet},
                                      {"--resume", &o.resume},
                                      {"--svg-arcs", &o.svg_arcs},
                                      {"--unmixed-seed", &o.unmixed_seed},
                                      {"--dry-run", &o.dry_run},
                                      {"--report", &o.report}};
  outcome.error = parse_options(args, table, o.help, flags, &o.files);
  if (!outcome.ok() || o.help) return outcome;
  if (o.report) {
    if (o.files.empty())
      outcome.error = "--report needs the runs to summarize: their JSON Lines or CSV files";
    else if (!o.problem.empty() || have_first || !o.csv.empty() || !o.json.empty() ||
             !o.svg_dir.empty() || !o.flows_out.empty() || o.resume)
      outcome.error =
          "--report reads finished runs: it takes --format, --plot and --gap-plot, not the "
          "options of a run";
    return outcome;
  }
  if (o.format != "markdown") {
    outcome.error = "--format goes with --report";
    return outcome;
  }
  if (have_offset && have_factor) {
    outcome.error =
        "--offset and --deadline-factor exclude each other: a deadline is the makespan plus an "
        "offset, or the makespan times a factor";
    return outcome;
  }
  if (have_factor) o.offsets = {0};
  if (!o.files.empty()) {
    if (!o.problem.empty() || have_first || have_last || !o.dir.empty())
      outcome.error =
          "instance files on the command line exclude --problem, --first, --last and --dir";
    else if (!o.cash_flows.empty() && !is_flows_csv_name(o.cash_flows))
      outcome.error =
          "instance files take --cash-flows from a flows CSV (a .csv file, see --flows-out), not "
          "from an info.out";
    o.first = 1;
    o.last = static_cast<int>(o.files.size());
  } else if (!o.makespans.empty()) {
    outcome.error = "--makespans goes with instance files on the command line";
  } else if (o.problem.empty() || !have_first) {
    outcome.error = "--problem and --first, or instance files, are required (see --help)";
  } else {
    if (!have_last) o.last = o.first;
    if (o.first > o.last)
      outcome.error =
          "--first " + std::to_string(o.first) + " is above --last " + std::to_string(o.last);
  }
  if (!outcome.ok()) return outcome;
  if (o.unmixed_seed && !o.cash_flows.empty())
    outcome.error = "--unmixed-seed and --cash-flows exclude each other";
  else if (have_seed && !o.cash_flows.empty())
    outcome.error =
        "--seed and --cash-flows exclude each other: flows are either drawn or taken from the "
        "file";
  else if (o.negatives.size() > 1 && !o.cash_flows.empty() && !is_flows_csv_name(o.cash_flows))
    outcome.error =
        "--negative takes one share with --cash-flows from an info.out, whose flows are fixed (a "
        "flows CSV may hold flows of several shares)";

  // For numbered series and instance files alike.
  if (!outcome.ok()) return outcome;
  if (o.resume && ((o.csv.empty() && o.json.empty()) || o.csv == "-" || o.json == "-"))
    outcome.error = "--resume needs the results in files: --csv FILE or --json FILE, not -";
  else if (o.svg_arcs && o.svg_dir.empty())
    outcome.error = "--svg-arcs goes with --svg DIR";
  else if (o.verbose && o.quiet)
    outcome.error = "--verbose and --quiet exclude each other";
  else if (o.csv == "-" && o.json == "-")
    outcome.error = "--csv - and --json - would mix two formats on standard output";
  else if (o.flows_out == "-" && (o.csv == "-" || o.json == "-"))
    outcome.error = "--flows-out - would mix two formats on standard output";
  return outcome;
}

std::string batch_usage() {
  return "Usage: rcpspdc-batch --problem NAME --first A [--last B] [options]\n"
         "       rcpspdc-batch [options] FILE...\n"
         "       rcpspdc-batch --report RUN... [--format markdown|csv] [--plot F] [--gap-plot F]\n"
         "\n"
         "A grid: --engine, --offset (or --deadline-factor), --rate and --negative take\n"
         "comma lists; every instance is solved at every combination, one row each, the\n"
         "instances in order and each instance's rows in the grid's order (engines\n"
         "outermost, then deadlines, rates, shares). Every row names its combination.\n"
         "\n"
         "The second form solves the instance files named, PSPLIB .sm files or the\n"
         "program's own form (told apart by content), numbered 1, 2, ... in the order\n"
         "given, with the deadline --offset periods above the makespan --makespans\n"
         "gives for the file's name (without directory and extension), or above the\n"
         "critical path length when it gives none.\n"
         "\n"
         "Solves the instances NAME<A>.rcp .. NAME<B>.rcp one after another, with the\n"
         "deadlines of deadline.NAME, as the console program rcpspdc does, but with\n"
         "reproducible cash flows, a CSV row per instance and a summary on stdout.\n"
         "\n"
         "  --problem NAME     first part of the instance file names (required)\n"
         "  --first A          first instance number (required)\n"
         "  --last B           last instance number (default: A)\n"
         "  --dir DIR          directory of the instance and deadline files\n"
         "                     (default: the working directory)\n"
         "  --negative P,...   percentage of negative cash flows, 0-100 (default: 60)\n"
         "  --offset D,...     periods added to the makespan to form the deadline (default: 0);\n"
         "                     --deadline-offset is the same\n"
         "  --deadline-factor F,...  or: the deadline is ceil(F x makespan), F with at most\n"
         "                     6 decimals (not with --offset)\n"
         "  --makespans FILE   makespans of instance files: lines \"name makespan\", or a\n"
         "                     PSPLIB optimum or bound table (j30opt.sm: rows \"1 1 43\"\n"
         "                     name j301_1, the set taken from the table's file name)\n"
         "  --rate R,...       continuous interest rate per period (default: 0.01)\n"
         "  --time-limit S     time limit per instance in seconds, fractions allowed, 0 for\n"
         "                     none (default: 60). learning stops a search that has a\n"
         "                     schedule 2 % short of it, at most 1 s, to price the\n"
         "                     resources for the bound it reports\n"
         "  --node-limit N     stop each search once it has created N nodes, 0 for none\n"
         "                     (default: 0). A node is the engine's own: with delaying a\n"
         "                     bound evaluation (the limit is looked at before each\n"
         "                     branching, so a search may pass it by one node's\n"
         "                     children), with start-times a node of the exact search\n"
         "                     whose windows were propagated (it stops at N exactly; the\n"
         "                     heuristics' own searches have fixed budgets and are not\n"
         "                     counted). A budget of work, not of time: with no time limit\n"
         "                     (or one that does not strike) a run gives the same rows on\n"
         "                     any machine, for any --jobs and --shard\n"
         "  --seed N           seed of the cash-flow generator (std::mt19937), mixed anew\n"
         "                     with every instance's number (instance files: with the file's\n"
         "                     name without directory and extension), so an instance's flows\n"
         "                     depend only on N and the instance (default: 1)\n"
         "  --unmixed-seed     seed every instance with N alone, as version 1.1 and older\n"
         "                     did (all instances of one size then share their flows): only\n"
         "                     to replay such a run\n"
         "  --cash-flows FILE  take the cash flows from an info.out of a console run instead\n"
         "                     of drawing them; the record's deadline must equal the one the\n"
         "                     files give (not with --seed; --negative is then unused); or\n"
         "                     from a FILE.csv as --flows-out writes it (by instance name,\n"
         "                     and by --negative where the file gives shares)\n"
         "  --flows-out F.csv  write the cash flows of every instance and share as CSV:\n"
         "                     number,instance,negative,seed,activity,flow\n"
         "  --jobs N           solve N instances at once, one thread each; completed searches\n"
         "                     give the same rows for every N (default: the number of cores)\n"
         "  --threads N        search each instance with N engines at once, one thread each\n"
         "                     (the named engine, the other start-time engine, a learning\n"
         "                     search that branches by conflicts alone); the first to complete\n"
         "                     decides, so status and value do not depend on N (default: 1;\n"
         "                     not with the delaying engine, which runs alone)\n"
         "  --shard I/N        solve only the numbers n with (n - A) mod N = I, shard I of N\n"
         "                     (0 <= I < N), to spread one run over N machines; a shard\n"
         "                     takes whole instances, every grid point of each\n"
         "  --csv FILE         write one row per instance to FILE (- for standard output),\n"
         "                     with a header (default: none); columns: number,activities,\n"
         "                     resources,deadline,created_nodes,branched_nodes,npv,seconds,\n"
         "                     status,bound,seconds_to_best, then the row's settings:\n"
         "                     engine,offset,deadline_factor,rate,negative,seed,\n"
         "                     cash_flow_file,makespans,time_limit,node_limit, and its\n"
         "                     instance file\n"
         "  --json FILE        write JSON Lines to FILE (- for standard output): a header\n"
         "                     object with the version, every option, the date, host,\n"
         "                     processor and the SHA-256 of every input file, then one\n"
         "                     object per row with its cash flows, value, bound, counts,\n"
         "                     times and the finish time of every activity of the best\n"
         "                     schedule, and a closing line with the wall time (check a\n"
         "                     whole run with rcpspdc-check --json FILE --all)\n"
         "  --svg DIR          draw every feasible schedule found as DIR/NAME<number>.svg: a\n"
         "                     Gantt chart over the load profiles (DIR is created if needed)\n"
         "  --svg-arcs         draw the precedence arcs in those pictures too\n"
         "  --plot FILE.svg    the performance profile: the share of instances proven\n"
         "                     within a time, on a log axis, one line per engine and grid\n"
         "                     point, the time limit marked\n"
         "  --gap-plot F.svg   the gap profile of the searches stopped by a limit\n"
         "  --report RUN...    summarize finished runs (their --json or --csv files, shards\n"
         "                     too): per set, engine and grid point the rows proven, stopped\n"
         "                     with a schedule or without, errors, mean and largest gap,\n"
         "                     median and geometric-mean seconds; solves nothing\n"
         "  --format F         of the report: markdown (default) or csv\n"
         "  --engine NAME,...  learning (default): search over start-time windows that\n"
         "                     learns a nogood from every failure, after a first-schedule\n"
         "                     heuristic; proves the most. start-times: the same windows,\n"
         "                     branch-and-bound with shaving. delaying: the console\n"
         "                     program's search over delaying alternatives, node for node\n"
         "  --resume           go on with a stopped run: instances already in the --csv or\n"
         "                     --json files are skipped (with both, those in both), the\n"
         "                     others appended; the summary covers the new ones only. Rows\n"
         "                     of other settings or files, or twice, and input files whose\n"
         "                     SHA-256 changed are refused\n"
         "  --verbose          one line per finished instance on stderr (for cluster logs)\n"
         "  --quiet            print nothing but errors and error rows (no summary, no\n"
         "                     progress)\n"
         "  --dry-run          check the options, the input files and that the outputs can\n"
         "                     be written, then stop without solving or writing anything\n"
         "  --version          print the version and stop\n"
         "  --help             show this text\n"
         "\n"
         "status is optimal, infeasible (complete search, no feasible schedule), time limit,\n"
         "node limit (the search was stopped by that limit), or the reason the instance\n"
         "could not be solved; the run goes on after such a row.\n"
         "npv is printed with 17 significant digits and is empty without a feasible schedule.\n"
         "bound is the largest value a schedule could still have: npv after a complete\n"
         "search, the best bound left open after a stopped one. seconds_to_best is when\n"
         "the best schedule was found (empty with --engine delaying, which does not record\n"
         "it). The summary gives the relative gap (bound - npv) / max(|npv|, 1) of the\n"
         "stopped instances.\n"
         "Every output file is locked while the run writes it: a second run on the same\n"
         "file is refused (devices such as /dev/null are shared). Progress (rows done,\n"
         "proven, time left) is shown on stderr when it is a terminal. Ctrl-C stops at\n"
         "once, every line whole, and says how far the run came and the command that\n"
         "goes on (with --resume). Exit status: 0 when every instance could be read and\n"
         "solved, 1 when a row has an error, 2 on bad options or files that cannot be\n"
         "read or written.\n";
}

}  // namespace rcpspdc
