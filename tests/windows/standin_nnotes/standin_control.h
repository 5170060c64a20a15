// The stand-in nnotes.dll's own functions, which a real nnotes does not
// have: the test process starts and stops the simulated host behind it,
// stores a design element and runs a note's LotusScript with it. Types of
// the addresses the test looks up with GetProcAddress.
#pragma once

#include <cstdint>

#include "config/nnotes/c_api.h"

namespace quillet::standin {

extern "C" {
// Starts the simulated host (a fresh data directory under
// $QUILLET_TEST_TMP); 0 on success.
using StandInStartFn = nnotes::WORD (*)();
using StandInStopFn = void (*)();
// Creates database `dbPath` when absent and stores a form titled `title`
// whose one button holds `source` compiled; `id` receives its note ID.
using StandInStoreFormFn = nnotes::WORD (*)(const char* dbPath, const char* title, const char* source,
                                            nnotes::NOTEID* id);
// Runs the LotusScript of open note `note`, the timer declarations calling
// the exports of the loaded nquillet.dll; its printed output goes to
// `output` (terminated, at most `size` bytes). 0 when every module ran.
using StandInRunNoteFn = nnotes::WORD (*)(nnotes::DHANDLE note, char* output, nnotes::WORD size);
}

}  // namespace quillet::standin
