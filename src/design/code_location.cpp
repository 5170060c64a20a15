// The code location path and its one-line rendering from the message texts
// of its entry kinds and code kinds.
#include "design/code_location.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "config/host_text.h"
#include "config/message_catalog.h"
#include "config/notes_api.h"
#include "design/design_messages.h"

namespace quillet {
namespace {

// The catalogue text of an entry kind, "Unknown object!" when it has none.
std::string EntryText(int32_t kind) {
  const Status32 code = EntryKindMessage(kind);
  if (code == 0) return kUnknownEntryText;
  char text[CodeLocation::kMaxRendered + 1];
  if (GetMessageText(code, text, sizeof text) != kNoError) return kUnknownEntryText;
  return text;
}

// The catalogue text of a code kind; a kind without one renders as "Undef:"
// with the message code's high word and low 14 bits.
std::string CodeKindText(int32_t kind) {
  const Status32 code = CodeKindMessage(kind);
  if (code == 0) return UndefinedMessageText(static_cast<Status32>(kind));
  char text[CodeLocation::kMaxRendered + 1];
  (void)GetMessageText(code, text, sizeof text);  // without a text it holds the "Undef:" line
  return text;
}

}  // namespace

Status32 CodeLocation::Create(std::unique_ptr<CodeLocation>& path) {
  path.reset(new (std::nothrow) CodeLocation);
  return path ? kNoError : kErrOutOfMemory;
}

void CodeLocation::Push(int32_t kind, std::string_view name) {
  entries_.push_back(CodeLocationEntry{kind, std::string(name), 0});
  codeKind_ = 0;
}

void CodeLocation::Pop() {
  if (entries_.empty()) return;
  entries_.pop_back();
  codeKind_ = 0;
}

void CodeLocation::Replace(int32_t kind, std::string_view name) {
  DropTransient();
  Push(kind, name);
  entries_.back().flags |= CodeLocationEntry::kTransient;
}

void CodeLocation::DropTransient() {
  while (!entries_.empty() && (entries_.back().flags & CodeLocationEntry::kTransient) != 0 &&
         (entries_.back().flags & CodeLocationEntry::kPinned) == 0) {
    Pop();
  }
}

void CodeLocation::Pin() {
  if (!entries_.empty()) entries_.back().flags |= CodeLocationEntry::kPinned;
}

void CodeLocation::Unpin() {
  if (!entries_.empty()) entries_.back().flags &= static_cast<uint16_t>(~CodeLocationEntry::kPinned);
}

Status32 CodeLocation::MatchTop(int32_t kind, std::string_view name) const {
  if (entries_.empty() || entries_.back().kind != kind) return kErrEntryNotFound;
  return HostCompare(entries_.back().name, name, kCompareNoCase) == 0 ? kNoError : kErrEntryNotFound;
}

std::string CodeLocation::Render() const {
  std::string line;
  for (const CodeLocationEntry& entry : entries_) {
    if (&entry != &entries_.front()) line += '\\';
    line += EntryText(entry.kind);
    if (!entry.name.empty()) line.append(" '").append(entry.name).append("'");
    if (line.size() > kMaxRendered) break;
  }
  if (codeKind_ != 0 && line.size() <= kMaxRendered) {
    if (!entries_.empty()) line += '\\';
    line += CodeKindText(codeKind_);
  }
  if (line.size() > kMaxRendered) line.resize(kMaxRendered);
  return line;
}

void CodeLocation::Render(char (&buffer)[kMaxRendered + 1]) const {
  const std::string line = Render();
  std::memcpy(buffer, line.data(), line.size());
  buffer[line.size()] = '\0';
}

void SetCodeKind(CodeLocation* path, int32_t kind) {
  if (path != nullptr) path->SetCodeKind(kind);
}

Status32 MatchTop(const CodeLocation* path, int32_t kind, std::string_view name) {
  return path == nullptr ? kNoError : path->MatchTop(kind, name);
}

}  // namespace quillet
