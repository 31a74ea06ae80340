// rcpspdc-convert: PSPLIB single-mode files to instance files, and makespan
// lists to deadline files (see --help).
#include <cstdio>
#include <string>
#include <vector>

#include "formats/instance_file.hpp"
#include "formats/psplib.hpp"
#include "tools/command_line.hpp"

namespace {

const char* const USAGE =
    "usage: rcpspdc-convert FILE.sm [-o FILE.rcp]   (or --help, --version)\n"
    "       rcpspdc-convert --deadlines MAKESPANS [-o deadline.NAME]\n"
    "\n"
    "The first form turns a PSPLIB single-mode file into an instance file with\n"
    "the same activity numbers. The second turns a list of makespans (integers\n"
    "separated by blanks or line breaks, one per instance number from 1) into a\n"
    "deadline file whose triple p is \"1 p makespan\". Output goes to standard\n"
    "output unless -o names a file.\n"
    "Exit status: 0 done, 1 the input cannot be read or converted, 2 bad arguments.\n";

int usage_error(const std::string& message) {
  std::fprintf(stderr, "rcpspdc-convert: %s\n%s", message.c_str(), USAGE);
  return 2;
}

int write_output(const std::string& path, const std::string& text) {
  if (path.empty()) {
    std::fputs(text.c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  const std::string error = rcpspdc::write_text_file(path, text);
  if (error.empty()) return 0;
  std::fprintf(stderr, "rcpspdc-convert: %s\n", error.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string input;
  std::string output;
  bool deadlines = false;
  for (int a = 1; a < argc; ++a) {
    const std::string arg = argv[a];
    if (arg == "--help" || arg == "-h") {
      std::fputs(USAGE, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("rcpspdc-convert %s\n", rcpspdc::version_text().c_str());
      return 0;
    }
    if (arg == "-o" || arg == "--output") {
      if (a + 1 >= argc) return usage_error(arg + " needs a file name");
      output = argv[++a];
    } else if (arg == "--deadlines") {
      deadlines = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usage_error("unknown option " + arg);
    } else if (input.empty()) {
      input = arg;
    } else {
      return usage_error("more than one input file");
    }
  }
  if (input.empty())
    return usage_error(deadlines ? "--deadlines needs a makespan list" : "no input file");

  std::string converted;
  if (deadlines) {
    std::string text;
    if (!rcpspdc::read_text_file(input, text)) {
      std::fprintf(stderr, "rcpspdc-convert: cannot open %s\n", input.c_str());
      return 1;
    }
    std::vector<int> makespans;
    const std::string error = rcpspdc::parse_makespans(text, makespans);
    if (!error.empty()) {
      std::fprintf(stderr, "rcpspdc-convert: %s: %s\n", input.c_str(), error.c_str());
      return 1;
    }
    converted = rcpspdc::format_deadlines(makespans);
  } else {
    rcpspdc::InstanceData data;
    const std::string error = rcpspdc::read_psplib_file(input, data);
    if (error.rfind("cannot ", 0) == 0) {  // names the file itself
      std::fprintf(stderr, "rcpspdc-convert: %s\n", error.c_str());
      return 1;
    }
    if (!error.empty()) {
      std::fprintf(stderr, "rcpspdc-convert: %s: %s\n", input.c_str(), error.c_str());
      return 1;
    }
    converted = rcpspdc::format_instance(data);
  }
  return write_output(output, converted);
}
