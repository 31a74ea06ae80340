// The console program: banner, dialogue, legend, files, the instance loop,
// credits and the key wait. Output files are opened only for the phase that
// writes them, so everything written so far is on disk after each instance.
#include "console/console.hpp"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>

#include "formats/info_file.hpp"
#include "formats/results_file.hpp"
#include "platform/platform.hpp"

namespace rcpspdc {

namespace {

// A search stops once more than the time limit has passed, so the answer 0
// stops it at the first look at the clock after a tick; a budget of 0 would
// mean no limit, and half a tick stops where 0 always did.
constexpr double LESS_THAN_A_TICK = 0.0005;

std::FILE* open_or_complain(const std::string& name, const char* mode, RunState& run) {
  std::FILE* file = std::fopen(name.c_str(), mode);
  if (file == nullptr) {
    std::fprintf(stderr, "rcpspdc: cannot open %s: %s\n", name.c_str(), std::strerror(errno));
    run.failed = true;
  }
  return file;
}

bool close_or_complain(std::FILE* file, const std::string& name, RunState& run) {
  if (std::fclose(file) == 0) return true;
  std::fprintf(stderr, "rcpspdc: cannot write %s\n", name.c_str());
  run.failed = true;
  return false;
}

void skip_blanks(std::FILE* in) {
  int c = 0;
  while ((c = std::fgetc(in)) != EOF && std::isspace(c) != 0) {}
  if (c != EOF) std::ungetc(c, in);
}

// "%s": one word of any length.
void read_word(std::FILE* in, std::string& target) {
  skip_blanks(in);
  target.clear();
  int c = 0;
  while ((c = std::fgetc(in)) != EOF && std::isspace(c) == 0) target += static_cast<char>(c);
  if (c != EOF) std::ungetc(c, in);
}

// An answer that does not convert counts as 0, as before, but is named on
// standard error; the word is skipped, so the answers after it keep their
// prompts. False at the end of the input, where there is no answer at all.
bool warn_unconverted(std::FILE* in, const char* prompt) {
  std::string word;
  read_word(in, word);
  if (word.empty()) return false;
  std::fprintf(stderr, "rcpspdc: answer \"%s\" to \"%s\" not understood; taken as 0\n",
               word.c_str(), prompt);
  return true;
}

// "%d": an optional sign and digits; an answer that does not convert, or does
// not fit, leaves the target as it was. False at the end of the input.
bool read_int(std::FILE* in, int& target, const char* prompt) {
  skip_blanks(in);
  std::string text;  // sign and digits as typed, for the warning
  int c = std::fgetc(in);
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    text += static_cast<char>(c);
    c = std::fgetc(in);
  }
  long long value = 0;
  bool digits = false;
  bool fits = true;
  while (c != EOF && std::isdigit(c) != 0) {
    digits = true;
    text += static_cast<char>(c);
    value = value * 10 + (c - '0');
    if (value > 2147483648LL) {
      fits = false;
      value = 2147483648LL;
    }
    c = std::fgetc(in);
  }
  if (c != EOF) std::ungetc(c, in);
  if (negative) value = -value;
  if (digits && fits && value >= INT_MIN && value <= INT_MAX)
    target = static_cast<int>(value);
  else if (!digits && warn_unconverted(in, prompt))
    return true;
  else if (!digits && text.empty())
    return false;
  else if (!digits)
    std::fprintf(stderr, "rcpspdc: answer \"%s\" to \"%s\" not understood; taken as 0\n",
                 text.c_str(), prompt);
  else
    std::fprintf(stderr,
                 "rcpspdc: answer \"%s\" to \"%s\" does not fit a 32-bit integer; taken as 0\n",
                 text.c_str(), prompt);
  return true;
}

// A number that is not finite (nan, inf) counts as one that does not convert.
bool read_double(std::FILE* in, double& target, const char* prompt) {
  double value = 0.0;
  if (std::fscanf(in, "%lf", &value) != 1) return warn_unconverted(in, prompt);
  if (std::isfinite(value))
    target = value;
  else
    std::fprintf(stderr, "rcpspdc: answer \"%g\" to \"%s\" not understood; taken as 0\n", value,
                 prompt);
  return true;
}

void ask(RunState& run, const char* prompt) {
  std::fputs(prompt, run.console_out);
  std::fflush(run.console_out);
}

}  // namespace

