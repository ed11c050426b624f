// The code addresses of the running call chain, for the error report.
#pragma once

#include <cstdint>
#include <vector>

namespace quarnel {

// Return addresses of the calling thread's stack, innermost first, without
// the `skip` innermost frames, as offsets from the program's load address.
std::vector<std::uintptr_t> CaptureCallTrace(int skip);

}  // namespace quarnel
