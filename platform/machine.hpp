// What a run records about where and when it ran: the date, the machine's
// name and its processor.
#pragma once

#include <string>

namespace rcpspdc {

// The current time in UTC as ISO 8601: "2024-05-01T12:34:56Z".
std::string utc_timestamp();
// The machine's host name ("" when the system gives none).
std::string host_name();
// The processor model as the system names it (Linux: the first "model name"
// of /proc/cpuinfo), or "" when unknown.
std::string processor_model();

}  // namespace rcpspdc
