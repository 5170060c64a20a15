// Tests of the rich-text rewrite: items rewritten byte for byte, object code
// replaced by a longer module, several segments, and bad input that leaves
// the note's item untouched.
#include "design/item_reader.h"

#include <gtest/gtest.h>

#include <vector>

#include "design/code_location.h"
#include "design/design_messages.h"
#include "design/item_composite.h"
#include "lsobject/ls_script_module.h"
#include "sim/scoped_sim_host.h"
#include "support/rich_text_builder.h"
#include "util/bytes.h"

namespace quillet {
namespace {

using kit::Bytes;

// A callback that replaces every object-code piece by `replacement` (or
// keeps it when empty) and counts the calls.
struct CodeSwap {
  Bytes replacement;
  int calls = 0;
  Status32 failWith = kNoError;
  static Status32 Callback(PieceKind kind, std::span<const uint8_t> piece, uint32_t, RecordBuffer& out,
                           CodeLocation*, void* user) {
    auto& self = *static_cast<CodeSwap*>(user);
    EXPECT_EQ(kind, PieceKind::ObjectCode);
    ++self.calls;
    if (self.failWith != kNoError) return self.failWith;
    return out.Append(self.replacement.empty() ? piece : std::span<const uint8_t>(self.replacement));
  }
};

class RichTextRewrite : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sim_->CreateDatabase("design.nsf"), kNoError);
    ASSERT_EQ(sim_->DbOpen("design.nsf", db_), kNoError);
    ASSERT_EQ(sim_->NoteCreate(db_, note_), kNoError);
  }

  void AddInstance(const Bytes& value, uint16_t flags = kItemSigned) {
    ASSERT_EQ(sim_->ItemAppend(note_, flags, "$Body", LoadU16(value.data()),
                               std::span(value).subspan(2)),
              kNoError);
  }
  // Every instance of "$Body": type word and data.
  std::vector<Bytes> Instances() {
    std::vector<Bytes> values;
    ItemInfo info;
    STATUS status = sim_->ItemFind(note_, "$Body", info);
    while (status == kNoError) {
      values.push_back(info.value);
      EXPECT_EQ(info.flags, kItemSigned);
      status = sim_->ItemFindNext(note_, info.item, info);
    }
    return values;
  }
  // The records of every instance, read back by the host's enumerator.
  std::vector<Bytes> RecordsOf(const std::vector<Bytes>& values) {
    std::vector<Bytes> records;
    for (const Bytes& value : values) {
      EXPECT_EQ(sim_->EnumerateCompositeRecords(value, [&](uint16_t, std::span<const uint8_t> record) -> STATUS {
        records.emplace_back(record.begin(), record.end());
        return kNoError;
      }), kNoError);
    }
    return records;
  }
  Status32 Rewrite(CodeSwap& swap, CodeLocation* location = nullptr) {
    return RewriteRichTextItem(note_, "$Body", location, &CodeSwap::Callback, &swap);
  }

  sim::ScopedSimHost sim_;
  DbHandle db_;
  NoteHandle note_;
};

TEST_F(RichTextRewrite, UnchangedCodeGivesTheSameItem) {
  const Bytes module = kit::CompiledModule("Click", 3);
  const Bytes value = kit::CompositeValue(
      kTypeCompositeData, {kit::Paragraph(), kit::TextRun("Press"), kit::LsObjectRecord(module, 0xA1B2C3D4)});
  AddInstance(value);
  CodeSwap keep;
  ASSERT_EQ(Rewrite(keep), kNoError);
  EXPECT_EQ(keep.calls, 1);
  EXPECT_EQ(Instances(), std::vector<Bytes>{value});
}

