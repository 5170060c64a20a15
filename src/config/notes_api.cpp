// The process-wide Notes API instance, and the item value view's lock.
#include "config/notes_api.h"

#include <atomic>
#include <cstdlib>
#include <cstdio>
#include <utility>

namespace quillet {
namespace {
std::atomic<NotesApi*> gNotes{nullptr};
}  // namespace

NotesApi* InstalledNotes() { return gNotes.load(std::memory_order_acquire); }

NotesApi& Notes() {
  NotesApi* api = InstalledNotes();
  if (api == nullptr) {
    // Installing the host seam is the loader's first step; reaching here is a
    // programming error, not a host condition.
    std::fputs("quillet: Notes API used before it was installed\n", stderr);
    std::abort();
  }
  return *api;
}

void InstallNotes(NotesApi* api) { gNotes.store(api, std::memory_order_release); }

ItemValueView& ItemValueView::operator=(ItemValueView&& other) noexcept {
  if (this == &other) return *this;
  Release();
  host_ = std::exchange(other.host_, nullptr);
  lock_ = other.lock_;
  item_ = other.item_;
  flags_ = other.flags_;
  type_ = other.type_;
  value_ = std::exchange(other.value_, {});
  return *this;
}

void ItemValueView::Release() {
  if (host_ != nullptr) std::exchange(host_, nullptr)->ItemViewRelease(lock_);
  value_ = {};
}

void ItemValueView::Hold(NotesApi& host, uint32_t lock, ItemId item, uint16_t flags, uint16_t type,
                         std::span<const uint8_t> value) {
  Release();
  host_ = &host;
  lock_ = lock;
  item_ = item;
  flags_ = flags;
  type_ = type;
  value_ = value;
}

}  // namespace quillet
