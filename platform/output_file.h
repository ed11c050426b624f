// Files written by the program: created or emptied, written, closed. Every
// failure raises EInOutError with the run-time error number of its cause.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quarnel {

using OutputFileHandle = std::intptr_t;

// Creates the file at path, or empties an existing one, for writing.
OutputFileHandle CreateOutputFile(const char* path);

// Writes all `size` bytes; one that stores fewer raises "Disk Full" (101).
void WriteOutputFile(OutputFileHandle file, const char* data, std::size_t size);

// Closes the file, reporting a failure.
void CloseOutputFile(OutputFileHandle file);

// Closes the file on an error path, reporting nothing.
void AbandonOutputFile(OutputFileHandle file) noexcept;

}  // namespace quarnel
