#include "platform/processors.h"

#include <sched.h>
#include <unistd.h>

#include <cstddef>

namespace quarnel {

int UsableProcessorCount() {
  cpu_set_t mask;
  CPU_ZERO(&mask);
  int count = 0;
  if (sched_getaffinity(0, sizeof mask, &mask) == 0) {
    for (std::size_t cpu = 0; cpu < 32; ++cpu) count += CPU_ISSET(cpu, &mask) ? 1 : 0;
  } else {
    count = static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
  }
  return count < 1 ? 1 : count;
}

}  // namespace quarnel