void run_dialogue(RunState& run) {
  std::fputs(results_banner().c_str(), run.console_out);
  RunParams& p = run.params;
  std::FILE* in = run.console_in;
  // At the end of the input the dialogue stops at the prompt left unanswered.
  const auto ended = [&run](bool answered, const char* prompt) {
    if (!answered) run.unanswered = prompt;
    return !answered;
  };
  ask(run, "\n Problem name : ");
  read_word(in, p.problem_name);
  if (ended(!p.problem_name.empty(), "Problem name")) return;
  ask(run, "\n Number of first problem : ");
  if (ended(read_int(in, p.first_problem, "Number of first problem"), "Number of first problem"))
    return;
  ask(run, "\n Number of last problem : ");
  if (ended(read_int(in, p.last_problem, "Number of last problem"), "Number of last problem"))
    return;
  ask(run, "\n Percentage negative cash flows (see paper. E.g. 60) : ");
  if (ended(read_int(in, p.negative_percent, "Percentage negative cash flows"),
            "Percentage negative cash flows"))
    return;
  ask(run, "\n Startdeadline: how much above the makespan? (0 = deadline=makespan) : ");
  if (ended(read_int(in, p.deadline_offset, "Startdeadline"), "Startdeadline")) return;
  ask(run, "\n Interest rate (e.g. 0.01) : ");
  if (ended(read_double(in, p.interest_rate, "Interest rate"), "Interest rate")) return;
  ask(run, "\n Time limit in seconds : ");
  if (ended(read_int(in, p.time_limit, "Time limit in seconds"), "Time limit in seconds")) return;
  std::fputs(results_legend().c_str(), run.console_out);
}

// Both files are created only now that every answer is in, so a run left at
// a prompt keeps the previous run's results.
bool create_output_files(RunState& run) {
  run.output_name = "output.out";
  std::FILE* results = open_or_complain(run.output_name, "w", run);
  if (results == nullptr) return false;
  std::fputs(results_head().c_str(), results);
  if (!close_or_complain(results, run.output_name, run)) return false;
  run.info_file = open_or_complain("info.out", "w", run);
  if (run.info_file == nullptr) return false;
  std::fputs(info_head().c_str(), run.info_file);
  const bool closed = close_or_complain(run.info_file, "info.out", run);
  run.info_file = nullptr;
  return closed;
}

int run_console(std::FILE* in, std::FILE* out) {
  SolverContext context;
  RunState& run = context.run;
  run.console_in = in;
  run.console_out = out;
  run_dialogue(run);
  if (!run.unanswered.empty()) {
    // A run stopped at a prompt leaves the previous run's files as they were.
    std::fputc('\n', run.console_out);
    std::fflush(run.console_out);
    std::fprintf(stderr,
                 "rcpspdc: the input ended before an answer to \"%s\"; no file was changed\n",
                 run.unanswered.c_str());
    return 1;
  }
  if (!create_output_files(run)) return 1;
  run.run_seed = run_seed();

  SearchRequest request;
  request.instance = &context.instance;
  request.interest_rate = run.params.interest_rate;
  const double time_limit = run.params.time_limit != 0 ? run.params.time_limit : LESS_THAN_A_TICK;
  for (long long number = run.params.first_problem; number <= run.params.last_problem; ++number) {
    run.problem_number = static_cast<int>(number);
    run.output_file = open_or_complain(run.output_name, "a", run);
    if (run.output_file == nullptr) return 1;
    if (read_instance(context)) {
      run.start_clock = clock_ms();
      request.limits.time = {time_limit, run.start_clock};
      context.search.solve(request, context);
    }
    const bool closed = close_or_complain(run.output_file, run.output_name, run);
    run.output_file = nullptr;
    if (!closed || run.failed) return 1;
  }
  std::fputs(results_credits().c_str(), run.console_out);
  std::fputs("\n\n PRESS ANY KEY", run.console_out);
  std::fflush(run.console_out);
  wait_for_key(in);
  return 0;
}

}  // namespace rcpspdc
