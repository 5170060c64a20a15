// Where a module came from: the note item, its design note and the image length.
#pragma once

#include <cstdint>
#include <string>

namespace quillet {

struct ScriptItemInfo {
  std::string ItemName;   // LMBCS: the note item holding the module
  std::string Title;      // LMBCS: the design note's title
  uint32_t NoteId = 0;
  int32_t ModuleLength = 0;  // length of the image last given to Parse
  int32_t DesignKind = 0;
  int32_t Reserved = 0;      // only ever cleared

  void Clear() { *this = ScriptItemInfo{}; }
};

}  // namespace quillet
