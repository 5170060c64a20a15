// The rich-text rewrite over values read in place: the same segments as a
// rewrite of a copy of the stored bytes, no view left held afterwards (the
// note can change and close), and segment buffers reused per thread.
#include <gtest/gtest.h>

#include <vector>

#include "design/item_composite.h"
#include "design/item_reader.h"
#include "design/segment_pool.h"
#include "sim/scoped_sim_host.h"
#include "support/rich_text_builder.h"
#include "util/bytes.h"

namespace quillet {
namespace {

using kit::Bytes;

Status32 Grow(PieceKind, std::span<const uint8_t> piece, uint32_t, RecordBuffer& out, CodeLocation*, void* user) {
  if (user != nullptr) return *static_cast<Status32*>(user);
  if (Status32 status = out.Append(piece)) return status;
  return out.AppendZeros(301);  // longer and odd: lengths and padding change
}

class RichTextInPlace : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sim_->CreateDatabase("design.nsf"), kNoError);
    ASSERT_EQ(sim_->DbOpen("design.nsf", db_), kNoError);
    ASSERT_EQ(sim_->NoteCreate(db_, note_), kNoError);
    std::vector<Bytes> records;
    for (int i = 0; i < 80; ++i) {
      records.push_back(kit::Paragraph());
      records.push_back(kit::TextRun(std::string(700 + i, static_cast<char>('a' + i % 26))));
      records.push_back(kit::LsObjectRecord(kit::CompiledModule("S" + std::to_string(i), 1 + i % 3)));
    }
    stored_ = kit::CompositeSegments(kTypeCompositeData, records, 30000);
    for (const Bytes& segment : stored_) {
      ASSERT_EQ(sim_->ItemAppend(note_, kItemSigned, "$Body", kTypeCompositeData, std::span(segment).subspan(2)),
                kNoError);
    }
  }
  // The segments a rewrite of copies of the stored values gives: every
  // instance's records, read from one copied value, emitted segment-wise.
  std::vector<Bytes> RewrittenCopies() {
    Bytes joined{0x01, 0x00};
    for (const Bytes& segment : stored_) joined.insert(joined.end(), segment.begin() + 2, segment.end());
    std::unique_ptr<CKVXItemComposite> composite;
    EXPECT_EQ(CKVXItemComposite::FromValue(joined, composite), kNoError);
    std::vector<Bytes> segments;
    if (!composite) return segments;
    const RewriteArgs args{kRewriteObjectCode, nullptr, &Grow, nullptr};
    std::unique_ptr<RewriteCursor> cursor;
    do {
      RecordBuffer out;
      EXPECT_EQ(composite->Rewrite(args, out, cursor), kNoError);
      Bytes segment{0x01, 0x00};
      segment.insert(segment.end(), out.bytes().begin(), out.bytes().end());
      segments.push_back(std::move(segment));
    } while (cursor);
    return segments;
  }
  std::vector<Bytes> Instances() {
    std::vector<Bytes> values;
    ItemInfo info;
    for (STATUS status = sim_->ItemFind(note_, "$Body", info); status == kNoError;
         status = sim_->ItemFindNext(note_, info.item, info)) {
      values.push_back(info.value);
    }
    return values;
  }

  sim::ScopedSimHost sim_;
  DbHandle db_;
  NoteHandle note_;
  std::vector<Bytes> stored_;
};

