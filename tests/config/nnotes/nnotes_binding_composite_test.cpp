// Tests of the binding's composite-data, access-list and item-scan calls
// against a registered stand-in for the host module: structures are
// converted by the host's canonical-format functions, records are walked by
// the host's enumerator in a memory block of its own, the default access
// level is set in the copied list, and scanned items carry their blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "config/nnotes/nnotes_binding.h"
#include "platform/platform.h"
#include "util/ascii.h"
#include "util/bytes.h"

namespace quillet {
namespace {

using namespace nnotes;

constexpr WORD kTimeDateCode = 10;     // _TIMEDATE: 8 bytes on disk
constexpr WORD kMisreadCode = 11;      // a stand-in whose conversion moves the cursor wrongly
constexpr StatusWord kEnumComplete = 0x0F02;  // the stand-in's end-of-walk status

struct FakeItem {
  std::string name;
  BLOCKID block;
  std::vector<uint8_t> value;
};

struct CompositeHost {
  std::map<DHANDLE, std::vector<uint8_t>> blocks;
  DHANDLE nextBlock = 0x200;
  std::vector<DWORD> walkedLengths;
  std::vector<std::string> aclCalls;
  std::vector<FakeItem> items;
};
CompositeHost* gHost = nullptr;

WORD QUILLET_LNPUBLIC FakeOdsLength(WORD type) {
  if (type == kTimeDateCode) return 8;
  if (type == kMisreadCode) return 4;
  return 0;
}
// The stand-in's host form swaps the two words of a TIMEDATE, so a copy
// that skipped the host would show.
void SwapHalves(const uint8_t* from, uint8_t* to) {
  std::memcpy(to, from + 4, 4);
  std::memcpy(to + 4, from, 4);
}
void QUILLET_LNPUBLIC FakeOdsRead(void* cursor, WORD type, void* host, WORD iterations) {
  EXPECT_EQ(iterations, 1);
  auto*& at = *static_cast<uint8_t**>(cursor);
  if (type == kMisreadCode) {
    at += 6;
    return;
  }
  SwapHalves(at, static_cast<uint8_t*>(host));
  at += 8;
}
void QUILLET_LNPUBLIC FakeOdsWrite(void* cursor, WORD, const void* host, WORD) {
  auto*& at = *static_cast<uint8_t**>(cursor);
  SwapHalves(static_cast<const uint8_t*>(host), at);
  at += 8;
}

StatusWord QUILLET_LNPUBLIC FakeMemAlloc(WORD, DWORD size, DHANDLE* handle) {
  *handle = gHost->nextBlock++;
  gHost->blocks[*handle].assign(size, 0xEE);
  return kNoError;
}
StatusWord QUILLET_LNPUBLIC FakeMemFree(DHANDLE handle) {
  gHost->aclCalls.push_back("free " + std::to_string(handle));
  return gHost->blocks.erase(handle) == 1 || handle == 0x61 ? kNoError : kErrInvalidHandle;
}
void* QUILLET_LNPUBLIC FakeLock(DHANDLE handle) {
  auto found = gHost->blocks.find(handle);
  return found == gHost->blocks.end() ? nullptr : found->second.data();
}
BOOL QUILLET_LNPUBLIC FakeUnlock(DHANDLE) { return 1; }

// The stand-in's own walk: byte, word and long record lengths.
StatusWord QUILLET_LNPUBLIC FakeEnumComposite(BLOCKID value, DWORD length, ActionRoutinePtr action, void* context) {
  EXPECT_EQ(value.block, 0);
  gHost->walkedLengths.push_back(length);
  auto* bytes = static_cast<uint8_t*>(FakeLock(value.pool));
  if (bytes == nullptr || length < 2 || LoadU16(bytes) != kTypeCompositeData) return kErrInvalidArgument;
  DWORD pos = 2;
  while (pos < length) {
    uint8_t* record = bytes + pos;
    const WORD word = LoadU16(record);
    const DWORD size = record[1] == 0xFF ? LoadU16(record + 2) : record[1] == 0 ? LoadU32(record + 2) : record[1];
    if (StatusWord status = action(reinterpret_cast<char*>(record), word, size, context)) return status;
    pos += size + size % 2;
  }
  return kEnumComplete;
}

StatusWord QUILLET_LNPUBLIC FakeCopyAcl(DHANDLE source, DHANDLE target) {
  gHost->aclCalls.push_back("copy " + std::to_string(source) + ">" + std::to_string(target));
  return kNoError;
}
StatusWord QUILLET_LNPUBLIC FakeReadAcl(DHANDLE db, DHANDLE* acl) {
  gHost->aclCalls.push_back("read " + std::to_string(db));
  *acl = 0x61;
  return kNoError;
}
StatusWord QUILLET_LNPUBLIC FakeUpdateEntry(DHANDLE acl, const char* name, WORD flags, const char*, WORD level,
                                        ACL_PRIVILEGES*, WORD) {
  gHost->aclCalls.push_back("update " + std::to_string(acl) + (name == nullptr ? " default" : " named") +
                            " flags " + std::to_string(flags) + " level " + std::to_string(level));
  return kNoError;
}
StatusWord QUILLET_LNPUBLIC FakeStoreAcl(DHANDLE db, DHANDLE acl, DWORD, WORD method) {
  gHost->aclCalls.push_back("store " + std::to_string(acl) + ">" + std::to_string(db) + " method " +
                            std::to_string(method));
  return kNoError;
}

StatusWord QUILLET_LNPUBLIC FakeItemScan(DHANDLE, NSFItemScanCallback callback, void* context) {
  for (FakeItem& item : gHost->items) {
    if (StatusWord status = callback(0, 0, item.name.data(), static_cast<WORD>(item.name.size()), item.value.data(),
                                     static_cast<DWORD>(item.value.size()), context)) {
      return status;
    }
  }
  return kNoError;
}
// Items of a name in note order, the name compared without case.
StatusWord FindFrom(size_t start, const char* name, WORD nameLength, BLOCKID* item) {
  for (size_t i = start; i < gHost->items.size(); ++i) {
    if (AsciiEqualNoCase(gHost->items[i].name, std::string_view(name, nameLength))) {
      *item = gHost->items[i].block;
      return kNoError;
    }
  }
  return kErrItemNotFound;
}
StatusWord QUILLET_LNPUBLIC FakeItemInfo(DHANDLE, const char* name, WORD nameLength, BLOCKID* item, WORD*, BLOCKID*,
                                     DWORD*) {
  return FindFrom(0, name, nameLength, item);
}
StatusWord QUILLET_LNPUBLIC FakeItemInfoNext(DHANDLE, BLOCKID previous, const char* name, WORD nameLength,
                                         BLOCKID* item, WORD*, BLOCKID*, DWORD*) {
  for (size_t i = 0; i < gHost->items.size(); ++i) {
    if (gHost->items[i].block.block == previous.block) return FindFrom(i + 1, name, nameLength, item);
  }
  return kErrItemNotFound;
}

template <typename Fn>
std::pair<std::string, void*> Export(const char* name, Fn function) {
  return {name, reinterpret_cast<void*>(function)};
}

class NnotesBindingCompositeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gHost = &host_;
    exports_ = {
        Export("ODSLength", static_cast<ODSLengthFn>(&FakeOdsLength)),
        Export("ODSReadMemory", static_cast<ODSReadMemoryFn>(&FakeOdsRead)),
        Export("ODSWriteMemory", static_cast<ODSWriteMemoryFn>(&FakeOdsWrite)),
        Export("OSMemAlloc", static_cast<OSMemAllocFn>(&FakeMemAlloc)),
        Export("OSMemFree", static_cast<OSMemFreeFn>(&FakeMemFree)),
        Export("OSLockObject", static_cast<OSLockObjectFn>(&FakeLock)),
        Export("OSUnlockObject", static_cast<OSUnlockObjectFn>(&FakeUnlock)),
        Export("EnumCompositeBuffer", static_cast<EnumCompositeBufferFn>(&FakeEnumComposite)),
        Export("NSFDbCopyACL", static_cast<NSFDbCopyACLFn>(&FakeCopyAcl)),
        Export("NSFDbReadACL", static_cast<NSFDbReadACLFn>(&FakeReadAcl)),
        Export("ACLUpdateEntry", static_cast<ACLUpdateEntryFn>(&FakeUpdateEntry)),
        Export("NSFDbStoreACL", static_cast<NSFDbStoreACLFn>(&FakeStoreAcl)),
        Export("NSFItemScan", static_cast<NSFItemScanFn>(&FakeItemScan)),
        Export("NSFItemInfo", static_cast<NSFItemInfoFn>(&FakeItemInfo)),
        Export("NSFItemInfoNext", static_cast<NSFItemInfoNextFn>(&FakeItemInfoNext)),
    };
    Register();
  }
  void TearDown() override {
    platform::RegisterModule(kModule, std::nullopt);
    gHost = nullptr;
  }
  void Register() { platform::RegisterModule(kModule, exports_); }
  // The binding keeps what it found: a new one sees the module without `name`.
  NnotesBinding Without(const char* name) {
    exports_.erase(name);
    Register();
    return NnotesBinding(std::u16string(kModule));
  }

