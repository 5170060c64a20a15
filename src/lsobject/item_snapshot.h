// A copy of every instance of some items of a note, to put them back when
// replacing them fails half-way.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "config/notes_api.h"

namespace quillet {

class ItemSnapshot {
 public:
  // Copies every instance of `name` (names equal but for case are taken
  // once). A failing item query other than "not found" returns its status.
  [[nodiscard]] STATUS Take(NoteHandle note, std::string_view name);

  // Deletes every instance of each taken name and appends the copies in
  // their stored order, with their flags and types. Goes on after a
  // failure and returns the first one.
  [[nodiscard]] STATUS Restore(NoteHandle note) const;

 private:
  std::vector<std::string> names_;
  std::vector<ItemInfo> instances_;
};

}  // namespace quillet
