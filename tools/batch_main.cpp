// rcpspdc-batch: solves a range of instances with reproducible cash flows and
// writes a CSV row per instance and a summary (see --help).
#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tools/batch_options.hpp"
#include "tools/batch_run.hpp"

namespace {

using namespace rcpspdc;

// A word as a POSIX shell reads it back: quoted unless it is plain.
std::string shell_word(const std::string& word) {
  if (!word.empty() &&
      word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                             "0123456789-_./=,:+@%") == std::string::npos)
    return word;
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// The command that goes on with a stopped run: this one with --resume.
std::string resume_command(int argc, char** argv) {
  std::string command = shell_word(argv[0]);
  bool resumes = false;
  for (int a = 1; a < argc; ++a) {
    command += " " + shell_word(argv[a]);
    resumes = resumes || std::string(argv[a]) == "--resume";
  }
  return resumes ? command : command + " --resume";
}

// Ctrl-C (and the SIGTERM of a batch system) stop the run at once: the
// signals are taken from every thread and waited for on one of their own,
// which lets the run finish its line, says how far it came and how to go on,
// and ends the process.
void watch_interrupts(RunInterrupt& interrupt, const BatchOptions& options, int argc,
                      char** argv) {
  static sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  const bool resumable = (!options.csv.empty() && options.csv != "-") ||
                         (!options.json.empty() && options.json != "-");
  const std::string command = resumable ? resume_command(argc, argv) : std::string();
  std::thread([&interrupt, command] {
    int signal = 0;
    sigwait(&signals, &signal);
    interrupt.lock.lock();
    const std::string summary = interrupt.stop ? interrupt.stop() : "interrupted";
    std::fprintf(stderr, "\r\033[Krcpspdc-batch: %s\n", summary.c_str());
    if (!command.empty()) std::fprintf(stderr, "rcpspdc-batch: go on with: %s\n", command.c_str());
    std::fflush(stderr);
    std::_Exit(128 + signal);
  }).detach();
}

}  // namespace

int main(int argc, char** argv) {
  return tool_main<BatchOptions>("rcpspdc-batch", argc, argv, parse_batch_options, batch_usage,
                                 [argc, argv](const BatchOptions& options) {
                                   static RunInterrupt interrupt;
                                   if (!options.report && !options.dry_run)
                                     watch_interrupts(interrupt, options, argc, argv);
                                   return run_batch(options, stdout, stderr,
                                                    isatty(fileno(stderr)) != 0, &interrupt);
                                 });
}
