// The merged message catalogue and the status-text look-up.
#include "config/message_catalog.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <span>
#include <vector>

#include "config/notes_api.h"

namespace quillet {
namespace {

// Codes keep their upper 16 bits; of the lower 16 only the 14 code bits count.
constexpr uint32_t kMessageKeyMask = 0xFFFF0000u | kStatusCodeMask;

struct Catalogue {
  std::shared_mutex mutex;
  std::vector<const MessageEntry*> pending;  // registered before the merge
  std::map<uint32_t, const char*> texts;
  bool loaded = false;
};

Catalogue& TheCatalogue() {
  static Catalogue catalogue;
  return catalogue;
}

// REQUIRES: the catalogue's mutex is held exclusively.
void MergeTable(Catalogue& catalogue, const MessageEntry* table) {
  if (table == nullptr) return;
  for (const MessageEntry* entry = table; entry->code != 0; ++entry) {
    if (entry->text != nullptr) catalogue.texts.emplace(entry->code & kMessageKeyMask, entry->text);
  }
}

// The catalogue text of a code above 0xFFFF; null when it has none.
const char* FindText(uint32_t code) {
  LoadMessageCatalog();
  Catalogue& catalogue = TheCatalogue();
  std::shared_lock lock(catalogue.mutex);
  auto it = catalogue.texts.find(code & kMessageKeyMask);
  return it == catalogue.texts.end() ? nullptr : it->second;
}

// Catalogue texts are UTF-8; the caller wants the host character set. ASCII
// is the same in both, so a failed translation keeps the UTF-8 bytes.
std::string ToHostCharacterSet(const char* text) {
  std::string_view utf8(text);
  NotesApi* api = InstalledNotes();
  if (api == nullptr) return std::string(utf8);
  std::vector<uint8_t> out;
  auto in = std::span(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size());
  if (api->Translate(kTranslateUtf8ToHost, in, out) != kNoError) return std::string(utf8);
  return std::string(out.begin(), out.end());
}

// The text of any code and its status, uncut.
Status32 LookUp(Status32 code, std::string& text) {
  if (code > 0xFFFF) {
    if (const char* found = FindText(code)) {
      text = ToHostCharacterSet(found);
      return kNoError;
    }
    text = UndefinedMessageText(code);
    return kErrStringNotFound;
  }
  text.clear();
  NotesApi* api = InstalledNotes();
  if (api != nullptr && api->StatusText(static_cast<STATUS>(code), text)) return kNoError;
  text.clear();
  return kErrStringNotFound;
}

}  // namespace

void RegisterMessageTable(const MessageEntry* table) {
  Catalogue& catalogue = TheCatalogue();
  std::unique_lock lock(catalogue.mutex);
  if (catalogue.loaded) {
    MergeTable(catalogue, table);
  } else {
    catalogue.pending.push_back(table);
  }
}

void LoadMessageCatalog() {
  Catalogue& catalogue = TheCatalogue();
  {
    std::shared_lock lock(catalogue.mutex);
    if (catalogue.loaded) return;
  }
  std::unique_lock lock(catalogue.mutex);
  if (catalogue.loaded) return;
  for (const MessageEntry* table : catalogue.pending) MergeTable(catalogue, table);
  catalogue.pending.clear();
  catalogue.loaded = true;
}

std::string UndefinedMessageText(Status32 code) {
  char text[32];
  std::snprintf(text, sizeof text, "Undef: %04x,%04x", static_cast<unsigned>(code >> 16),
                static_cast<unsigned>(code & kStatusCodeMask));
  return text;
}

Status32 GetMessageText(Status32 code, char* buffer, size_t size) {
  std::string text;
  Status32 status = LookUp(code, text);
  if (buffer != nullptr && size > 0) {
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
  }
  return status;
}

std::string MessageText(Status32 code) {
  std::string text;
  (void)LookUp(code, text);
  return text;
}

}  // namespace quillet
