// How many processors this process may run on.
#pragma once

namespace quarnel {

// The set bits among the low 32 bits of the process's affinity mask; if the
// mask cannot be read, the processor count the system reports; at least 1.
int UsableProcessorCount();

}  // namespace quarnel
