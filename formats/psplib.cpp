#include "formats/psplib.hpp"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "formats/instance_file.hpp"
#include "formats/text_file.hpp"
#include "model/instance_data.hpp"

namespace rcpspdc {

namespace {

std::string trim(const std::string& s) {
  std::size_t a = 0;
  std::size_t b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a])) != 0) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1])) != 0) --b;
  return s.substr(a, b - a);
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool starts_with(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

struct Token {
  std::string text;
  int line = 0;  // from 1
};

// A .sm file as trimmed lines, searched by their leading words.
class SmFile {
 public:
  explicit SmFile(const std::string& text) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines_.push_back(trim(line));
  }

  // Index of the first line that starts with `prefix` (case ignored), or -1.
  int find(const std::string& prefix) const {
    const std::string wanted = lower(prefix);
    for (std::size_t i = 0; i < lines_.size(); ++i)
      if (starts_with(lower(lines_[i]), wanted)) return static_cast<int>(i);
    return -1;
  }

  const std::string& line(int i) const { return lines_[static_cast<std::size_t>(i)]; }
  int size() const { return static_cast<int>(lines_.size()); }

  // The integer after the ':' of line i; false when there is none.
  bool value_after_colon(int i, int& value) const {
    const std::string& l = line(i);
    const std::size_t colon = l.rfind(':');
    if (colon == std::string::npos) return false;
    std::istringstream rest(l.substr(colon + 1));
    std::string token;
    return static_cast<bool>(rest >> token) && to_number(token, value);
  }

  // The tokens of a table that starts at line `from`: lines up to the next
  // separator ("***"), the end of the file or a line that starts a new section.
  std::vector<Token> table(int from) const {
    std::vector<Token> tokens;
    for (int i = from; i < size(); ++i) {
      const std::string& l = line(i);
      if (starts_with(l, "*") ||
          (!l.empty() && std::isalpha(static_cast<unsigned char>(l[0])) != 0))
        break;
      std::istringstream in(l);
      for (std::string t; in >> t;) tokens.push_back(Token{t, i + 1});
    }
    return tokens;
  }

 private:
  std::vector<std::string> lines_;
};

std::string at_line(int line) { return "line " + std::to_string(line) + ": "; }

// Resource columns named in a header line ("R 1  R 2  N 1" or "R1 R2 N1"):
// the kind letter of each column, in order.
std::string column_kinds(const std::string& header) {
  std::string kinds;
  std::istringstream in(header);
  for (std::string t; in >> t;)
    if (std::isalpha(static_cast<unsigned char>(t[0])) != 0)
      kinds += static_cast<char>(std::toupper(t[0]));
  return kinds;
}

// Reads the next table entry as an integer of at least `minimum`.
class TableCursor {
 public:
  TableCursor(const std::vector<Token>& tokens, int header_line, std::string section)
      : tokens_(tokens), header_line_(header_line), section_(std::move(section)) {}

  bool next(int& value, const std::string& what, int minimum, std::string& error) {
    if (at_ >= tokens_.size()) {
      error = at_line(header_line_) + "the " + section_ + " table ends before " + what;
      return false;
    }
    const Token& t = tokens_[at_++];
    if (!to_number(t.text, value)) {
      error = at_line(t.line) + "\"" + t.text + "\" is not an integer (" + what + ")";
      return false;
    }
    if (value < minimum) {
      error = at_line(t.line) + what + " is " + t.text + "; it must be at least " +
              std::to_string(minimum);
      return false;
    }
    return true;
  }

  int line() const { return at_ == 0 ? header_line_ : tokens_[at_ - 1].line; }

  // "" when the table is used up, otherwise an error for the first extra entry.
  std::string rest() const {
    if (at_ >= tokens_.size()) return {};
    return at_line(tokens_[at_].line) + "unexpected \"" + tokens_[at_].text +
           "\" after the last job of the " + section_ + " table";
  }

 private:
  const std::vector<Token>& tokens_;
  std::size_t at_ = 0;
  int header_line_;
  std::string section_;
};

std::string job(int j) { return "job " + std::to_string(j); }

// Skips the lines after a section title up to its first data line (column
// names, dashes, blank lines) and sets `data_start` to that line. Returns the
// line with the column names, or -1 when there is none.
int skip_headers(const SmFile& f, int title, int& data_start) {
  int named = -1;
  data_start = title + 1;
  while (data_start < f.size()) {
    const std::string& l = f.line(data_start);
    if (l.empty() || starts_with(l, "-")) {
      ++data_start;
    } else if (std::isalpha(static_cast<unsigned char>(l[0])) != 0 && !starts_with(l, "*")) {
      named = data_start++;
    } else {
      break;
    }
  }
  return named;
}

FileOutcome invalid(std::string reason) {
  return FileOutcome{FileFault::invalid, std::move(reason)};
}

