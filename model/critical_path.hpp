// The shortest makespan the precedence network allows, resources aside: the
// deadline a run falls back on when no makespan is known for an instance.
#pragma once

#include "model/instance_data.hpp"

namespace rcpspdc {

// The earliest finish of the last activity when every activity starts as
// soon as its predecessors finish. The network must be acyclic, as every
// reader makes sure.
int critical_path_length(const InstanceData& data);

}  // namespace rcpspdc
