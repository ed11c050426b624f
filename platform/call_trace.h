// The code addresses of the running call chain, for the error report.
//
// Addresses are offsets from the executable's load address, so that they
// mean the same in every run; only frames inside the executable itself are
// kept, since the offsets of library code would mean nothing.
#pragma once

#include <cstdint>
#include <vector>

namespace quarnel {

// Return addresses of the calling thread's stack, innermost first, without
// the `skip` innermost frames besides this function's own.
std::vector<std::uintptr_t> CaptureCallTrace(int skip);

// The trace from the frame whose return address is raisedAt outwards,
// raisedAt first. Where that frame is not found the trace is raisedAt alone.
std::vector<std::uintptr_t> CaptureCallTraceFrom(const void* raisedAt);

// The executable's load address: the offsets above are taken from it.
std::uintptr_t ProgramLoadAddress();

// True if address (absolute) lies in one of the executable's code segments.
bool IsProgramCode(std::uintptr_t address);

}  // namespace quarnel
