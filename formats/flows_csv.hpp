// Cash flows as data: the flows of every activity of every instance of a
// run, one CSV line each, so a study can be replayed with the flows of
// another solver and another solver can replay the flows drawn here.
//
//   number,instance,negative,seed,activity,flow
//   1,pat1,60,1,1,0
//   1,pat1,60,1,2,-34
//
// `instance` is the instance's name (pat1 for instance 1 of the series pat,
// the file name without directory and extension for instance files),
// `activity` numbers the activities as the instance file does, dummies
// included, and `negative` is the share of negative flows they were drawn
// with (empty when unknown). `number` and `seed` are for the reader only.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "formats/file_outcome.hpp"

namespace rcpspdc {

// Flows by instance name and share of negative flows (-1: the file does not
// say), each the flow of activities 1..n in order.
using FlowsTable = std::map<std::pair<std::string, int>, std::vector<int>>;

// A file named *.csv holds flows as above; any other is an info.out.
bool is_flows_csv_name(const std::string& path);

std::string flows_csv_header();
// The lines of one instance's flows; `negative` or `seed` below 0 stay empty.
std::string flows_csv_lines(int number, const std::string& instance, int negative, long long seed,
                            const std::vector<int>& flows);

// Reads flows written so: the columns instance, activity and flow are
// needed, negative is optional, others are passed over. Every instance must
// list its activities 1..n, each once. Fails (invalid) naming the line.
FileOutcome parse_flows_csv(const std::string& text, FlowsTable& table);
FileOutcome read_flows_csv(const std::string& path, FlowsTable& table);

// The flows of `instance` drawn with `negative` percent negative flows, or
// else those the file gives without a share; null when it has neither.
const std::vector<int>* find_flows(const FlowsTable& table, const std::string& instance,
                                   int negative);

}  // namespace rcpspdc