  static constexpr std::u16string_view kModule = u"quillet-test-nnotes-composite";
  CompositeHost host_;
  std::map<std::string, void*> exports_;
  NnotesBinding binding_{std::u16string(kModule)};
};

TEST_F(NnotesBindingCompositeTest, StructuresAreSizedAndConvertedByTheHost) {
  const std::vector<uint8_t> disk{1, 2, 3, 4, 5, 6, 7, 8, 0xAA};
  StructureSizes sizes;
  ASSERT_EQ(binding_.StructureConvert(kTimeDateCode, StructureForm::Host, {}, {}, sizes), kNoError);
  EXPECT_EQ(sizes.onDisk, 8);
  EXPECT_EQ(sizes.host, 8);

  std::vector<uint8_t> host(10, 0xCC);
  ASSERT_EQ(binding_.StructureConvert(kTimeDateCode, StructureForm::OnDisk, disk, host, sizes), kNoError);
  EXPECT_EQ(host, (std::vector<uint8_t>{5, 6, 7, 8, 1, 2, 3, 4, 0xCC, 0xCC}));  // nothing past the structure
  std::vector<uint8_t> back(8, 0);
  ASSERT_EQ(binding_.StructureConvert(kTimeDateCode, StructureForm::Host, host, back, sizes), kNoError);
  EXPECT_EQ(back, std::vector<uint8_t>(disk.begin(), disk.begin() + 8));
}

