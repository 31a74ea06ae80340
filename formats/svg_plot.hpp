// A picture of a schedule as one SVG document: a Gantt chart of the real
// activities over one load profile per resource type.
#pragma once

#include <string>
#include <vector>

#include "formats/file_outcome.hpp"
#include "model/instance_data.hpp"

namespace rcpspdc {

// `finish_time` holds one finish time per activity (model numbering). The
// Gantt chart has one bar per real activity from finish - duration to finish,
// labelled with its file number, green for a positive cash flow, red for a
// negative one and grey for none, with the deadline as a dashed vertical line
// and a time axis. Below it, per resource type, the load of every period as
// bars (red where the capacity is exceeded) and the capacity as a horizontal
// line. `title` heads the picture. Rows and text scale with the number of
// activities down to an 8 px font; beyond that the picture grows in height.
// Marked for readers of the document: bars have class "activity", capacity
// lines class "capacity", the deadline class "deadline", load bars class "load".
// With `arcs`, every precedence arc between two real activities is drawn from
// the end of the first bar to the start of the second (class "arc").
// Empty when finish_time does not hold one entry per activity.
std::string schedule_svg(const InstanceData& instance, const std::vector<int>& finish_time,
                         const std::string& title, bool arcs = false);

// Writes that document to `path` (any thread).
FileOutcome write_schedule_svg(const std::string& path, const InstanceData& instance,
                               const std::vector<int>& finish_time, const std::string& title,
                               bool arcs = false);

// What every SVG writer shares: text escaped for XML (plain ASCII only), a
// coordinate with at most 2 decimals and no trailing zeros, and the document
// around a body of elements, on a white ground.
std::string svg_text(const std::string& text);
std::string svg_number(double value);
std::string svg_document(double width, double height, const std::string& body);

}  // namespace rcpspdc