// The number of jobs and the resource counts by kind: renewable (R),
// nonrenewable (N), doubly constrained (D). `d` is reset to an instance of
// that size.
FileOutcome read_sizes(const SmFile& f, int count[3], InstanceData& d) {
  const int jobs_line = f.find("jobs (incl. supersource/sink");
  if (jobs_line < 0)
    return invalid("no \"jobs (incl. supersource/sink ):\" line; this is not a PSPLIB .sm file");
  int n = 0;
  if (!f.value_after_colon(jobs_line, n))
    return invalid(at_line(jobs_line + 1) + "the number of jobs is missing");
  if (n < 2)
    return invalid(at_line(jobs_line + 1) + std::to_string(n) +
                   " jobs; supersource and sink are needed");
  if (n > MAX_ACTIVITIES)
    return invalid(at_line(jobs_line + 1) + std::to_string(n) +
                   " jobs; the solver takes at most " + std::to_string(MAX_ACTIVITIES) +
                   " including supersource and sink");
  const char* names[3] = {"- renewable", "- nonrenewable", "- doubly constrained"};
  for (int kind = 0; kind < 3; ++kind) {
    const int l = f.find(names[kind]);
    if (l < 0) {
      if (kind == 0) return invalid("no \"- renewable :\" line in the RESOURCES section");
      continue;
    }
    if (!f.value_after_colon(l, count[kind]) || count[kind] < 0)
      return invalid(at_line(l + 1) + "the number of resources is missing");
  }
  const int K = count[0];
  if (K > MAX_RESOURCES)
    return invalid(std::to_string(K) + " renewable resources; the solver takes at most " +
                   std::to_string(MAX_RESOURCES));
  d = InstanceData{};
  d.activity_count = n;
  d.resource_count = K;
  d.capacity.assign(static_cast<std::size_t>(K), 0);
  d.duration.assign(static_cast<std::size_t>(n), 0);
  d.requirement.assign(static_cast<std::size_t>(n),
                       std::vector<int>(static_cast<std::size_t>(K), 0));
  d.successors.assign(static_cast<std::size_t>(n), {});
  return FileOutcome{};
}

// The job number that opens the row of job j, which must be j.
bool job_number(TableCursor& cursor, int j, std::string& error) {
  int number = 0;
  if (!cursor.next(number, "the number of " + job(j), 1, error)) return false;
  if (number == j) return true;
  error = at_line(cursor.line()) + "row of job " + std::to_string(number) + " where " + job(j) +
          " should come";
  return false;
}

// Precedence relations: jobnr, #modes, #successors, successors.
FileOutcome read_precedences(const SmFile& f, InstanceData& d) {
  const int n = d.activity_count;
  const int prec = f.find("PRECEDENCE RELATIONS");
  if (prec < 0) return invalid("no \"PRECEDENCE RELATIONS:\" section");
  int start = 0;
  skip_headers(f, prec, start);
  const std::vector<Token> tokens = f.table(start);
  TableCursor pc(tokens, prec + 1, "PRECEDENCE RELATIONS");
  std::string error;
  for (int j = 1; j <= n; ++j) {
    int modes = 0;
    int successors = 0;
    if (!job_number(pc, j, error)) return invalid(error);
    if (!pc.next(modes, "the mode count of " + job(j), 1, error)) return invalid(error);
    if (modes != 1)
      return invalid(at_line(pc.line()) + job(j) + " has " + std::to_string(modes) +
                     " modes; only single-mode files (.sm) can be converted");
    if (!pc.next(successors, "the successor count of " + job(j), 0, error)) return invalid(error);
    for (int e = 0; e < successors; ++e) {
      int s = 0;
      if (!pc.next(s, "successor " + std::to_string(e + 1) + " of " + job(j), 1, error))
        return invalid(error);
      if (s > n)
        return invalid(at_line(pc.line()) + "successor " + std::to_string(s) + " of " + job(j) +
                       " is above " + std::to_string(n));
      d.successors[static_cast<std::size_t>(j - 1)].push_back(s - 1);
    }
  }
  if (!(error = pc.rest()).empty()) return invalid(error);
  return FileOutcome{};
}

