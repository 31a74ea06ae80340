// PSPLIB single-mode files (".sm"). A .sm file numbers the supersource 1 and
// the sink n, exactly as the instance file does, so activities keep their
// numbers.
#pragma once

#include <string>

#include "formats/file_outcome.hpp"
#include "model/instance_data.hpp"

namespace rcpspdc {

// Parses the text of a .sm file into `data`: activity count, renewable
// resources with their capacities, durations, demands and successors (model
// indices, in the file's order). Deadline and cash flows stay empty. Fails
// (invalid) with what is wrong, naming the line or job concerned. Refused:
// multi-mode jobs, a nonrenewable or doubly constrained resource that some
// job uses, more than 4 renewable resources, more than 128 jobs, and anything
// the instance reader would refuse in the converted file.
FileOutcome parse_psplib_text(const std::string& text, InstanceData& data);
FileOutcome read_psplib_file(const std::string& path, InstanceData& data);

// An instance file of either form, told apart by content: a PSPLIB file has
// a "PRECEDENCE RELATIONS" section, anything else is read as the program's own
// form. Fails with "cannot open PATH" (cannot_open) or with the fault in the
// words of a batch row; an instance of the own form may come with a note.
FileOutcome read_any_instance_file(const std::string& path, InstanceData& data);

}  // namespace rcpspdc
