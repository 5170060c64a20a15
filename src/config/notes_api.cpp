// The process-wide Notes API instance.
#include "config/notes_api.h"

#include <atomic>
#include <cstdlib>
#include <cstdio>

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

}  // namespace quillet