// Requests and durations: jobnr, mode, duration, one column per resource.
// `kinds` comes in as the RESOURCES section declares the columns and goes
// out as the table's header names them.
FileOutcome read_requests(const SmFile& f, std::string& kinds, InstanceData& d) {
  const int req = f.find("REQUESTS/DURATIONS");
  if (req < 0) return invalid("no \"REQUESTS/DURATIONS:\" section");
  int start = 0;
  const int req_header = skip_headers(f, req, start);
  if (req_header >= 0) {
    const std::string header = f.line(req_header);
    const std::size_t after = lower(header).find("duration");
    const std::string named =
        column_kinds(after == std::string::npos ? std::string() : header.substr(after + 8));
    if (named.size() != kinds.size() ||
        std::count(named.begin(), named.end(), 'R') != d.resource_count)
      return invalid(at_line(req_header + 1) + "the header names " + std::to_string(named.size()) +
                     " resource columns (" + named + "); the RESOURCES section declares " + kinds);
    kinds = named;
  }
  const std::vector<Token> tokens = f.table(start);
  TableCursor rc(tokens, req + 1, "REQUESTS/DURATIONS");
  std::string error;
  for (int j = 1; j <= d.activity_count; ++j) {
    int mode = 0;
    if (!job_number(rc, j, error)) return invalid(error);
    if (!rc.next(mode, "the mode of " + job(j), 1, error)) return invalid(error);
    if (mode != 1)
      return invalid(at_line(rc.line()) + job(j) + " has mode " + std::to_string(mode) +
                     "; only mode 1 can be converted");
    if (!rc.next(d.duration[static_cast<std::size_t>(j - 1)], "the duration of " + job(j), 0,
                 error))
      return invalid(error);
    int k = 0;
    for (std::size_t c = 0; c < kinds.size(); ++c) {
      int use = 0;
      if (!rc.next(use, "the request of " + job(j) + " in column " + std::to_string(c + 1), 0,
                   error))
        return invalid(error);
      if (kinds[c] == 'R') {
        d.requirement[static_cast<std::size_t>(j - 1)][static_cast<std::size_t>(k++)] = use;
      } else if (use != 0) {
        return invalid(at_line(rc.line()) + job(j) + " uses " + std::to_string(use) +
                       " units of a " + (kinds[c] == 'N' ? "nonrenewable" : "doubly constrained") +
                       " resource; only renewable resources can be converted");
      }
    }
  }
  if (!(error = rc.rest()).empty()) return invalid(error);
  return FileOutcome{};
}

// Availabilities, in the order of their own header (else of `kinds`).
FileOutcome read_availabilities(const SmFile& f, const std::string& kinds, InstanceData& d) {
  const int K = d.resource_count;
  const int avail = f.find("RESOURCEAVAILABILITIES");
  if (avail < 0) return invalid("no \"RESOURCEAVAILABILITIES:\" section");
  int start = 0;
  const int avail_header = skip_headers(f, avail, start);
  const std::string avail_kinds = avail_header >= 0 ? column_kinds(f.line(avail_header)) : kinds;
  const std::vector<Token> tokens = f.table(start);
  TableCursor ac(tokens, avail + 1, "RESOURCEAVAILABILITIES");
  std::string error;
  int k = 0;
  for (std::size_t c = 0; c < avail_kinds.size(); ++c) {
    int available = 0;
    if (!ac.next(available, "the availability in column " + std::to_string(c + 1), 0, error))
      return invalid(error);
    if (avail_kinds[c] == 'R' && k < K) d.capacity[static_cast<std::size_t>(k++)] = available;
  }
  if (k != K)
    return invalid(at_line(avail + 1) + "availabilities for " + std::to_string(k) +
                   " renewable resources; " + std::to_string(K) + " are declared");
  return FileOutcome{};
}

FileOutcome parse_sm(const SmFile& f, InstanceData& d) {
  int count[3] = {0, 0, 0};
  FileOutcome outcome = read_sizes(f, count, d);
  if (outcome.ok()) outcome = read_precedences(f, d);
  std::string kinds = std::string(static_cast<std::size_t>(count[0]), 'R') +
                      std::string(static_cast<std::size_t>(count[1]), 'N') +
                      std::string(static_cast<std::size_t>(count[2]), 'D');
  if (outcome.ok()) outcome = read_requests(f, kinds, d);
  if (outcome.ok()) outcome = read_availabilities(f, kinds, d);
  if (!outcome.ok()) return outcome;
  // The converted file must read back as it stands.
  InstanceData check;
  const FileOutcome back = parse_instance_text(format_instance(d), check);
  if (!back.ok()) return invalid("the instance cannot be solved as it stands: " + back.message);
  return FileOutcome{};
}

}  // namespace

FileOutcome parse_psplib_text(const std::string& text, InstanceData& data) {
  return parse_sm(SmFile(text), data);
}

FileOutcome read_psplib_file(const std::string& path, InstanceData& data) {
  std::string text;
  const FileOutcome read = read_text_file(path, text);
  return read.ok() ? parse_psplib_text(text, data) : read;
}

FileOutcome read_any_instance_file(const std::string& path, InstanceData& data) {
  std::string text;
  const FileOutcome read = read_text_file(path, text);
  if (!read.ok()) return read;
  if (text.find("PRECEDENCE RELATIONS") != std::string::npos) return parse_psplib_text(text, data);
  FileOutcome outcome = parse_instance_text(text, data);
  if (!outcome.ok()) outcome.message = read_error_text(outcome);
  if (!outcome.note.empty()) outcome.note = path + ": " + outcome.note;
  return outcome;
}

}  // namespace rcpspdc
