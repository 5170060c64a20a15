// The standard databases of the current location, and the client's caches.
//
// The environment variable "LOCATION" reads "<name>,<note ID in hex>,...";
// the note is the location document in the address book named by "NAMES".
#include <charconv>

#include "config/host_text.h"
#include "config/notes_services.h"
#include "config/olm_handle.h"

namespace quillet {
namespace {

constexpr uint16_t kLocationItemBuffer = 256;

std::string_view Field(std::string_view text, size_t index) {
  for (; index > 0; --index) {
    size_t comma = text.find(',');
    if (comma == std::string_view::npos) return {};
    text.remove_prefix(comma + 1);
  }
  return text.substr(0, text.find(','));
}

bool ParseHexNoteId(std::string_view text, NoteId& id) {
  if (text.empty()) return false;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id, 16);
  return error == std::errc() && end == text.data() + text.size();
}

struct LocationItems {
  std::string bookmarkDb, headlineDb, mailFile, mailServer;
};

bool ReadLocationDocument(std::string_view addressBook, NoteId id, LocationItems& items) {
  NotesApi& notes = Notes();
  DbHandle db;
  if (notes.DbOpen(addressBook, db) != kNoError) return false;
  COlmDbHandle ownedDb(db);
  NoteHandle note;
  if (notes.NoteOpen(db, id, 0, note) != kNoError) return false;
  notes.ItemText(note, "BookmarkDb", items.bookmarkDb, kLocationItemBuffer);
  notes.ItemText(note, "HeadlineDb", items.headlineDb, kLocationItemBuffer);
  notes.ItemText(note, "MailFile", items.mailFile, kLocationItemBuffer);
  notes.ItemText(note, "MailServer", items.mailServer, kLocationItemBuffer);
  (void)notes.NoteClose(note);
  return true;
}

}  // namespace

bool LocationDatabase(int kind, std::string& path) {
  if (kind < kLocationMailFile || kind > kLocationBookmarks) return false;
  NotesApi& notes = Notes();
  std::string location;
  if (!notes.EnvironmentString("LOCATION", location)) return false;
  NoteId id = 0;
  if (!ParseHexNoteId(Field(location, 1), id)) return false;

  std::string addressBook;
  if (notes.EnvironmentString("NAMES", addressBook)) {
    addressBook = std::string(Field(addressBook, 0));
  } else {
    addressBook = "names.nsf";
  }
  LocationItems items;
  if (!ReadLocationDocument(addressBook, id, items)) return false;

  switch (kind) {
    case kLocationMailFile: path = notes.NetworkPath(items.mailServer, items.mailFile); break;
    case kLocationAddressBook: path = addressBook; break;
    case kLocationHeadlines: path = items.headlineDb; break;
    default: path = items.bookmarkDb; break;
  }
  return true;
}

bool IsCacheDatabase(std::string_view path) {
  return HostCompare(path, "cache.dsk", kCompareExact) == 0 || HostCompare(path, "cache.ndk", kCompareExact) == 0;
}

}  // namespace quillet
