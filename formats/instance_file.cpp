#include "formats/instance_file.hpp"

#include <cctype>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/text_file.hpp"

namespace rcpspdc {

namespace {

bool is_blank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Whitespace-separated decimal integers, each with an optional sign and
// fitting a 32-bit signed integer.
class TokenReader {
 public:
  explicit TokenReader(const std::string& text)
      : p_(text.data()), end_(text.data() + text.size()) {}

  // Reads the next integer; on failure `problem` says why, naming `what`.
  bool next(int& value, const std::string& what, std::string& problem) {
    while (p_ != end_ && is_blank(*p_)) ++p_;
    if (p_ == end_) {
      problem = "the file ends before " + what;
      return false;
    }
    const char* start = p_;
    while (p_ != end_ && !is_blank(*p_)) ++p_;
    const std::string token(start, p_);
    std::size_t digit = (token[0] == '+' || token[0] == '-') ? 1 : 0;
    bool numeric = digit < token.size();
    long long magnitude = 0;
    bool too_large = false;
    for (std::size_t c = digit; numeric && c < token.size(); ++c) {
      if (token[c] < '0' || token[c] > '9') {
        numeric = false;
      } else if (!too_large) {
        magnitude = magnitude * 10 + (token[c] - '0');
        if (magnitude > 2147483648LL) too_large = true;
      }
    }
    if (!numeric) {
      problem = "\"" + shortened(token) + "\" is not an integer (" + what + ")";
      return false;
    }
    const long long signed_value = token[0] == '-' ? -magnitude : magnitude;
    if (too_large || signed_value > INT_MAX || signed_value < INT_MIN) {
      problem = shortened(token) + " does not fit a 32-bit integer (" + what + ")";
      return false;
    }
    value = static_cast<int>(signed_value);
    return true;
  }

  // The next token, if any is left.
  bool at_end(std::string& token) {
    while (p_ != end_ && is_blank(*p_)) ++p_;
    if (p_ == end_) return true;
    const char* start = p_;
    while (p_ != end_ && !is_blank(*p_)) ++p_;
    token = shortened(std::string(start, p_));
    return false;
  }

 private:
  static std::string shortened(const std::string& token) {
    std::string shown;
    for (char c : token.substr(0, 20))
      shown += std::isprint(static_cast<unsigned char>(c)) != 0 ? c : '?';
    return token.size() > 20 ? shown + "..." : shown;
  }

  const char* p_;
  const char* end_;
};

ReadOutcome invalid(std::string reason) { return ReadOutcome{READ_INVALID, std::move(reason)}; }

std::string act(int i) { return "activity " + std::to_string(i + 1); }
std::string res(int k) { return "resource " + std::to_string(k + 1); }

// Checks made once the whole file has been read and its dangling ends closed,
// in this order: the dummies, the limits of the packed resource lanes, cycles.
ReadOutcome check_structure(const InstanceData& d) {
  const int n = d.activity_count;
  const int K = d.resource_count;
  for (int i : {0, n - 1}) {
    const char* which = i == 0 ? "the first activity" : "the last activity";
    if (d.duration[static_cast<std::size_t>(i)] != 0)
      return invalid(std::string(which) + " (" + act(i) + ") has duration " +
                     std::to_string(d.duration[static_cast<std::size_t>(i)]) + "; it must be 0");
    for (int k = 0; k < K; ++k)
      if (d.requirement[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)] != 0)
        return invalid(std::string(which) + " (" + act(i) + ") demands " + res(k) +
                       "; it must demand nothing");
  }
  for (int k = 0; k < K; ++k) {
    if (d.capacity[static_cast<std::size_t>(k)] > LANE_LIMIT)
      return invalid("the capacity " + std::to_string(d.capacity[static_cast<std::size_t>(k)]) +
                     " of " + res(k) + " is above " + std::to_string(LANE_LIMIT));
    long long total = 0;
    for (int i = 0; i < n; ++i)
      total += d.requirement[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)];
    if (total > LANE_LIMIT)
      return invalid("the demands on " + res(k) + " sum to " + std::to_string(total) + ", above " +
                     std::to_string(LANE_LIMIT));
  }
  // Cycles: peel off activities without unpeeled predecessors; whatever stays
  // lies on a cycle or behind one. Walking back along unpeeled predecessors
  // from any of them ends on a cycle within n steps.
  std::vector<std::vector<int>> preds(static_cast<std::size_t>(n));
  std::vector<int> indegree(static_cast<std::size_t>(n), 0);
  for (int p = 0; p < n; ++p)
    for (int s : d.successors[static_cast<std::size_t>(p)]) {
      preds[static_cast<std::size_t>(s)].push_back(p);
      ++indegree[static_cast<std::size_t>(s)];
    }
  std::vector<int> queue;
  for (int i = 0; i < n; ++i)
    if (indegree[static_cast<std::size_t>(i)] == 0) queue.push_back(i);
  for (std::size_t head = 0; head < queue.size(); ++head)
    for (int s : d.successors[static_cast<std::size_t>(queue[head])])
      if (--indegree[static_cast<std::size_t>(s)] == 0) queue.push_back(s);
  if (static_cast<int>(queue.size()) < n) {
    int on_cycle = 0;
    while (indegree[static_cast<std::size_t>(on_cycle)] == 0) ++on_cycle;
    for (int step = 0; step < n; ++step)
      for (int p : preds[static_cast<std::size_t>(on_cycle)])
        if (indegree[static_cast<std::size_t>(p)] > 0) {
          on_cycle = p;
          break;
        }
    return invalid("the successor lists form a cycle through " + act(on_cycle));
  }
  // Every activity lies on a path from the first activity to the last: in an
  // acyclic network where, once dangling ends are closed, only the last
  // activity lacks a successor and only the first lacks a predecessor,
  // following successors from anywhere ends at the last activity and
  // following predecessors ends at the first.
  return ReadOutcome{};
}

