// Native functions behind external declarations ("Declare ... Lib"), looked
// up by library and entry-point name, and the library's own timer entry
// points that rewritten modules declare from "nquillet".
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/lsrun/module_view.h"
#include "sim/lsrun/value.h"

namespace quillet::lsrun {

// Receives the arguments converted to the declared parameter types; returns
// 0 or a runtime error number. `result` is what a declared Function returns.
using NativeFunction = std::function<int(std::span<const Value> args, Value& result)>;

class NativeTable {
 public:
  // Registers (or replaces) `name` of `library`. Both match without regard
  // to case; a library matches with or without its ".dll" suffix.
  void Register(std::string library, std::string name, NativeFunction function);
  // The function for `name` of `library`, or null.
  const NativeFunction* Find(std::string_view library, std::string_view name) const;
  bool Empty() const { return entries_.empty(); }

 private:
  struct Entry {
    std::string library;
    std::string name;
    NativeFunction function;
  };
  std::vector<Entry> entries_;
};

// An external declaration bound to the native function that answers it
// (null when none does), once a run, so a call neither reads the entry nor
// searches the tables again.
struct BoundDeclaration {
  DeclarationInfo decl;
  const NativeFunction* fn = nullptr;
};

inline constexpr std::string_view kTimerLibrary = "nquillet";

// "KVXFunctionTimer" and "KVXLineTimer" of "nquillet": forward their 16-bit
// arguments to the entry points the library exports in this process (the
// undecorated C functions), or fail with "Error in loading DLL" when the
// process has no such exports. Null for every other name.
const NativeFunction* TimerEntry(std::string_view library, std::string_view name);

}  // namespace quillet::lsrun
