// rcpspdc-convert: PSPLIB single-mode files to instance files, and makespan
// lists to deadline files (see --help).
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "formats/deadline_file.hpp"
#include "formats/instance_file.hpp"
#include "formats/makespan_table.hpp"
#include "formats/psplib.hpp"
#include "model/network.hpp"
#include "tools/command_line.hpp"

namespace {

const char* const USAGE =
    "usage: rcpspdc-convert FILE.sm [-o FILE.rcp]   (or --help, --version)\n"
    "       rcpspdc-convert --deadlines MAKESPANS [-o deadline.NAME]\n"
    "       rcpspdc-convert --folder DIR --name NAME -o OUTDIR [--makespans TABLE]\n"
    "\n"
    "The first form turns a PSPLIB single-mode file into an instance file with\n"
    "the same activity numbers. The second turns a list of makespans (integers\n"
    "separated by blanks or line breaks, one per instance number from 1) into a\n"
    "deadline file whose triple p is \"1 p makespan\". Output goes to standard\n"
    "output unless -o names a file. The third converts every .sm file of DIR, in\n"
    "natural order of their names (j301_2 before j301_10), into OUTDIR/NAME1.rcp,\n"
    "NAME2.rcp, ..., with OUTDIR/deadline.NAME (makespans from TABLE by file name,\n"
    "\"name makespan\" lines or a PSPLIB optimum or bound table, else the critical\n"
    "path length) and OUTDIR/index.NAME: \"number name makespan source\" a line.\n"
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
  const rcpspdc::FileOutcome written = rcpspdc::write_text_file(path, text);
  if (written.ok()) return 0;
  std::fprintf(stderr, "rcpspdc-convert: %s\n", written.message.c_str());
  return 1;
}

// A file that cannot be read or converted; a fault of opening names the file itself.
int read_error(const std::string& path, const rcpspdc::FileOutcome& outcome) {
  if (outcome.fault == rcpspdc::FileFault::cannot_open)
    std::fprintf(stderr, "rcpspdc-convert: %s\n", outcome.message.c_str());
  else
    std::fprintf(stderr, "rcpspdc-convert: %s: %s\n", path.c_str(), outcome.message.c_str());
  return 1;
}

// Names in natural order: digit runs compare as numbers.
bool natural_less(const std::string& a, const std::string& b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (std::isdigit(static_cast<unsigned char>(a[i])) != 0 &&
        std::isdigit(static_cast<unsigned char>(b[j])) != 0) {
      std::size_t ei = i;
      std::size_t ej = j;
      while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei])) != 0) ++ei;
      while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej])) != 0) ++ej;
      const std::string x = a.substr(i, ei - i).erase(0, a.find_first_not_of('0', i) - i);
      const std::string y = b.substr(j, ej - j).erase(0, b.find_first_not_of('0', j) - j);
      if (x.size() != y.size()) return x.size() < y.size();
      if (x != y) return x < y;
      i = ei;
      j = ej;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

// A folder of .sm files as a numbered series with its deadline file and index.
int convert_folder(const std::string& folder, const std::string& name, const std::string& out,
                   const std::string& table) {
  std::map<std::string, int> makespans;
  if (!table.empty()) {
    const rcpspdc::FileOutcome read = rcpspdc::read_makespan_table(table, makespans);
    if (!read.ok()) {
      std::fprintf(stderr, "rcpspdc-convert: %s\n", read.message.c_str());
      return 1;
    }
  }
  std::vector<std::string> files;
  std::error_code fault;
  for (const auto& entry : std::filesystem::directory_iterator(folder, fault))
    if (entry.path().extension() == ".sm") files.push_back(entry.path().filename().string());
  if (fault || files.empty()) {
    std::fprintf(stderr, "rcpspdc-convert: %s: %s\n", folder.c_str(),
                 fault ? fault.message().c_str() : "no .sm files");
    return 1;
  }
  std::sort(files.begin(), files.end(), natural_less);
  // Every file is converted before anything is written: a bad file is
  // reported, the others too, and no partial series is left behind.
  std::vector<int> deadlines;
  std::vector<std::string> converted;
  std::string index;
  int bad = 0;
  for (std::size_t k = 0; k < files.size(); ++k) {
    const std::string path = (std::filesystem::path(folder) / files[k]).string();
    rcpspdc::InstanceData data;
    const rcpspdc::FileOutcome read = rcpspdc::read_psplib_file(path, data);
    if (!read.ok()) {
      std::fprintf(stderr, "rcpspdc-convert: %s: %s\n", path.c_str(), read.message.c_str());
      ++bad;
      continue;
    }
    const std::string stem = std::filesystem::path(files[k]).stem().string();
    const auto found = makespans.find(stem);
    const bool known = found != makespans.end();
    deadlines.push_back(known ? found->second : rcpspdc::critical_path_length(data));
    index += rcpspdc::index_line(static_cast<int>(k + 1), stem, deadlines.back(), known);
    converted.push_back(rcpspdc::format_instance(data));
  }
  if (bad > 0) {
    std::fprintf(stderr, "rcpspdc-convert: %d of %zu files refused; nothing was written\n", bad,
                 files.size());
    return 1;
  }
  std::filesystem::create_directories(out, fault);
  const std::filesystem::path base(out);
  for (std::size_t k = 0; k < converted.size(); ++k)
    if (write_output((base / rcpspdc::instance_file_name(name, static_cast<int>(k + 1))).string(),
                     converted[k]) != 0)
      return 1;
  if (write_output((base / rcpspdc::deadline_file_name(name)).string(),
                   rcpspdc::format_deadlines(deadlines)) != 0 ||
      write_output((base / ("index." + name)).string(), index) != 0)
    return 1;
  std::printf("converted %zu files into %s (numbers 1 to %zu)\n", files.size(), out.c_str(),
              files.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string input;
  std::string output;
  bool deadlines = false;
  std::string folder;  // --folder: a whole directory of .sm files
  std::string name;
  std::string table;
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
    } else if (arg == "--folder" || arg == "--name" || arg == "--makespans") {
      if (a + 1 >= argc) return usage_error(arg + " needs a value");
      (arg == "--folder" ? folder : arg == "--name" ? name : table) = argv[++a];
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usage_error("unknown option " + arg);
    } else if (input.empty()) {
      input = arg;
    } else {
      return usage_error("more than one input file");
    }
  }
  if (!folder.empty()) {
    if (name.empty() || output.empty() || !input.empty() || deadlines)
      return usage_error("--folder needs --name and -o OUTDIR, and no other input");
    return convert_folder(folder, name, output, table);
  }
  if (!name.empty() || !table.empty()) return usage_error("--name and --makespans need --folder");
  if (input.empty())
    return usage_error(deadlines ? "--deadlines needs a makespan list" : "no input file");

  std::string converted;
  if (deadlines) {
    std::string text;
    std::vector<int> makespans;
    rcpspdc::FileOutcome read = rcpspdc::read_text_file(input, text);
    if (read.ok()) read = rcpspdc::parse_makespans(text, makespans);
    if (!read.ok()) return read_error(input, read);
    converted = rcpspdc::format_deadlines(makespans);
  } else {
    rcpspdc::InstanceData data;
    const rcpspdc::FileOutcome read = rcpspdc::read_psplib_file(input, data);
    if (!read.ok()) return read_error(input, read);
    converted = rcpspdc::format_instance(data);
  }
  return write_output(output, converted);
}
