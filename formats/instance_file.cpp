#include "formats/instance_file.hpp"

#include <filesystem>
#include <string>
#include <vector>

#include "formats/integer_tokens.hpp"
#include "formats/text_file.hpp"
#include "model/network.hpp"

namespace rcpspdc {

namespace {

FileOutcome invalid(std::string reason) {
  return FileOutcome{FileFault::invalid, std::move(reason)};
}

std::string act(int i) { return "activity " + std::to_string(i + 1); }
std::string res(int k) { return "resource " + std::to_string(k + 1); }

// Checks made once the whole file has been read and its dangling ends closed,
// in this order: the dummies, the limits of the packed resource lanes, cycles.
FileOutcome check_structure(const InstanceData& d) {
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
  // Cycles: whatever a topological order leaves out lies on a cycle or
  // behind one. Walking back along left-out predecessors from any of them
  // ends on a cycle within n steps.
  const std::vector<int> order = topological_order(d, ReadyRule::first_ready);
  if (static_cast<int>(order.size()) < n) {
    std::vector<char> left_out(static_cast<std::size_t>(n), 1);
    for (const int i : order) left_out[static_cast<std::size_t>(i)] = 0;
    std::vector<std::vector<int>> preds(static_cast<std::size_t>(n));
    for (int p = 0; p < n; ++p)
      for (const int s : d.successors[static_cast<std::size_t>(p)])
        preds[static_cast<std::size_t>(s)].push_back(p);
    int on_cycle = 0;
    while (left_out[static_cast<std::size_t>(on_cycle)] == 0) ++on_cycle;
    for (int step = 0; step < n; ++step)
      for (const int p : preds[static_cast<std::size_t>(on_cycle)])
        if (left_out[static_cast<std::size_t>(p)] != 0) {
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
  return FileOutcome{};
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

// The header "n K" with its limits, and the capacities; `d` is reset to an
// instance of that size.
FileOutcome read_sizes(IntegerTokens& tokens, InstanceData& d) {
  std::string problem;
  int n = 0;
  int K = 0;
  if (!tokens.next(n, "the number of activities", problem)) return invalid(problem);
  if (!tokens.next(K, "the number of resource types", problem)) return invalid(problem);
  if (n > MAX_ACTIVITIES || K > MAX_RESOURCES)
    return FileOutcome{FileFault::too_many, std::to_string(n) + " activities and " +
                                                std::to_string(K) +
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
  return FileOutcome{};
}

// The successor list of activity i; listed_by[s] is the activity that listed
// file number s last.
FileOutcome read_successors(IntegerTokens& tokens, int i, std::vector<int>& listed_by,
                            InstanceData& d) {
  const int n = d.activity_count;
  std::string problem;
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
  return FileOutcome{};
}

// The record of activity i: duration, demands, successors. `duration_sum`
// adds up the durations read so far.
FileOutcome read_activity(IntegerTokens& tokens, int i, long long& duration_sum,
                          std::vector<int>& listed_by, InstanceData& d) {
  const int n = d.activity_count;
  std::string problem;
  int& dur = d.duration[static_cast<std::size_t>(i)];
  if (!tokens.next(dur, "the duration of " + act(i), problem)) return invalid(problem);
  if (dur < 0)
    return invalid("the duration of " + act(i) + " is negative (" + std::to_string(dur) + ")");
  if (dur == 0 && i > 0 && i < n - 1)
    return FileOutcome{FileFault::dummies, act(i) + " has duration 0"};
  // No schedule is longer than all durations together, so within this
  // limit no finish time or slack can overflow.
  duration_sum += dur;
  if (duration_sum > MAX_DEADLINE)
    return invalid("the durations up to " + act(i) + " sum to " + std::to_string(duration_sum) +
                   ", above the " + std::to_string(MAX_DEADLINE) + " periods a deadline may have");
  for (int k = 0; k < d.resource_count; ++k) {
    int& r = d.requirement[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)];
    if (!tokens.next(r, "the demand of " + act(i) + " on " + res(k), problem))
      return invalid(problem);
    if (r < 0)
      return invalid("the demand of " + act(i) + " on " + res(k) + " is negative (" +
                     std::to_string(r) + ")");
  }
  return read_successors(tokens, i, listed_by, d);
}

}  // namespace

std::string read_error_text(const FileOutcome& outcome) {
  switch (outcome.fault) {
    case FileFault::cannot_open: return "problem not found";
    case FileFault::too_many: return "too many activities";
    case FileFault::dummies: return "> 2 dummies detected";
    case FileFault::no_deadline_file: return "missing deadline file";
    case FileFault::invalid: return "invalid instance: " + outcome.message;
    case FileFault::no_deadline:
    case FileFault::deadline_above_limit: return "no deadline for this instance";
    case FileFault::none:
    case FileFault::cannot_write: break;
  }
  return "unreadable instance: " + outcome.message;
}

std::string instance_file_name(const std::string& problem_name, int problem_number) {
  return problem_name + std::to_string(problem_number) + ".rcp";
}

FileOutcome parse_instance_text(const std::string& text, InstanceData& d) {
  IntegerTokens tokens(text);
  FileOutcome outcome = read_sizes(tokens, d);
  if (!outcome.ok()) return outcome;
  std::vector<int> listed_by(static_cast<std::size_t>(d.activity_count) + 1, -1);
  long long duration_sum = 0;
  for (int i = 0; outcome.ok() && i < d.activity_count; ++i)
    outcome = read_activity(tokens, i, duration_sum, listed_by, d);
  if (!outcome.ok()) return outcome;
  std::string extra;
  if (!tokens.at_end(extra))
    return invalid("unexpected \"" + extra + "\" after the last activity");
  const std::string note = close_dangling_ends(d);
  outcome = check_structure(d);
  if (outcome.ok()) outcome.note = note;
  return outcome;
}

FileOutcome read_instance_file(const std::string& path, InstanceData& data) {
  std::string text;
  const FileOutcome read = read_text_file(path, text);
  if (!read.ok()) return read;
  FileOutcome outcome = parse_instance_text(text, data);
  if (!outcome.note.empty()) outcome.note = path + ": " + outcome.note;
  return outcome;
}

FileOutcome read_instance_files(const std::string& problem_name, int problem_number,
                                int deadline_offset, InstanceData& data,
                                const std::string& directory) {
  const std::filesystem::path dir(directory);
  int deadline = 0;
  FileOutcome outcome = read_deadline_file((dir / deadline_file_name(problem_name)).string(),
                                           problem_number, deadline_offset, deadline);
  if (outcome.ok())
    outcome = read_instance_file((dir / instance_file_name(problem_name, problem_number)).string(),
                                 data);
  if (outcome.ok()) data.deadline = deadline;
  return outcome;
}

std::string format_instance(const InstanceData& d) {
  std::string out =
      std::to_string(d.activity_count) + ' ' + std::to_string(d.resource_count) + '\n';
  for (int k = 0; k < d.resource_count; ++k)
    out += (k > 0 ? " " : "") + std::to_string(d.capacity[static_cast<std::size_t>(k)]);
  out += '\n';
  for (int i = 0; i < d.activity_count; ++i) {
    const auto a = static_cast<std::size_t>(i);
    out += std::to_string(d.duration[a]);
    for (int r : d.requirement[a]) out += ' ' + std::to_string(r);
    out += ' ' + std::to_string(d.successors[a].size());
    for (int s : d.successors[a]) out += ' ' + std::to_string(s + 1);
    out += '\n';
  }
  return out;
}

}  // namespace rcpspdc
