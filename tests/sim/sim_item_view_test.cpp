// Item values read in place from the simulated host: the stored bytes with
// the type word first, and a note that refuses to change while any view of
// it is held, so that no view can outlive the bytes it shows.
#include <gtest/gtest.h>

#include <vector>

#include "sim/scoped_sim_host.h"

namespace quillet::sim {
namespace {

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

class SimItemViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(host.CreateDatabase("design.nsf"), kNoError);
    ASSERT_EQ(host.DbOpen("design.nsf", db), kNoError);
    ASSERT_EQ(host.NoteCreate(db, note), kNoError);
    ASSERT_EQ(host.ItemAppend(note, kItemSigned, "$Body", kTypeCompositeData, Bytes("one")), kNoError);
    ASSERT_EQ(host.ItemAppend(note, 0, "Other", kTypeText, Bytes("x")), kNoError);
    ASSERT_EQ(host.ItemAppend(note, kItemSummary, "$BODY", kTypeCompositeData, Bytes("two!")), kNoError);
  }
  // Every change a view forbids, each answering `expected`.
  void ExpectChanges(STATUS expected) {
    EXPECT_EQ(host.ItemAppend(note, 0, "New", kTypeText, Bytes("n")), expected);
    EXPECT_EQ(host.ItemSetText(note, "Other", "y"), expected);
    EXPECT_EQ(host.ItemSetNumber(note, "Other", 1.0), expected);
    EXPECT_EQ(host.ItemSetTime(note, "Other", TimeDate{{1, 2}}), expected);
    EXPECT_EQ(host.ItemDelete(note, "Other"), expected);
    EXPECT_EQ(host.NoteUpdate(note, 0), expected);
  }

  ScopedSimHost sim;
  SimHost& host = sim.host();
  DbHandle db;
  NoteHandle note;
};

TEST_F(SimItemViewTest, ViewsShowTheStoredValueWithItsTypeWordFirst) {
  ItemValueView first;
  ASSERT_EQ(host.ItemFindView(note, "$body", first), kNoError);
  EXPECT_EQ(first.flags(), kItemSigned);
  EXPECT_EQ(first.type(), kTypeCompositeData);
  EXPECT_EQ(std::vector<uint8_t>(first.value().begin(), first.value().end()),
            (std::vector<uint8_t>{0x01, 0x00, 'o', 'n', 'e'}));
  // The same bytes as a copying read gives, and the same instance.
  ItemInfo copied;
  ASSERT_EQ(host.ItemFind(note, "$Body", copied), kNoError);
  EXPECT_EQ(first.item(), copied.item);
  EXPECT_EQ(copied.value, std::vector<uint8_t>(first.value().begin(), first.value().end()));

  ItemValueView second;
  ASSERT_EQ(host.ItemFindNextView(note, first.item(), second), kNoError);
  EXPECT_EQ(second.flags(), kItemSummary);
  EXPECT_EQ(second.value().size(), 6u);
  EXPECT_EQ(host.ItemFindNextView(note, second.item(), second), kErrItemNotFound);
  EXPECT_FALSE(second.held()) << "a failed read holds nothing";
  EXPECT_EQ(host.ItemFindView(note, "Absent", second), kErrItemNotFound);
  EXPECT_EQ(host.ItemFindView(NoteHandle{9999}, "$Body", second), kErrInvalidHandle);
}

TEST_F(SimItemViewTest, TheNoteCannotChangeWhileAViewIsHeld) {
  ItemValueView view;
  ASSERT_EQ(host.ItemFindView(note, "$Body", view), kNoError);
  const std::vector<uint8_t> before(view.value().begin(), view.value().end());
  ExpectChanges(kErrValuesHeld);
  EXPECT_EQ(host.ItemDeleteById(note, view.item()), kErrValuesHeld);
  EXPECT_EQ(host.NoteClose(note), kErrValuesHeld);
  // Nothing changed: the view still shows what is stored.
  EXPECT_EQ(std::vector<uint8_t>(view.value().begin(), view.value().end()), before);
  ItemInfo other;
  ASSERT_EQ(host.ItemFind(note, "Other", other), kNoError);
  EXPECT_EQ(other.value, (std::vector<uint8_t>{0x00, 0x05, 'x'}));
  EXPECT_EQ(host.ItemFind(note, "New", other), kErrItemNotFound);
  // Reading and changing another note are not held up.
  NoteHandle second;
  ASSERT_EQ(host.NoteCreate(db, second), kNoError);
  EXPECT_EQ(host.ItemAppend(second, 0, "New", kTypeText, Bytes("n")), kNoError);
  EXPECT_EQ(host.NoteClose(second), kNoError);

  view.Release();
  EXPECT_FALSE(view.held());
  ExpectChanges(kNoError);
  EXPECT_EQ(host.NoteClose(note), kNoError);
}

TEST_F(SimItemViewTest, EveryViewMustGoAndAMovedViewIsReleasedOnce) {
  std::vector<ItemValueView> views(2);
  ASSERT_EQ(host.ItemFindView(note, "$Body", views[0]), kNoError);
  ASSERT_EQ(host.ItemFindNextView(note, views[0].item(), views[1]), kNoError);
  ItemValueView moved = std::move(views[0]);
  EXPECT_FALSE(views[0].held());
  views.clear();  // one of the two views went, the moved one is still held
  EXPECT_EQ(host.ItemAppend(note, 0, "New", kTypeText, Bytes("n")), kErrValuesHeld);
  // A new read into a held view gives up the old lock first.
  ASSERT_EQ(host.ItemFindView(note, "Other", moved), kNoError);
  EXPECT_EQ(moved.type(), kTypeText);
  EXPECT_EQ(host.ItemAppend(note, 0, "New", kTypeText, Bytes("n")), kErrValuesHeld);
  moved = ItemValueView();
  EXPECT_EQ(host.ItemAppend(note, 0, "New", kTypeText, Bytes("n")), kNoError);
}

}  // namespace
}  // namespace quillet::sim