TEST_F(RichTextInPlace, GivesTheSegmentsARewriteOfCopiesGives) {
  ASSERT_GE(stored_.size(), 4u);
  const std::vector<Bytes> expected = RewrittenCopies();
  ASSERT_GE(expected.size(), 2u);
  ASSERT_EQ(RewriteRichTextItem(note_, "$Body", nullptr, &Grow, nullptr), kNoError);
  EXPECT_EQ(Instances(), expected);
  // Rewritten again, from the segments it wrote (and into reused buffers
  // and reused host memory): the code grows once more, nothing else moves.
  ASSERT_EQ(RewriteRichTextItem(note_, "$Body", nullptr, &Grow, nullptr), kNoError);
  const std::vector<Bytes> twice = Instances();
  size_t before = 0;
  size_t after = 0;
  for (const Bytes& value : expected) before += value.size() - 2;
  for (const Bytes& value : twice) after += value.size() - 2;
  EXPECT_GT(after, before + 80 * 301);
  // No view of the note is left: it changes and closes.
  EXPECT_EQ(sim_->ItemAppend(note_, 0, "After", kTypeText, Bytes{'x'}), kNoError);
  EXPECT_EQ(sim_->NoteUpdate(note_, 0), kNoError);
  EXPECT_EQ(sim_->NoteClose(note_), kNoError);
}

TEST_F(RichTextInPlace, AFailedRewriteLeavesTheItemAndNoViewBehind) {
  Status32 refuse = 0x4321;
  EXPECT_EQ(RewriteRichTextItem(note_, "$Body", nullptr, &Grow, &refuse), 0x4321u);
  EXPECT_EQ(Instances(), stored_);
  EXPECT_EQ(sim_->ItemDelete(note_, "$Body"), kNoError);
  EXPECT_EQ(sim_->NoteClose(note_), kNoError);
}

// The host refuses the second segment: the first, already appended, is
// taken away again and the stored instances stay as they were, in order.
TEST_F(RichTextInPlace, AFailedAppendLeavesTheStoredInstances) {
  sim_->FailNext("ItemAppend", kNoError);
  sim_->FailNext("ItemAppend", kErrBufferTooSmall);  // the note cannot grow
  EXPECT_EQ(RewriteRichTextItem(note_, "$Body", nullptr, &Grow, nullptr), kErrBufferTooSmall);
  EXPECT_EQ(Instances(), stored_);
  // The note is whole: the rewrite goes through once the host accepts it.
  ASSERT_EQ(RewriteRichTextItem(note_, "$Body", nullptr, &Grow, nullptr), kNoError);
  EXPECT_EQ(Instances(), RewrittenCopies());
}

TEST_F(RichTextInPlace, AReaderHoldsTheNoteUntilItGoes) {
  {
    CKVXItemReader reader;
    ASSERT_EQ(reader.Open(note_, "$Body", kReadPlaceholder), kNoError);
    EXPECT_EQ(sim_->ItemDelete(note_, "$Body"), kErrValuesHeld) << "its records show the stored bytes";
  }
  EXPECT_EQ(sim_->ItemDelete(note_, "$Body"), kNoError);
}

TEST(SegmentPool, BuffersComeBackEmptyAndAreBounded) {
  while (SegmentPool::Kept() > 0) SegmentPool::Take();
  std::unique_ptr<RecordBuffer> buffer = SegmentPool::Take();
  ASSERT_TRUE(buffer);
  ASSERT_EQ(buffer->Append(Bytes(100, 7)), kNoError);
  const RecordBuffer* address = buffer.get();
  SegmentPool::Give(std::move(buffer));
  EXPECT_EQ(SegmentPool::Kept(), 1u);
  std::unique_ptr<RecordBuffer> again = SegmentPool::Take();
  EXPECT_EQ(again.get(), address);
  EXPECT_EQ(again->length(), 0u);
  EXPECT_EQ(again->capacity(), RecordBuffer::kSegmentSize);
  // Only buffers of a segment's size are kept, and only so many.
  SegmentPool::Give(std::make_unique<RecordBuffer>(64, 64, 1024));
  EXPECT_EQ(SegmentPool::Kept(), 0u);
  for (size_t i = 0; i < SegmentPool::kKeptSegments + 3; ++i) SegmentPool::Give(std::make_unique<RecordBuffer>());
  EXPECT_EQ(SegmentPool::Kept(), SegmentPool::kKeptSegments);
  while (SegmentPool::Kept() > 0) SegmentPool::Take();
}

}  // namespace
}  // namespace quillet
