// Tests of the nnotes binding in a process without Notes: with its module
// missing every operation fails cleanly and says so once per function; with a
// registered stand-in module the calls reach the C API functions with the
// arguments the C API expects and their results come back converted.
#include "config/nnotes/nnotes_binding.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdarg>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace quillet {
namespace {

using namespace nnotes;

TEST(NnotesBindingMissing, StatusOperationsFailAndQueriesAnswerEmpty) {
  NnotesBinding binding(u"quillet-absent-module");
  testing::internal::CaptureStderr();
  DbHandle db;
  EXPECT_EQ(binding.DbOpen("names.nsf", db), kErrFunctionNotAvailable);
  EXPECT_FALSE(db.valid());
  QueueHandle queue;
  EXPECT_EQ(binding.QueueOpen("MQ$X", queue), kErrFunctionNotAvailable);
  EXPECT_EQ(binding.ThreadInit(), kErrFunctionNotAvailable);
  EXPECT_EQ(binding.EnvironmentInt("KitType"), 0);
  std::string value = "unchanged";
  EXPECT_FALSE(binding.EnvironmentString("KitType", value));
  EXPECT_EQ(value, "unchanged");
  EXPECT_EQ(binding.DataDirectory(), "");
  ItemInfo info;
  EXPECT_EQ(binding.ItemFind(NoteHandle{1}, "Body", info), kErrFunctionNotAvailable);
  EXPECT_EQ(binding.DbOpen("other.nsf", db), kErrFunctionNotAvailable);  // reported once only
  const std::string lines = testing::internal::GetCapturedStderr();
  EXPECT_NE(lines.find("quillet-absent-module is not loaded: NSFDbOpen is not available"), std::string::npos);
  EXPECT_NE(lines.find("MQOpen"), std::string::npos);
  EXPECT_EQ(lines.find("NSFDbOpen"), lines.rfind("NSFDbOpen"));
}

// A stand-in for the host module: C API functions over one note and queue.
struct FakeHost {
  std::string openedPath;
  std::string consoleText;
  std::vector<uint8_t> pool;  // the memory behind value blocks
  std::vector<std::string> queue;
  WORD lastDeleteLength = 0;
  int locked = 0;  // pool locks not yet given back
};
FakeHost* gFake = nullptr;

StatusWord QUILLET_LNPUBLIC FakeDbOpen(const char* path, DHANDLE* db) {
  gFake->openedPath = path;
  if (std::strcmp(path, "missing.nsf") == 0) return kErrFileNotFound;
  *db = 0x44;
  return kNoError;
}
long QUILLET_LNPUBLIC FakeEnvironmentLong(const char* name) { return std::strcmp(name, "KitType") == 0 ? 2 : 0; }
void FakeLog(const char* format, StatusWord status, ...) {
  // The binding passes "%s" and the line as its one argument.
  EXPECT_STREQ(format, "%s");
  EXPECT_EQ(status, kNoError);
  va_list args;
  va_start(args, status);
  gFake->consoleText += va_arg(args, const char*);
  va_end(args);
}
StatusWord QUILLET_LNPUBLIC FakeItemInfo(DHANDLE, const char* name, WORD nameLength, BLOCKID* item, WORD* type,
                                     BLOCKID* value, DWORD* length) {
  if (std::string(name, nameLength) != "Body") return kErrItemNotFound;
  *item = BLOCKID{0x77, 8};
  *type = kTypeText;
  *value = BLOCKID{0x99, 4};
  *length = 5;
  return kNoError;
}
void QUILLET_LNPUBLIC FakeItemQuery(DHANDLE, BLOCKID item, char* name, WORD nameSize, WORD* nameLength, WORD* flags,
                                    WORD* type, BLOCKID* value, DWORD* length) {
  EXPECT_EQ(item.pool, 0x77u);
  EXPECT_EQ(item.block, 8);
  ASSERT_GE(nameSize, 4);
  std::memcpy(name, "Body", 4);  // the host does not terminate item names
  *nameLength = 4;
  *flags = kItemSummary;
  *type = kTypeText;
  *value = BLOCKID{0x99, 4};
  *length = 5;
}
void* QUILLET_LNPUBLIC FakeLock(DHANDLE handle) {
  if (handle != 0x99) return nullptr;
  ++gFake->locked;
  return gFake->pool.data();
}
BOOL QUILLET_LNPUBLIC FakeUnlock(DHANDLE handle) {
  EXPECT_EQ(handle, 0x99u);
  --gFake->locked;
  return 1;
}
StatusWord QUILLET_LNPUBLIC FakeItemDelete(DHANDLE, const char*, WORD length) {
  gFake->lastDeleteLength = length;
  return kNoError;
}
StatusWord QUILLET_LNPUBLIC FakeMQScan(DHANDLE queue, char*, WORD, DWORD, MQScanCallback callback, void* context) {
  EXPECT_EQ(queue, 0x55u);
  for (auto message = gFake->queue.begin(); message != gFake->queue.end();) {
    const StatusWord status = callback(message->data(), static_cast<WORD>(message->size()), 0, context);
    if (status == kErrRemoveMessage) {
      message = gFake->queue.erase(message);
    } else if (status != kNoError) {
      return status;
    } else {
      ++message;
    }
  }
  return kNoError;
}
WORD QUILLET_LNPUBLIC FakeTranslateUpper(WORD mode, const char* in, WORD inLength, char* out, WORD outLength) {
  EXPECT_EQ(mode, kTranslateUpper);
  WORD n = 0;
  for (; n < inLength && n < outLength; ++n) out[n] = static_cast<char>(std::toupper(static_cast<unsigned char>(in[n])));
  return n;
}

class NnotesBindingWithModule : public ::testing::Test {
 protected:
  void SetUp() override {
    gFake = &fake_;
    fake_.pool = {0xEE, 0xEE, 0xEE, 0xEE, 0x00, 0x05, 'a', 'b', 'c', 0xEE};
    platform::RegisterModule(
        kModule, std::map<std::string, void*>{
                     {"NSFDbOpen", reinterpret_cast<void*>(static_cast<NSFDbOpenFn>(&FakeDbOpen))},
                     {"OSGetEnvironmentLong",
                      reinterpret_cast<void*>(static_cast<OSGetEnvironmentLongFn>(&FakeEnvironmentLong))},
                     {"AddInLogMessageText", reinterpret_cast<void*>(static_cast<AddInLogMessageTextFn>(&FakeLog))},
                     {"NSFItemInfo", reinterpret_cast<void*>(static_cast<NSFItemInfoFn>(&FakeItemInfo))},
                     {"NSFItemQuery", reinterpret_cast<void*>(static_cast<NSFItemQueryFn>(&FakeItemQuery))},
                     {"OSLockObject", reinterpret_cast<void*>(static_cast<OSLockObjectFn>(&FakeLock))},
                     {"OSUnlockObject", reinterpret_cast<void*>(static_cast<OSUnlockObjectFn>(&FakeUnlock))},
                     {"NSFItemDelete", reinterpret_cast<void*>(static_cast<NSFItemDeleteFn>(&FakeItemDelete))},
                     {"MQScan", reinterpret_cast<void*>(static_cast<MQScanFn>(&FakeMQScan))},
                     {"OSTranslate", reinterpret_cast<void*>(static_cast<OSTranslateFn>(&FakeTranslateUpper))},
                 });
  }
  void TearDown() override {
    platform::RegisterModule(kModule, std::nullopt);
    gFake = nullptr;
  }
  static constexpr std::u16string_view kModule = u"quillet-test-nnotes";
  FakeHost fake_;
  NnotesBinding binding_{std::u16string(kModule)};
};

TEST_F(NnotesBindingWithModule, DatabaseOpenPassesThePathAndTheHostsStatus) {
  DbHandle db;
  EXPECT_EQ(binding_.DbOpen("apps/profile.nsf", db), kNoError);
  EXPECT_EQ(fake_.openedPath, "apps/profile.nsf");
  EXPECT_EQ(db.value, 0x44u);
  DbHandle untouched;
  EXPECT_EQ(binding_.DbOpen("missing.nsf", untouched), kErrFileNotFound);
  EXPECT_FALSE(untouched.valid());
  EXPECT_EQ(binding_.EnvironmentInt("KitType"), 2);
}

TEST_F(NnotesBindingWithModule, ItemFindReadsNameFlagsAndTheValueBlock) {
  ItemInfo info;
  ASSERT_EQ(binding_.ItemFind(NoteHandle{3}, "Body", info), kNoError);
  EXPECT_EQ(info.name, "Body");
  EXPECT_EQ(info.flags, kItemSummary);
  EXPECT_EQ(info.type, kTypeText);
  EXPECT_EQ(info.item.note, 0x77u);
  EXPECT_EQ(info.item.item, 8u);
  // Five bytes from the value block's offset: the type word, then the text.
  EXPECT_EQ(info.value, (std::vector<uint8_t>{0x00, 0x05, 'a', 'b', 'c'}));
  EXPECT_EQ(binding_.ItemFind(NoteHandle{3}, "Other", info), kErrItemNotFound);
}

TEST_F(NnotesBindingWithModule, AViewKeepsTheValueBlockLockedUntilReleased) {
  ItemValueView view;
  ASSERT_EQ(binding_.ItemFindView(NoteHandle{3}, "Body", view), kNoError);
  EXPECT_EQ(view.flags(), kItemSummary);
  EXPECT_EQ(view.type(), kTypeText);
  EXPECT_EQ(view.item(), (ItemId{0x77, 8}));
  // The host's own bytes, at the value block's offset: no copy.
  EXPECT_EQ(view.value().data(), fake_.pool.data() + 4);
  EXPECT_EQ(std::vector<uint8_t>(view.value().begin(), view.value().end()),
            (std::vector<uint8_t>{0x00, 0x05, 'a', 'b', 'c'}));
  EXPECT_EQ(fake_.locked, 1);
  ItemValueView moved = std::move(view);
  view.Release();
  EXPECT_EQ(fake_.locked, 1) << "a moved-from view holds nothing";
  moved.Release();
  EXPECT_EQ(fake_.locked, 0);
  EXPECT_EQ(binding_.ItemFindView(NoteHandle{3}, "Other", moved), kErrItemNotFound);
  EXPECT_FALSE(moved.held());
  EXPECT_EQ(fake_.locked, 0);
  // A copying read gives its lock back at once.
  ItemInfo info;
  ASSERT_EQ(binding_.ItemFind(NoteHandle{3}, "Body", info), kNoError);
  EXPECT_EQ(fake_.locked, 0);
}

TEST_F(NnotesBindingWithModule, OverlongNamesAreRefusedBeforeTheHostIsCalled) {
  EXPECT_EQ(binding_.ItemDelete(NoteHandle{3}, std::string(70000, 'x')), kErrInvalidArgument);
  EXPECT_EQ(fake_.lastDeleteLength, 0);
  EXPECT_EQ(binding_.ItemDelete(NoteHandle{3}, "Body"), kNoError);
  EXPECT_EQ(fake_.lastDeleteLength, 4);
}

TEST_F(NnotesBindingWithModule, QueueScanHandsOverMessagesAndObeysTheCallback) {
  fake_.queue = {"ENABLE", "SETFILTER x", "FINALIZERUN"};
  std::vector<std::string> seen;
  const STATUS status = binding_.QueueScan(QueueHandle{0x55}, 256, [&](std::span<const uint8_t> message) -> STATUS {
    seen.emplace_back(message.begin(), message.end());
    if (seen.size() == 3) throw std::runtime_error("no exception may reach the host");
    return seen.size() == 1 ? kErrRemoveMessage : kNoError;
  });
  EXPECT_EQ(status, kErrInvalidArgument);
  EXPECT_EQ(seen, (std::vector<std::string>{"ENABLE", "SETFILTER x", "FINALIZERUN"}));
  EXPECT_EQ(fake_.queue, (std::vector<std::string>{"SETFILTER x", "FINALIZERUN"}));
}

TEST_F(NnotesBindingWithModule, CaseInsensitiveCompareUsesTheHostsUpperCase) {
  EXPECT_EQ(binding_.Compare("amgr", "AMGR", kCompareNoCase), 0);
  EXPECT_NE(binding_.Compare("amgr", "AMGR", kCompareExact), 0);
  EXPECT_LT(binding_.Compare("amgr", "HTTP", kCompareNoCase), 0);
}

// The stand-in's "KitType" is 2: a server installation runs as a server.
TEST_F(NnotesBindingWithModule, ProcessQueryAnswersServerFromTheInstallationKind) {
  EXPECT_TRUE(binding_.ProcessQuery(kProcessQueryServer));
  EXPECT_FALSE(binding_.ProcessQuery(kProcessQueryServer + 1));
  NnotesBinding absent(u"quillet-absent-module");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(absent.ProcessQuery(kProcessQueryServer));
  static_cast<void>(testing::internal::GetCapturedStderr());
}

TEST_F(NnotesBindingWithModule, AMissingFunctionOfALoadedModuleIsNamedOnTheHostsConsole) {
  EXPECT_EQ(binding_.NoteSign(NoteHandle{3}), kErrFunctionNotAvailable);
  EXPECT_EQ(binding_.NoteSign(NoteHandle{3}), kErrFunctionNotAvailable);
  EXPECT_EQ(fake_.consoleText, "nquillet: quillet-test-nnotes has no function NSFNoteSign");
}

}  // namespace
}  // namespace quillet
