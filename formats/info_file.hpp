// The information file ("info.out") of a console run: a head, then per
// instance read its number, its deadline and the cash flow of every real
// activity, so that the run can be solved again with the same flows. Written
// here record by record, and read back whole.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "formats/file_outcome.hpp"
#include "model/instance_data.hpp"

namespace rcpspdc {

struct InfoRecord {
  int number = 0;              // instance number
  int deadline = 0;            // deadline after the offset was added
  std::vector<int> cash_flow;  // real activities 1..n-2, model numbering, in order
};

// Records by instance number.
using InfoRecords = std::map<int, InfoRecord>;

// Gives the real activities of `data` the record's cash flows and both dummies
// 0; false, with `data` untouched, when the record's count is not the
// instance's number of real activities.
bool take_cash_flows(const InfoRecord& record, InstanceData& data);

// The records of a whole file. A parse that fails (invalid) names the line
// and what is wrong; read_info_file puts the path in front.
FileOutcome parse_info_text(const std::string& text, InfoRecords& records);
FileOutcome read_info_file(const std::string& path, InfoRecords& records);

// The head of a new file: title, column names and remark, then a blank line.
std::string info_head();
// The record of instance `number` of `data` (deadline and cash flows drawn),
// to be appended to the file.
std::string info_record(int number, const InstanceData& data);

}  // namespace rcpspdc
