// The code location path: a small stack that names where in a design element
// the piece of code being rewritten sits (say, a navigator rectangle named
// Home, and below it the kind of code), rendered as one line of text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "config/status.h"

namespace quillet {

struct CodeLocationEntry {
  static constexpr uint16_t kPinned = 0x1;
  static constexpr uint16_t kTransient = 0x2;

  int32_t kind = 0;  // an entry kind (design_messages.h)
  std::string name;  // may be empty
  uint16_t flags = 0;
};

class CodeLocation {
 public:
  // A rendered line holds at most this many characters.
  static constexpr size_t kMaxRendered = 1023;

  // An empty path; kErrOutOfMemory when it cannot be made.
  [[nodiscard]] static Status32 Create(std::unique_ptr<CodeLocation>& path);

  // Each change of the entries also clears the current code kind.
  void Push(int32_t kind, std::string_view name);
  void Pop();  // nothing on an empty path
  // Drops the transient entries, then pushes a transient one.
  void Replace(int32_t kind, std::string_view name);
  // Removes transient entries from the top until a pinned or lasting one.
  void DropTransient();
  void Pin();    // the top entry, if any
  void Unpin();
  void SetCodeKind(int32_t kind) { codeKind_ = kind; }

  // 0 when the top entry has `kind` and `name` (letter case ignored),
  // kErrEntryNotFound otherwise or when the path is empty.
  [[nodiscard]] Status32 MatchTop(int32_t kind, std::string_view name) const;

  // The entries from the bottom up, each "text 'name'" (the quoted name only
  // when it is not empty), joined by "\", then "\" and the code kind's text
  // when one is set; at most kMaxRendered characters.
  std::string Render() const;
  // The same line into a caller's buffer, terminated.
  void Render(char (&buffer)[kMaxRendered + 1]) const;

  size_t depth() const { return entries_.size(); }
  const CodeLocationEntry* top() const { return entries_.empty() ? nullptr : &entries_.back(); }
  int32_t codeKind() const { return codeKind_; }

 private:
  std::vector<CodeLocationEntry> entries_;
  int32_t codeKind_ = 0;
};

// The operations records call on a path that may be null: a null path is
// left alone, and matches any entry.
void SetCodeKind(CodeLocation* path, int32_t kind);
[[nodiscard]] Status32 MatchTop(const CodeLocation* path, int32_t kind, std::string_view name);

// An entry pushed for the length of a scope and popped whatever the outcome
// of the record that pushed it; nothing for a null path or kind 0.
class ScopedEntry {
 public:
  ScopedEntry(CodeLocation* path, int32_t kind) : path_(kind != 0 ? path : nullptr) {
    if (path_ != nullptr) path_->Push(kind, "");
  }
  ~ScopedEntry() {
    if (path_ != nullptr) path_->Pop();
  }
  ScopedEntry(const ScopedEntry&) = delete;
  ScopedEntry& operator=(const ScopedEntry&) = delete;

 private:
  CodeLocation* path_;
};

}  // namespace quillet
