// What making and deleting an instance of a class needs, worked out once a
// run on the class's first New: its chain of bases, the starting values of
// its members and its New and Delete procedures, so that neither New nor the
// release of an instance reads a class entry or allocates.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/lsrun/module_view.h"
#include "sim/lsrun/procedure.h"
#include "sim/lsrun/value.h"

namespace quillet::lsrun {

struct ClassRuntime {
  // The class and its bases, the class first; empty when a class entry does
  // not read or the chain loops.
  std::vector<const ClassInfo*> chain;
  // Member slots' starting values, as the class's and then each base's
  // declarations leave them (a later declaration of a slot wins).
  std::vector<Value> memberDefaults;
  std::vector<FreshSlot> freshMembers;
  // The New that runs (the class's own or its nearest base's) and the
  // Delete procedures from the class to its last base; entry offsets, with
  // the prepared procedure once a call has looked it up.
  uint32_t ctor = 0;
  const Procedure* ctorProc = nullptr;
  struct Destructor {
    uint32_t offset;
    const Procedure* proc;
  };
  std::vector<Destructor> dtors;
};

}  // namespace quillet::lsrun
