// The compiled modules of a report's procedures, as they were before the
// rewrite: from them, where each procedure's recorded lines stand in its
// source file, without the source.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <utility>

namespace quillet::tool {

class ModuleLines {
 public:
  // Adds one module image (.lso), one source file (.lss, compiled), or each
  // .lso file of a folder. A module is matched to the report by its
  // checksum, which is the key the report records its procedures under.
  // False with a reason when a path cannot be read or a module not parsed.
  [[nodiscard]] bool Add(const std::string& path, std::string& error);
  // Adds one module image held in memory. False with a reason when it does
  // not parse.
  [[nodiscard]] bool AddImage(std::span<const uint8_t> image, std::string& error);

  // What to add to the lines recorded for procedure `handle` of module `key`
  // to get its source lines. False when no module given has that procedure.
  bool LineOffset(uint32_t key, uint32_t handle, int32_t& offset) const {
    auto it = offsets_.find({key, handle});
    if (it == offsets_.end()) return false;
    offset = it->second;
    return true;
  }

  bool Empty() const { return offsets_.empty() && modules_ == 0; }

 private:
  [[nodiscard]] bool AddFile(const std::string& path, std::string& error);

  std::map<std::pair<uint32_t, uint32_t>, int32_t> offsets_;  // (module key, handle) -> offset
  size_t modules_ = 0;
};

}  // namespace quillet::tool
