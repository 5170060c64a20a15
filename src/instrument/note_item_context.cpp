// FillItemContext: where a note item comes from, read from the host.
#include "instrument/note_item_context.h"

#include "config/notes_services.h"
#include "instrument/note_instrument.h"
#include "util/bytes.h"

namespace quillet {
namespace {

constexpr std::string_view kUntitled = "(Untitled)";
constexpr std::string_view kScriptLibShort = "$ScriptLib";
constexpr std::string_view kScriptLibItem = "$ScriptLib_O";
constexpr size_t kMaxHexDigits = 8;

void Clip(std::string& text, size_t limit) {
  if (text.size() > limit) text.resize(limit);
}

void StoreTime(const TimeDate& time, uint8_t (&out)[8]) {
  StoreU32(out, time.innards[0]);
  StoreU32(out + 4, time.innards[1]);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A cache database's note stands for a note of another database: its path,
// note ID and sequence time come from the items the cache keeps.
void ApplyCacheSource(NoteHandle note, ItemContext& context) {
  std::string text;
  if (ReadTextItem(note, "$SourceDbPath", text) == kNoError) {
    Clip(text, kContextTextMax);
    context.DatabasePath = text;
  }
  if (ReadTextItem(note, "$SourceURL", text) == kNoError) (void)SourceUrlNoteId(text, context.NoteId);
  TimeDate sequence;
  if (Notes().ItemTime(note, "$SourceSeqTime", sequence)) StoreTime(sequence, context.SequenceTime);
}

}  // namespace

bool SourceUrlNoteId(std::string_view url, uint32_t& id) {
  const size_t slash = url.rfind('/');
  if (slash == std::string_view::npos) return false;
  std::string_view digits = url.substr(slash + 1);
  while (!digits.empty() && digits.front() == '0' && digits.size() > 1 && HexDigit(digits[1]) >= 0) {
    digits.remove_prefix(1);  // leading zeros do not count against the 32 bits
  }
  uint32_t value = 0;
  size_t count = 0;
  for (char c : digits) {
    const int d = HexDigit(c);
    if (d < 0) break;
    if (++count > kMaxHexDigits) return false;
    value = (value << 4) | static_cast<uint32_t>(d);
  }
  if (count == 0) return false;
  id = value;
  return true;
}

Status32 FillItemContext(const CLSProfileApp& profile, NoteHandle note, std::string_view itemName, int32_t flags,
                         ItemContext& context) {
  NotesApi& notes = Notes();
  const DbHandle db = notes.NoteDatabase(note);
  context.NoteHandle = note.value;
  context.NoteId = notes.NoteGetId(note);
  StoreTime(notes.NoteOriginator(note).sequenceTime, context.SequenceTime);

  std::string path;
  if (notes.DbCanonicalPath(db, path) != kNoError) path.clear();
  if (!profile.ServerName.empty()) path = notes.NetworkPath(profile.ServerName, path);
  Clip(path, kContextTextMax);
  context.DatabasePath = path;
  if (IsCacheDatabase(context.DatabasePath)) ApplyCacheSource(note, context);

  if ((flags & instrument_flags::kSkipWatchChecks) == 0) {
    if (!profile.Collecting) return kErrProfilerNotEnabled;
    if (!profile.IsWatchedDatabase(context.DatabasePath)) return kErrDatabaseNotWatched;
  }

  TimeDate identity;
  if (notes.DbIdentity(db, identity) == kNoError) StoreTime(identity, context.DatabaseId);
  std::string title;
  if (ReadTextItem(note, "$TITLE", title) == kNoError && !title.empty()) {
    Clip(title, kContextTextMax);
    context.Title = title;
  } else {
    context.Title = kUntitled;
  }
  context.ItemName = itemName == kScriptLibShort ? kScriptLibItem : itemName;
  context.HotspotCount = 0;
  context.DisplayName.clear();
  return kNoError;
}

}  // namespace quillet
