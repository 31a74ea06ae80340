// Records of an information file ("info.out") written by a console run: per
// instance read, its number, its deadline and the cash flow of every real
// activity, so that the run can be solved again with the same flows.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "model/instance_data.hpp"

namespace rcpspdc {

struct InfoRecord {
  int number = 0;              // instance number
  int deadline = 0;            // deadline after the offset was added
  std::vector<int> cash_flow;  // real activities 1..n-2, model numbering, in order
};

// Records by instance number. A parse that fails leaves a message naming the
// line and what is wrong in `error` and returns false.
using InfoRecords = std::map<int, InfoRecord>;

// Gives the real activities of `data` the record's cash flows and both dummies
// 0; false, with `data` untouched, when the record's count is not the
// instance's number of real activities.
bool take_cash_flows(const InfoRecord& record, InstanceData& data);

bool parse_info_text(const std::string& text, InfoRecords& records, std::string& error);
bool read_info_file(const std::string& path, InfoRecords& records, std::string& error);

}  // namespace rcpspdc
