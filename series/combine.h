// The parallel run of the four series tasks and their combination into pi.
#pragma once

namespace quarnel {

// Runs tasks 1..4 on the process's pool and, once all have returned,
// slot 1 := slot 1 - slot 2 + slot 3 - slot 4 over words W down to 0, so
// slot 1 holds pi (word 0 = 3). Errors of the tasks pass through.
void RunAndCombine();

}  // namespace quarnel