// A project ends when all its activities have finished and starts before any
// of them: an activity other than the last without a successor gets the arc
// to the last activity, then one other than the first without a predecessor
// gets the arc from the first. Returns what was added, or "". Arcs into the
// first or out of the last are left for the cycle test: with the added arcs
// each of them closes a cycle.
std::string close_dangling_ends(InstanceData& d) {
  const int n = d.activity_count;
  std::vector<int> to_last;
  for (int i = 0; i < n - 1; ++i)
    if (d.successors[static_cast<std::size_t>(i)].empty()) {
      d.successors[static_cast<std::size_t>(i)].push_back(n - 1);
      to_last.push_back(i);
    }
  std::vector<char> has_pred(static_cast<std::size_t>(n), 0);
  for (int i = 0; i < n; ++i)
    for (int s : d.successors[static_cast<std::size_t>(i)])
      has_pred[static_cast<std::size_t>(s)] = 1;
  std::vector<int> from_first;
  for (int i = 1; i < n; ++i)
    if (has_pred[static_cast<std::size_t>(i)] == 0) {
      d.successors[0].push_back(i);
      from_first.push_back(i);
    }
  const auto listed = [](const std::vector<int>& activities) {
    std::string text = activities.size() == 1 ? "activity " : "activities ";
    for (std::size_t k = 0; k < activities.size(); ++k)
      text += (k == 0                       ? ""
               : k + 1 == activities.size() ? " and "
                                            : ", ") +
              std::to_string(activities[k] + 1);
    return text;
  };
  std::string notice;
  if (!to_last.empty())
    notice = listed(to_last) + " without a successor now " +
             (to_last.size() == 1 ? "precedes" : "precede") + " the last activity";
  if (!from_first.empty())
    notice += (notice.empty() ? "" : "; ") + listed(from_first) + " without a predecessor now " +
              (from_first.size() == 1 ? "follows" : "follow") + " the first activity";
  return notice;
}

// By ReadErrorKind; an invalid instance's line goes on with the reason.
constexpr const char* READ_ERROR_TEXT[] = {
    "problem not found",     "too many activities", "> 2 dummies detected",
    "missing deadline file", "invalid instance: ",  "no deadline for this instance",
};

}  // namespace

std::string read_error_text(const ReadOutcome& outcome) {
  if (outcome.kind < READ_NOT_FOUND || outcome.kind > READ_NO_DEADLINE)
    return "unreadable instance: " + outcome.reason;
  const std::string text = READ_ERROR_TEXT[outcome.kind];
  return outcome.kind == READ_INVALID ? text + outcome.reason : text;
}

std::string instance_file_name(const std::string& problem_name, int problem_number) {
  return problem_name + std::to_string(problem_number) + ".rcp";
}

std::string deadline_file_name(const std::string& problem_name) {
  return "deadline." + problem_name;
}

ReadOutcome parse_deadline_text(const std::string& text, int problem_number, int deadline_offset,
                                int& deadline) {
  TokenReader tokens(text);
  const int wanted = problem_number > 1 ? problem_number : 1;
  std::string problem;
  int value = 0;
  for (int triple = 1; triple <= wanted; ++triple)
    for (int field = 0; field < 3; ++field)
      if (!tokens.next(value, "the deadline", problem))
        return ReadOutcome{READ_NO_DEADLINE, problem};
  const long long total = static_cast<long long>(value) + deadline_offset;
  if (total > MAX_DEADLINE || total < INT_MIN) {
    ReadOutcome above{READ_NO_DEADLINE, "the deadline " + std::to_string(total) + " is above " +
                                            std::to_string(MAX_DEADLINE) + " periods"};
    above.above_limit = true;
    return above;
  }
  deadline = static_cast<int>(total);
  return ReadOutcome{};
}

ReadOutcome read_deadline_file(const std::string& path, int problem_number, int deadline_offset,
                               int& deadline) {
  std::string text;
  if (!read_text_file(path, text))
    return ReadOutcome{READ_NO_DEADLINE_FILE, "cannot open " + path};
  return parse_deadline_text(text, problem_number, deadline_offset, deadline);
}

