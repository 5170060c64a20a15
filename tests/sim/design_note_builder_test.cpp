// The simulated designer's notes: script items cut at the host's item limit,
// a large agent's code in its own item, a form's button record.
#include "sim/design_note_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <stdexcept>

#include "lsobject/script_items.h"
#include "util/bytes.h"

namespace quillet::sim {
namespace {

Bytes Pattern(size_t size) {
  Bytes bytes(size);
  std::iota(bytes.begin(), bytes.end(), uint8_t{7});
  return bytes;
}

std::vector<const SimItemSpec*> ItemsNamed(const NoteFile& note, std::string_view name) {
  std::vector<const SimItemSpec*> found;
  for (const SimItemSpec& item : note.items) {
    if (item.name == name) found.push_back(&item);
  }
  return found;
}

Bytes Joined(const std::vector<const SimItemSpec*>& items) {
  Bytes joined;
  for (const SimItemSpec* item : items) joined.insert(joined.end(), item->value.begin(), item->value.end());
  return joined;
}

TEST(DesignNoteBuilder, SavedItemsAreCutAtTheItemLimit) {
  for (const size_t size : {size_t{1}, kScriptItemLimit, kScriptItemLimit + 1, 2 * kScriptItemLimit + 7380}) {
    SCOPED_TRACE(size);
    const Bytes module = Pattern(size);
    NoteFile note;
    ASSERT_EQ(SavedDesignNote(ScriptNoteKind::kScriptLibrary, "Lib", "", module, note), kNoError);
    const auto items = ItemsNamed(note, kScriptLibraryItem);
    ASSERT_EQ(items.size(), (size + kScriptItemLimit - 1) / kScriptItemLimit);
    for (size_t i = 0; i + 1 < items.size(); ++i) EXPECT_EQ(items[i]->value.size(), kScriptItemLimit);
    EXPECT_EQ(Joined(items), module);
    EXPECT_EQ(items.front()->type, kTypeLsObject);
    EXPECT_EQ(items.front()->flags, kScriptItemFlags);
  }
}

TEST(DesignNoteBuilder, AnAgentTooLargeForItsActionKeepsItsCodeApart) {
  // The action adds its 14-byte prefix: this module just fits.
  const Bytes fits = Pattern(kScriptItemLimit - 14);
  NoteFile note = StoredAgentNote("Fits", fits);
  ASSERT_EQ(ItemsNamed(note, kAgentActionItem).size(), 1u);
  EXPECT_EQ(ItemsNamed(note, kAgentActionItem)[0]->value, ScriptAction(fits));
  EXPECT_TRUE(ItemsNamed(note, kAgentLargeScriptItem).empty());

  const Bytes large = Pattern(kScriptItemLimit - 12);
  note = StoredAgentNote("Large", large);
  const auto action = ItemsNamed(note, kAgentActionItem);
  ASSERT_EQ(action.size(), 1u);
  EXPECT_EQ(action[0]->value, Bytes(kEmptyScriptAction.begin(), kEmptyScriptAction.end()));
  const auto code = ItemsNamed(note, kAgentLargeScriptItem);
  ASSERT_EQ(code.size(), 1u);
  EXPECT_EQ(code[0]->value, large);
  EXPECT_EQ(code[0]->type, kTypeLsObject);
}

TEST(DesignNoteBuilder, ScriptActionCarriesItsLengths) {
  const Bytes action = ScriptAction(Pattern(5), 0x40);
  ASSERT_EQ(action.size(), 20u);  // 14 + 5, padded to even
  EXPECT_EQ(LoadU16(action.data()), 0x0281);
  EXPECT_EQ(LoadU16(action.data() + 4), 18u);   // the record after the 2-byte header
  EXPECT_EQ(LoadU32(action.data() + 6), 0x40u);  // action flags
  EXPECT_EQ(LoadU32(action.data() + 10), 6u);   // the padded script
}

TEST(DesignNoteBuilder, AFormHoldsTheModuleInItsButton) {
  const Bytes module = Pattern(301);
  NoteFile form;
  ASSERT_EQ(SavedDesignNote(ScriptNoteKind::kForm, "Order", "Sub Click", module, form), kNoError);
  EXPECT_EQ(form.noteClass, kNoteClassForm);
  const auto body = ItemsNamed(form, kBodyItem);
  ASSERT_EQ(body.size(), 1u);
  EXPECT_EQ(body[0]->type, kTypeCompositeData);
  // Paragraph, hotspot begin, face, then the object-code record.
  const Bytes record = LsObjectRecord(module);
  const auto at = std::search(body[0]->value.begin(), body[0]->value.end(), record.begin(), record.end());
  ASSERT_NE(at, body[0]->value.end());
  EXPECT_EQ((at - body[0]->value.begin()) % 2, 0) << "records start on even offsets";
}

TEST(DesignNoteBuilder, AFormModuleOverOneRecordIsRefused) {
  NoteFile form;
  form.noteClass = kNoteClassDocument;
  EXPECT_EQ(SavedDesignNote(ScriptNoteKind::kForm, "Big", "", Pattern(kMaxLsObjectCode + 1), form),
            kErrInvalidArgument);
  EXPECT_EQ(form.noteClass, kNoteClassDocument);
  EXPECT_TRUE(form.items.empty());
  EXPECT_EQ(SavedDesignNote(ScriptNoteKind::kForm, "Fits", "", Pattern(kMaxLsObjectCode), form), kNoError);
}

TEST(RichTextRecords, LengthsThatDoNotFitTheHeaderAreRefused) {
  EXPECT_THROW(ByteRecord(0x81, Bytes(253)), std::length_error);
  EXPECT_EQ(ByteRecord(0x81, Bytes(252)).size(), 254u);
  EXPECT_THROW(WordRecord(0xFF85, Bytes(0xFFFC)), std::length_error);
  EXPECT_EQ(LoadU16(WordRecord(0xFF85, Bytes(0xFFFB)).data() + 2), 0xFFFF);
}

}  // namespace
}  // namespace quillet::sim
