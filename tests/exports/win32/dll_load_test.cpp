// The built nquillet.dll loaded with LoadLibrary, as a Notes process loads
// it, into this test process, which is no Notes process and has no nnotes.dll:
// the entry points must be found by their undecorated names and must return
// cleanly, leaving the host's hook vector unhooked. Windows only.
#if defined(_WIN32)

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "config/status.h"
#include "hook/file_version.h"
#include "hook/hook_vector.h"
#include "hook/stamp_probe.h"
#include "platform/win32/windows_seam.h"
#include "util/bytes.h"

namespace quillet {
namespace {

class LoadedDll : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = ::LoadLibraryW(L"" QUILLET_NQUILLET_PATH);
    ASSERT_NE(module_, nullptr) << "LoadLibrary failed, error " << ::GetLastError();
  }
  void TearDown() override {
    if (module_ != nullptr) ::FreeLibrary(module_);
  }
  template <typename Fn>
  Fn Get(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module_, name)));
  }
  HMODULE module_ = nullptr;
};

TEST_F(LoadedDll, EntryPointsResolveByUndecoratedNameOnly) {
  for (const char* name : {"MainEntryPoint", "Term", "HookNoteOpen_Server", "HookNoteOpen_Client",
                           "HookNoteUpdate", "HookDbStampNotes", "GetFileVersion", "KVXFunctionTimer",
                           "KVXLineTimer", "gdImageAABlend"}) {
    EXPECT_NE(Get<void*>(name), nullptr) << name;
  }
  EXPECT_EQ(Get<void*>("MainEntryPoint@4"), nullptr);
  EXPECT_EQ(Get<void*>("_MainEntryPoint@4"), nullptr);
}

TEST_F(LoadedDll, MainEntryPointOutsideNotesLeavesTheVectorUnhooked) {
  using Entry = HookStatus(QUILLET_HOOKAPI*)(HookVector*);
  auto mainEntry = Get<Entry>("MainEntryPoint");
  auto term = Get<Entry>("Term");
  ASSERT_NE(mainEntry, nullptr);
  ASSERT_NE(term, nullptr);

  int hostModule = 0;
  int hostInit = 0;
  HookVector vector{};
  vector.hostModule = &hostModule;
  vector.hostInit = &hostInit;
  // Slots the host filled with something else must come back cleared.
  vector.noteUpdate = reinterpret_cast<NoteUpdateHook>(reinterpret_cast<void*>(&hostInit));
  EXPECT_EQ(mainEntry(&vector), kNoError);
  EXPECT_EQ(vector.hostModule, &hostModule);
  EXPECT_EQ(vector.hostInit, &hostInit);
  EXPECT_EQ(vector.term, nullptr);
  EXPECT_EQ(vector.noteOpen, nullptr);
  EXPECT_EQ(vector.noteUpdate, nullptr);
  EXPECT_EQ(vector.dbStampNotes, nullptr);
  EXPECT_EQ(mainEntry(nullptr), kNoError);

  // Unhooked, timer calls from rewritten script return at once.
  using FunctionTimer = void(QUILLET_CDECL*)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, int32_t);
  using LineTimer = void(QUILLET_CDECL*)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, int32_t, int32_t);
  auto functionTimer = Get<FunctionTimer>("KVXFunctionTimer");
  auto lineTimer = Get<LineTimer>("KVXLineTimer");
  ASSERT_NE(functionTimer, nullptr);
  ASSERT_NE(lineTimer, nullptr);
  for (int32_t type = 0; type < 4; ++type) functionTimer(1, 2, 3, 4, 5, type);
  lineTimer(1, 2, 3, 4, 5, 0, 10);

  EXPECT_EQ(term(&vector), kNoError);
  EXPECT_EQ(vector.hostModule, &hostModule);
}

TEST_F(LoadedDll, ProbeIsAnsweredThroughTheExport) {
  using Stamp = HookStatus(QUILLET_HOOKAPI*)(HookVector*, const char*, void*, uint32_t, uint32_t, const char*,
                                             uint16_t, void*, uint16_t);
  auto stamp = Get<Stamp>("HookDbStampNotes");
  ASSERT_NE(stamp, nullptr);
  std::array<uint8_t, 16> block{};
  StoreU32(block.data() + kProbeQuestionOffset, 7);
  const std::string item(kProbeItemName);
  EXPECT_EQ(stamp(nullptr, "CN=Someone", nullptr, 1, 2, item.c_str(), static_cast<uint16_t>(item.size()),
                  block.data(), static_cast<uint16_t>(block.size())),
            kStampNotesHandled);
  EXPECT_EQ(LoadU32(block.data() + kProbeAnswerOffset), kProbeAnswer);
  EXPECT_EQ(stamp(nullptr, "CN=Someone", nullptr, 1, 2, "$Other", 6, block.data(), 16), kNoError);
}

TEST_F(LoadedDll, VersionRecordIsFilled) {
  using Version = HookStatus(QUILLET_HOOKAPI*)(void*);
  auto version = Get<Version>("GetFileVersion");
  ASSERT_NE(version, nullptr);
  std::array<uint8_t, kVersionRecordMinSize + 8> record;
  record.fill(0xAB);
  EXPECT_EQ(version(record.data()), kNoError);
  EXPECT_EQ(LoadU16(record.data()), kVersionMajor);
  EXPECT_EQ(LoadU16(record.data() + 6), kVersionBuild);
  EXPECT_STREQ(reinterpret_cast<const char*>(record.data() + kVersionProductOffset), kProductName);
  EXPECT_EQ(record[kVersionRecordMinSize], 0xAB);  // nothing past the record
}

}  // namespace
}  // namespace quillet

#endif  // _WIN32