TEST_F(RichTextRewrite, LongerObjectCodeFixesLengthsAndStaysReadable) {
  const Bytes module = kit::CompiledModule("Click", 2);
  const Bytes after = kit::TextRun("after");
  AddInstance(kit::CompositeValue(kTypeCompositeData, {kit::LsObjectRecord(module, 0x01020304), after}));
  CodeSwap swap;
  swap.replacement = kit::CompiledModule("Click", 40);
  swap.replacement.push_back(0x5A);  // an odd length: the record must be padded
  ASSERT_EQ(Rewrite(swap), kNoError);

  const std::vector<Bytes> records = RecordsOf(Instances());
  ASSERT_EQ(records.size(), 2u);
  const Bytes& object = records[0];
  EXPECT_EQ(LoadU16(object.data() + 2), 12 + swap.replacement.size());
  EXPECT_EQ(LoadU32(object.data() + 4), swap.replacement.size());
  EXPECT_EQ(LoadU32(object.data() + 8), 0x01020304u) << "reserved bytes are kept";
  EXPECT_EQ(Bytes(object.begin() + 12, object.end()), swap.replacement);
  EXPECT_EQ(records[1], after);
  swap.replacement.pop_back();
  CLSScriptModule parsed;
  EXPECT_TRUE(parsed.Parse(std::span(object).subspan(12, swap.replacement.size())));
}

TEST_F(RichTextRewrite, SeveralInstancesAreReadAsOneAndResegmented) {
  std::vector<Bytes> records;
  for (int i = 0; i < 60; ++i) {
    records.push_back(kit::TextRun(std::string(900, static_cast<char>('a' + i % 26))));
    records.push_back(kit::LsObjectRecord(kit::CompiledModule("S" + std::to_string(i), 1)));
  }
  for (const Bytes& segment : kit::CompositeSegments(kTypeCompositeData, records, 20000)) AddInstance(segment);
  ASSERT_GE(Instances().size(), 3u);
  CodeSwap grow;
  grow.replacement = Bytes(1500, 0x42);
  ASSERT_EQ(Rewrite(grow), kNoError);
  EXPECT_EQ(grow.calls, 60);
  const std::vector<Bytes> values = Instances();
  size_t total = 0;
  for (const Bytes& value : values) {
    EXPECT_LE(value.size() - 2, RecordBuffer::kSegmentSize);
    total += value.size() - 2;
  }
  EXPECT_EQ(values.size(), (total + RecordBuffer::kSegmentSize - 1) / RecordBuffer::kSegmentSize + 0u)
      << "segments are filled before a new one starts";
  const std::vector<Bytes> back = RecordsOf(values);
  ASSERT_EQ(back.size(), records.size());
  for (size_t i = 0; i < back.size(); i += 2) EXPECT_EQ(back[i], records[i]);
  EXPECT_EQ(LoadU16(back[1].data() + 2), 12 + 1500);
}

TEST_F(RichTextRewrite, FailuresLeaveTheItemUntouched) {
  const Bytes value = kit::CompositeValue(kTypeCompositeData, {kit::LsObjectRecord(kit::CompiledModule("A", 1))});
  AddInstance(value);
  CodeSwap failing;
  failing.failWith = 0x4321;
  EXPECT_EQ(Rewrite(failing), 0x4321u);
  EXPECT_EQ(Instances(), std::vector<Bytes>{value});

  CodeSwap huge;
  huge.replacement = Bytes(RecordBuffer::kSegmentSize, 1);
  EXPECT_EQ(Rewrite(huge), kErrRecordExceeds64K);
  EXPECT_EQ(Instances(), std::vector<Bytes>{value});
}

TEST_F(RichTextRewrite, BadRecordsLeaveTheItemUntouched) {
  Bytes value = kit::CompositeValue(kTypeCompositeData, {kit::Paragraph(), kit::TextRun("text")});
  value[6] = 0x40;  // the text record's length (after type word and paragraph) now runs past the value
  AddInstance(value);
  CodeSwap keep;
  EXPECT_EQ(Rewrite(keep), kErrBadCompositeRecord);
  EXPECT_EQ(Instances(), std::vector<Bytes>{value});
}

TEST_F(RichTextRewrite, ShortObjectRecordIsRefused) {
  const Bytes value = kit::CompositeValue(kTypeCompositeData, {kit::WordRecord(0xFFB1, {1, 2, 3, 4})});
  AddInstance(value);
  CodeSwap keep;
  EXPECT_EQ(Rewrite(keep), kErrBadCompositeRecord);
  EXPECT_EQ(keep.calls, 0);
  EXPECT_EQ(Instances(), std::vector<Bytes>{value});
}

