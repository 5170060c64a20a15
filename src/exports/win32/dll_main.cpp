// nquillet.dll's loader entry: inside a Notes process the Notes API seam is
// the host's own nnotes, reached through the run-time binding. A process
// without nnotes gets the same binding, whose calls then fail cleanly.
#include "config/nnotes/nnotes_binding.h"
#include "platform/win32/windows_seam.h"

namespace {

quillet::NnotesBinding gNnotes;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH && quillet::InstalledNotes() == nullptr) quillet::InstallNotes(&gNnotes);
  if (reason == DLL_PROCESS_DETACH && quillet::InstalledNotes() == &gNnotes) quillet::InstallNotes(nullptr);
  return TRUE;
}