TEST_F(NnotesBindingCompositeTest, StructureFailuresLeaveTheOutputAlone) {
  StructureSizes sizes;
  std::vector<uint8_t> out(8, 0xCC);
  const std::vector<uint8_t> in(8, 1);
  EXPECT_EQ(binding_.StructureConvert(99, StructureForm::OnDisk, in, out, sizes), kErrUnknownStructure);
  EXPECT_EQ(binding_.StructureConvert(kLastNotesStructureCode + 1, StructureForm::OnDisk, in, out, sizes),
            kErrUnknownStructure);
  EXPECT_EQ(binding_.StructureConvert(kTimeDateCode, StructureForm::OnDisk, std::span(in).first(7), out, sizes),
            kErrBufferTooSmall);
  EXPECT_EQ(binding_.StructureConvert(kTimeDateCode, StructureForm::OnDisk, in, std::span(out).first(7), sizes),
            kErrBufferTooSmall);
  // A conversion that moves past other bytes than the length named is not trusted.
  EXPECT_EQ(binding_.StructureConvert(kMisreadCode, StructureForm::OnDisk, in, out, sizes), kErrUnknownStructure);
  EXPECT_EQ(out, std::vector<uint8_t>(8, 0xCC));
  NnotesBinding missing = Without("ODSReadMemory");
  EXPECT_EQ(missing.StructureConvert(kTimeDateCode, StructureForm::OnDisk, in, out, sizes),
            kErrFunctionNotAvailable);
  EXPECT_EQ(out, std::vector<uint8_t>(8, 0xCC));
}

// A byte-length record (odd, padded), a word-length one and a long-length one.
std::vector<uint8_t> ThreeRecords() {
  return {0x01, 0x00,                                // composite type word
          0x85, 0x05, 'a', 'b', 'c', 0x00,           // signature 0x85, 5 bytes, pad
          0x13, 0xFF, 0x06, 0x00, 'x', 'y',          // signature 0xFF13, 6 bytes
          0x9A, 0x00, 0x08, 0x00, 0x00, 0x00, 'd', 'e'};  // signature 0x009A, 8 bytes
}

using Seen = std::vector<std::pair<uint16_t, std::vector<uint8_t>>>;

TEST_F(NnotesBindingCompositeTest, RecordsComeInOrderWithSignatureAndBytes) {
  const std::vector<uint8_t> value = ThreeRecords();
  Seen seen;
  ASSERT_EQ(binding_.EnumerateCompositeRecords(value, [&](uint16_t signature, std::span<const uint8_t> record) {
    seen.emplace_back(signature, std::vector<uint8_t>(record.begin(), record.end()));
    return kNoError;
  }),
            kNoError);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], (Seen::value_type{0x85, {0x85, 0x05, 'a', 'b', 'c'}}));
  EXPECT_EQ(seen[1].first, 0xFF13);
  EXPECT_EQ(seen[1].second.size(), 6u);
  EXPECT_EQ(seen[2].first, 0x009A);
  EXPECT_EQ(seen[2].second.size(), 8u);
  EXPECT_EQ(host_.walkedLengths, (std::vector<DWORD>{static_cast<DWORD>(value.size())}));
  EXPECT_TRUE(host_.blocks.empty());  // the host's block is given back
}