TEST_F(RichTextRewrite, PlaceholderAndMissingItems) {
  CodeSwap keep;
  EXPECT_EQ(Rewrite(keep), kErrItemNotFound);
  const Bytes number{0x00, 0x03, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
  AddInstance(number);
  EXPECT_EQ(Rewrite(keep), kNoError);
  EXPECT_EQ(Instances(), std::vector<Bytes>{number});
}

TEST_F(RichTextRewrite, ObjectRecordOfAnActionItemIsAPlainRecord) {
  const Bytes value = kit::CompositeValue(0x0010, {kit::ByteRecord(0x81, {}), kit::LsObjectRecord(Bytes(10, 3))});
  std::unique_ptr<CKVXItemComposite> composite;
  ASSERT_EQ(CKVXItemComposite::FromValue(value, composite), kNoError);
  ASSERT_EQ(composite->records().size(), 2u);
  CodeSwap swap;
  swap.replacement = Bytes(4, 9);
  RecordBuffer out;
  std::unique_ptr<RewriteCursor> cursor;
  ASSERT_EQ(composite->Rewrite({kRewriteObjectCode, nullptr, &CodeSwap::Callback, &swap}, out, cursor), kNoError);
  EXPECT_EQ(swap.calls, 0);
  EXPECT_TRUE(std::ranges::equal(out.bytes(), std::span(value).subspan(2)));
}

TEST_F(RichTextRewrite, OutlineValuesAreWalkedAsHeaderAndEntries) {
  Bytes value{0x1A, 0x00};
  Bytes header(74 + 2 * 3, 0);
  header[0] = 0x01;
  header[1] = 0x02;  // 0x0201
  header[4] = 3;
  value.insert(value.end(), header.begin(), header.end());
  for (uint16_t extra : {0, 6}) {
    Bytes entry(72 + extra, 0xEE);
    StoreU16(entry.data(), 72);
    StoreU16(entry.data() + 2, extra);
    value.insert(value.end(), entry.begin(), entry.end());
  }
  std::unique_ptr<CKVXItemComposite> composite;
  // Bytes that are not a whole entry would be dropped on writing back.
  Bytes trailing = value;
  trailing.insert(trailing.end(), {1, 2, 3, 4});
  EXPECT_EQ(CKVXItemComposite::FromValue(trailing, composite), kErrBadCompositeRecord);
  ASSERT_EQ(CKVXItemComposite::FromValue(value, composite), kNoError);
  ASSERT_EQ(composite->records().size(), 3u);
  EXPECT_EQ(composite->records()[0]->Signature(), 0x50);
  EXPECT_EQ(composite->records()[0]->Length(), 80);
  EXPECT_EQ(composite->records()[2]->Signature(), 0x51);
  EXPECT_EQ(composite->records()[2]->Length(), 78);
}

TEST_F(RichTextRewrite, RecordEndingAtTheSegmentLimitStaysInItsSegment) {
  for (size_t second : {32702u, 32704u}) {
    const Bytes value = kit::CompositeValue(
        kTypeCompositeData, {kit::WordRecord(0xFF85, Bytes(32702 - 4, 'a')), kit::WordRecord(0xFF85, Bytes(second - 4, 'b'))});
    std::unique_ptr<CKVXItemComposite> composite;
    ASSERT_EQ(CKVXItemComposite::FromValue(value, composite), kNoError);
    RecordBuffer segment;
    std::unique_ptr<RewriteCursor> cursor;
    ASSERT_EQ(composite->Rewrite({}, segment, cursor), kNoError);
    if (second == 32702) {
      EXPECT_EQ(segment.length(), RecordBuffer::kSegmentSize);
      EXPECT_FALSE(cursor) << "both records fill exactly one segment";
      continue;
    }
    EXPECT_EQ(segment.length(), 32702u);
    ASSERT_TRUE(cursor);
    segment.Clear();
    ASSERT_EQ(composite->Rewrite({}, segment, cursor), kNoError);
    EXPECT_EQ(segment.length(), 32704u) << "the record that did not fit opens the next segment";
    EXPECT_FALSE(cursor);
  }
}

TEST_F(RichTextRewrite, TransientEntriesAreDroppedAtTheEnd) {
  AddInstance(kit::CompositeValue(kTypeCompositeData, {kit::Paragraph()}));
  CodeLocation location;
  location.Push(30, "kept");
  location.Replace(20, "Home");
  CodeSwap keep;
  ASSERT_EQ(Rewrite(keep, &location), kNoError);
  EXPECT_EQ(location.depth(), 1u);
}

}  // namespace
}  // namespace quillet
