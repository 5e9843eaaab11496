#pragma once
// A batch writes one output per input, on several threads: inputs that would write the same
// file must be found before any work starts, as which of them is written last is down to the
// threads.

#include <map>
#include <string>
#include <vector>

#include "Status.h"

namespace korvale {

// Inputs that would write the same output (or the same SRB companion), each with a failure
// naming every input of its group and the output. outputsOf gives an input's output paths.
[[nodiscard]] std::map<std::string, Status> Clashes(
    const std::vector<std::string>& inputs, const std::vector<std::vector<std::string>>& outputsOf);

}  // namespace korvale
