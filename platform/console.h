// The console: standard input as raw bytes, standard output and standard
// error written a whole text per system call, never buffered by the program.
#pragma once

#include <cstddef>
#include <string_view>

namespace quarnel {

// Prepares the standard descriptors at start: SIGPIPE and SIGXFSZ ignored
// (failures become errors, not deaths); a closed standard descriptor gets
// /dev/null, so no file can be opened as it, and is remembered as closed.
void PrepareConsole();

// Writes text to standard output in one write; raises EInOutError on failure
// (a closed standard output gives 6).
void WriteConsoleText(std::string_view text);

// Writes line followed by CR LF to standard output in one write.
void WriteConsoleLine(std::string_view line);

// Writes text to standard error; failures are ignored, there is nobody left
// to tell.
void WriteErrorText(std::string_view text) noexcept;

// Reads up to `size` bytes of standard input; returns 0 at end of input.
// Raises EInOutError on failure (a closed standard input gives 6).
std::size_t ReadConsoleBytes(char* buffer, std::size_t size);

}  // namespace quarnel
