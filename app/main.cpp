#include "app/run_sequence.h"
#include "platform/console.h"
#include "series/thread_pool.h"

int main() {
  quarnel::PrepareConsole();
  quarnel::ProcThreadPool();  // the one pool, sized before the run begins
  return quarnel::RunProgram();
}