// Callers keep the records they are handed: each must be a part of their own
// value, never of the host's block, which is freed when the walk ends.
TEST_F(NnotesBindingCompositeTest, RecordsArePartsOfTheCallersValue) {
  const std::vector<uint8_t> value = ThreeRecords();
  std::vector<size_t> offsets;
  ASSERT_EQ(binding_.EnumerateCompositeRecords(value, [&](uint16_t, std::span<const uint8_t> record) {
    EXPECT_GE(record.data(), value.data());
    EXPECT_LE(record.data() + record.size(), value.data() + value.size());
    offsets.push_back(static_cast<size_t>(record.data() - value.data()));
    return kNoError;
  }),
            kNoError);
  EXPECT_EQ(offsets, (std::vector<size_t>{2, 8, 14}));
}

TEST_F(NnotesBindingCompositeTest, ABadRecordIsNeverHandedToTheHost) {
  std::vector<uint8_t> value = ThreeRecords();
  value.resize(value.size() - 1);  // the long record now runs past the value
  Seen seen;
  const auto collect = [&](uint16_t signature, std::span<const uint8_t> record) {
    seen.emplace_back(signature, std::vector<uint8_t>(record.begin(), record.end()));
    return kNoError;
  };
  EXPECT_EQ(binding_.EnumerateCompositeRecords(value, collect), kErrBadCompositeRecord);
  EXPECT_EQ(seen.size(), 2u);  // the records before it were handed over
  EXPECT_EQ(host_.walkedLengths, (std::vector<DWORD>{14}));
  EXPECT_TRUE(host_.blocks.empty());

  const std::vector<uint8_t> text{0x00, 0x05, 'a'};
  host_.walkedLengths.clear();
  EXPECT_EQ(binding_.EnumerateCompositeRecords(text, collect), kErrBadCompositeRecord);
  EXPECT_TRUE(host_.walkedLengths.empty());
}

TEST_F(NnotesBindingCompositeTest, TheCallbacksResultStopsTheWalk) {
  int calls = 0;
  EXPECT_EQ(binding_.EnumerateCompositeRecords(ThreeRecords(),
                                               [&](uint16_t, std::span<const uint8_t>) {
                                                 return ++calls == 2 ? kErrItemNotFound : kNoError;
                                               }),
            kErrItemNotFound);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(binding_.EnumerateCompositeRecords(ThreeRecords(),
                                               [&](uint16_t, std::span<const uint8_t>) -> STATUS {
                                                 throw std::runtime_error("never into the host");
                                               }),
            kErrInvalidArgument);
  EXPECT_TRUE(host_.blocks.empty());
}

TEST_F(NnotesBindingCompositeTest, CopiedAccessListGetsTheDefaultLevel) {
  ASSERT_EQ(binding_.DbCopyAcl(DbHandle{0x10}, DbHandle{0x20}, 6), kNoError);
  EXPECT_EQ(host_.aclCalls, (std::vector<std::string>{"copy 16>32", "read 32", "update 97 default flags 2 level 6",
                                                       "store 97>32 method 0", "free 97"}));
  // Without a function of the sequence nothing is copied.
  host_.aclCalls.clear();
  NnotesBinding missing = Without("ACLUpdateEntry");
  EXPECT_EQ(missing.DbCopyAcl(DbHandle{0x10}, DbHandle{0x20}, 6), kErrFunctionNotAvailable);
  EXPECT_TRUE(host_.aclCalls.empty());
}

TEST_F(NnotesBindingCompositeTest, ScannedItemsCarryTheirBlocks) {
  host_.items = {{"$Body", BLOCKID{0x30, 2}, {0x01, 0x00}},
                 {"Form", BLOCKID{0x30, 4}, {0x00, 0x05}},
                 {"$BODY", BLOCKID{0x30, 6}, {0x01, 0x00}},
                 {"$body", BLOCKID{0x30, 8}, {0x01, 0x00}}};
  std::vector<std::pair<std::string, ItemId>> seen;
  ASSERT_EQ(binding_.ItemScan(NoteHandle{5}, [&](const ItemInfo& info) {
    seen.emplace_back(info.name, info.item);
    return kNoError;
  }),
            kNoError);
  const std::vector<std::pair<std::string, ItemId>> expected{{"$Body", ItemId{0x30, 2}},
                                                             {"Form", ItemId{0x30, 4}},
                                                             {"$BODY", ItemId{0x30, 6}},
                                                             {"$body", ItemId{0x30, 8}}};
  EXPECT_EQ(seen, expected);

  // Without the item look-up the scan still works; the items carry no block.
  NnotesBinding missing = Without("NSFItemInfoNext");
  seen.clear();
  ASSERT_EQ(missing.ItemScan(NoteHandle{5}, [&](const ItemInfo& info) {
    seen.emplace_back(info.name, info.item);
    return kNoError;
  }),
            kNoError);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_FALSE(seen[0].second.valid());
}

}  // namespace
}  // namespace quillet