ReadOutcome parse_instance_text(const std::string& text, InstanceData& d) {
  TokenReader tokens(text);
  std::string problem;
  int n = 0;
  int K = 0;
  if (!tokens.next(n, "the number of activities", problem)) return invalid(problem);
  if (!tokens.next(K, "the number of resource types", problem)) return invalid(problem);
  if (n > MAX_ACTIVITIES || K > MAX_RESOURCES)
    return ReadOutcome{READ_TOO_MANY, std::to_string(n) + " activities and " + std::to_string(K) +
                                          " resource types, more than 128 or 4"};
  if (n < 2)
    return invalid("the instance has " + std::to_string(n) +
                   " activities; the two dummies are needed");
  if (K < 0)
    return invalid("the number of resource types is negative (" + std::to_string(K) + ")");
  d = InstanceData{};
  d.activity_count = n;
  d.resource_count = K;
  d.capacity.assign(static_cast<std::size_t>(K), 0);
  for (int k = 0; k < K; ++k) {
    int& c = d.capacity[static_cast<std::size_t>(k)];
    if (!tokens.next(c, "the capacity of " + res(k), problem)) return invalid(problem);
    if (c < 0)
      return invalid("the capacity of " + res(k) + " is negative (" + std::to_string(c) + ")");
  }
  d.duration.assign(static_cast<std::size_t>(n), 0);
  d.requirement.assign(static_cast<std::size_t>(n),
                       std::vector<int>(static_cast<std::size_t>(K), 0));
  d.successors.assign(static_cast<std::size_t>(n), {});
  // file number -> activity that listed it last
  std::vector<int> listed_by(static_cast<std::size_t>(n) + 1, -1);
  long long duration_sum = 0;
  for (int i = 0; i < n; ++i) {
    int& dur = d.duration[static_cast<std::size_t>(i)];
    if (!tokens.next(dur, "the duration of " + act(i), problem)) return invalid(problem);
    if (dur < 0)
      return invalid("the duration of " + act(i) + " is negative (" + std::to_string(dur) + ")");
    if (dur == 0 && i > 0 && i < n - 1)
      return ReadOutcome{READ_DUMMIES, act(i) + " has duration 0"};
    // No schedule is longer than all durations together, so within this
    // limit no finish time or slack can overflow.
    duration_sum += dur;
    if (duration_sum > MAX_DEADLINE)
      return invalid("the durations up to " + act(i) + " sum to " + std::to_string(duration_sum) +
                     ", above the " + std::to_string(MAX_DEADLINE) +
                     " periods a deadline may have");
    for (int k = 0; k < K; ++k) {
      int& r = d.requirement[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)];
      if (!tokens.next(r, "the demand of " + act(i) + " on " + res(k), problem))
        return invalid(problem);
      if (r < 0)
        return invalid("the demand of " + act(i) + " on " + res(k) + " is negative (" +
                       std::to_string(r) + ")");
    }
    int count = 0;
    if (!tokens.next(count, "the number of successors of " + act(i), problem))
      return invalid(problem);
    if (count < 0)
      return invalid(act(i) + " has a negative number of successors (" + std::to_string(count) +
                     ")");
    for (int e = 0; e < count; ++e) {
      int s = 0;
      if (!tokens.next(s, "successor " + std::to_string(e + 1) + " of " + act(i), problem))
        return invalid(problem);
      if (s < 1 || s > n)
        return invalid("successor " + std::to_string(s) + " of " + act(i) + " is out of range");
      if (s == i + 1) return invalid(act(i) + " lists itself as a successor");
      if (listed_by[static_cast<std::size_t>(s)] == i)
        return invalid(act(i) + " lists successor " + std::to_string(s) + " twice");
      listed_by[static_cast<std::size_t>(s)] = i;
      d.successors[static_cast<std::size_t>(i)].push_back(s - 1);
    }
  }
  std::string extra;
  if (!tokens.at_end(extra))
    return invalid("unexpected \"" + extra + "\" after the last activity");
  const std::string notice = close_dangling_ends(d);
  ReadOutcome outcome = check_structure(d);
  if (outcome.ok()) outcome.notice = notice;
  return outcome;
}

ReadOutcome read_instance_file(const std::string& path, InstanceData& data) {
  std::string text;
  if (!read_text_file(path, text)) return ReadOutcome{READ_NOT_FOUND, "cannot open " + path};
  ReadOutcome outcome = parse_instance_text(text, data);
  if (!outcome.notice.empty())
    std::fprintf(stderr, "rcpspdc: %s: %s\n", path.c_str(), outcome.notice.c_str());
  return outcome;
}

ReadOutcome read_instance_files(const std::string& problem_name, int problem_number,
                                int deadline_offset, InstanceData& data,
                                const std::string& directory) {
  const std::filesystem::path dir(directory);
  int deadline = 0;
  ReadOutcome outcome = read_deadline_file((dir / deadline_file_name(problem_name)).string(),
                                           problem_number, deadline_offset, deadline);
  if (outcome.ok())
    outcome = read_instance_file((dir / instance_file_name(problem_name, problem_number)).string(),
                                 data);
  if (outcome.ok()) data.deadline = deadline;
  return outcome;
}

}  // namespace rcpspdc
