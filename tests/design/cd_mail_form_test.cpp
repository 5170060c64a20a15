// Tests of the agent records whose pieces hang on flags or nest: send mail
// and newsletter actions (text or formula fields), by-form actions and query
// terms (field blocks with text-list values), and the uses-form term. Each
// comes out as stored when nothing changes, with every length fixed when a
// piece grows, names its place, and is refused when a length runs past it.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "design/code_location.h"
#include "design/design_messages.h"
#include "design/item_types.h"
#include "sim/scoped_sim_host.h"
#include "support/composite_rewrite.h"
#include "support/design_items_builder.h"
#include "support/piece_callbacks.h"
#include "util/bytes.h"

namespace quillet {
namespace {

using kit::Bytes;

constexpr size_t kTypeWord = 2;
constexpr size_t kActionHeader = 2;  // the 0x81 record before every action
constexpr size_t kQueryHeader = 6;

class CdMailForm : public ::testing::Test {
 protected:
  // `record` as the only record of an item of `type` after its header.
  static Bytes Item(uint16_t type, const Bytes& record) {
    const Bytes header = type == kTypeQuery ? kit::ByteRecord(0x81, {0, 0, 0, 0}) : kit::ByteRecord(0x81, {});
    return kit::CompositeValue(type, {header, record});
  }
  static Bytes Rewrite(const Bytes& value, const RewriteArgs& args, Status32 expected = kNoError) {
    Bytes result = {value[0], value[1]};
    const Bytes records = kit::RewriteRecords(value, args, expected);
    result.insert(result.end(), records.begin(), records.end());
    return result;
  }
  // The offset of the record after the item's header.
  static size_t RecordAt(uint16_t type) { return kTypeWord + (type == kTypeQuery ? kQueryHeader : kActionHeader); }

  sim::ScopedSimHost host_;
};

TEST_F(CdMailForm, SendMailFieldsAreTextOrFormulaByFlags) {
  kit::MailSpec mail{{"Alice"}, {"", kit::TextFormula("Managers")}, {"ab"}, {"", kit::TextFormula("Weekly")},
                     {"See the report."}};
  const Bytes value = Item(kTypeAction, kit::SendMailRecord(mail));
  EXPECT_EQ(Rewrite(value, {}), value);

  CodeLocation location;
  kit::PlaceRecorder grow;
  grow.replacements = {{"Alice", "Alice B"}, {"Managers", "All managers"}, {"ab", "abc"}, {"Weekly", "Week"}};
  kit::MailSpec grown{{"Alice B"}, {"", kit::TextFormula("All managers")}, {"abc"}, {"", kit::TextFormula("Week")},
                      {"See the report."}};
  EXPECT_EQ(Rewrite(value, grow.Args(location)), Item(kTypeAction, kit::SendMailRecord(grown)));
  EXPECT_EQ(grow.seen, (std::vector<std::string>{"Alice", "Managers", "ab", "Weekly", "See the report."}))
      << "each text without its terminator, in stored order";
  EXPECT_EQ(grow.places, std::vector<std::string>(5, "Simple Action\\Send Mail"));
  EXPECT_EQ(location.Render(), "Simple Action") << "the pushed entry is popped";
}

TEST_F(CdMailForm, SendMailKeepsTheStoredEndingOfAFieldItDoesNotChange) {
  Bytes record = kit::SendMailRecord({{"To"}, {}, {}, {}, {"Body"}});
  // "To" stored with two extra NULs: the ending is kept while the text keeps
  // its length.
  Bytes odd = record;
  const size_t toAt = 18;
  odd.insert(odd.begin() + toAt + 4, {0, 0});
  StoreU16(odd.data() + 8, 6);
  StoreU16(odd.data() + 2, static_cast<uint16_t>(odd.size()));
  const Bytes value = Item(kTypeAction, odd);
  kit::PieceReplacer same;
  same.replacements = {{"To", "Tx"}};
  const Bytes out = Rewrite(value, same.Args());
  EXPECT_EQ(out.size(), value.size());
  EXPECT_EQ(LoadU16(out.data() + RecordAt(kTypeAction) + 8), 6);
}

TEST_F(CdMailForm, NewsletterViewAndPackedFields) {
  kit::MailSpec mail{{"Team"}, {}, {}, {"", kit::TextFormula("News")}, {"Today"}, "By Date"};
  const Bytes value = Item(kTypeAction, kit::NewsLetterRecord(mail));
  EXPECT_EQ(Rewrite(value, {}), value);

  CodeLocation location;
  kit::PlaceRecorder grow;
  grow.replacements = {{"By Date", "By Category"}, {"News", "Newsletter"}, {"Today", "Today's news"}};
  kit::MailSpec grown{{"Team"}, {}, {}, {"", kit::TextFormula("Newsletter")}, {"Today's news"}, "By Category"};
  EXPECT_EQ(Rewrite(value, grow.Args(location)), Item(kTypeAction, kit::NewsLetterRecord(grown)));
  EXPECT_EQ(grow.seen, (std::vector<std::string>{"By Date", "Team", "", "", "News", "Today"}));
  EXPECT_EQ(grow.places.front(), "Simple Action\\Newsletter");
}

TEST_F(CdMailForm, ByFormActionAndQueryRewriteNamesAndValues) {
  const std::vector<kit::FieldValues> fields = {{"Status", {"Open", "New"}}, {"Owner", {"me"}}};
  const Bytes action = Item(kTypeAction, kit::ByFormRecord(0xFF89, "Task", fields));
  const Bytes query = Item(kTypeQuery, kit::ByFormRecord(0xFF87, "Task", fields));
  EXPECT_EQ(Rewrite(action, {}), action);
  EXPECT_EQ(Rewrite(query, {}), query);

  const std::vector<kit::FieldValues> grownFields = {{"Status", {"Opened", "New"}}, {"TaskOwner", {"me"}}};
  for (const auto& [value, signature, type, place] :
       {std::tuple{action, 0xFF89, kTypeAction, "Simple Action\\Modify field by form"},
        std::tuple{query, 0xFF87, kTypeQuery, "Query\\By Form"}}) {
    CodeLocation location;
    kit::PlaceRecorder grow;
    grow.replacements = {{"Open", "Opened"}, {"Owner", "TaskOwner"}, {"Task", "Tasks"}};
    EXPECT_EQ(Rewrite(value, grow.Args(location)),
              Item(type, kit::ByFormRecord(static_cast<uint16_t>(signature), "Tasks", grownFields)));
    EXPECT_EQ(grow.seen, (std::vector<std::string>{"Status", "Open", "New", "Owner", "me", "Task"}));
    EXPECT_EQ(grow.places.front(), place);
  }
}

TEST_F(CdMailForm, UsesFormListsItsForms) {
  const Bytes value = Item(kTypeQuery, kit::UsesFormRecord({"Memo", "Reply"}));
  EXPECT_EQ(Rewrite(value, {}), value);
  CodeLocation location;
  kit::PlaceRecorder grow;
  grow.replacements = {{"Memo", "Memorandum"}};
  EXPECT_EQ(Rewrite(value, grow.Args(location)), Item(kTypeQuery, kit::UsesFormRecord({"Memorandum", "Reply"})));
  EXPECT_EQ(grow.places, std::vector<std::string>(2, "Query\\By Form Used\\Form Name"));

  // A list whose lengths run past the record holds nothing that can be
  // told apart: it is copied as it is.
  Bytes odd = kit::UsesFormRecord({"Memo"});
  StoreU16(odd.data() + 10, 40);
  const Bytes oddValue = Item(kTypeQuery, odd);
  kit::PieceReplacer all;
  all.replacements = {{"Memo", "Memorandum"}};
  EXPECT_EQ(Rewrite(oddValue, all.Args()), oddValue);
  EXPECT_TRUE(all.seen.empty());
}

TEST_F(CdMailForm, LengthsPastTheRecordAreRefused) {
  const size_t act = 0, qry = 1;
  struct Case {
    size_t item;
    Bytes record;
    size_t at;  // of the 16-bit length made too large
  };
  const std::vector<kit::FieldValues> fields = {{"Status", {"Open"}}};
  const std::vector<Case> cases = {
      {act, kit::SendMailRecord({{"To"}, {}, {}, {}, {"Body"}}), 16},      // the body
      {act, kit::NewsLetterRecord({{"To"}, {}, {}, {}, {"B"}, "V"}), 12},  // the view name
      {act, kit::NewsLetterRecord({{"To"}, {}, {}, {}, {"B"}, "V"}), 24},  // the body
      {act, kit::ByFormRecord(0xFF89, "Task", fields), 8},                 // the field count
      {act, kit::ByFormRecord(0xFF89, "Task", fields), 10},                // the form name
      {qry, kit::ByFormRecord(0xFF87, "Task", fields), 12},                // a block's total length
      {qry, kit::ByFormRecord(0xFF87, "Task", fields), 16},                // a block's name
      {qry, kit::ByFormRecord(0xFF87, "Task", fields), 18},                // a block's value
  };
  for (const Case& c : cases) {
    Bytes bad = c.record;
    StoreU16(bad.data() + c.at, 0x0400);
    SCOPED_TRACE(c.at);
    Rewrite(Item(c.item == act ? kTypeAction : kTypeQuery, bad), {}, kErrBadCompositeRecord);
  }
  Bytes shortBlock = kit::ByFormRecord(0xFF87, "Task", fields);
  StoreU16(shortBlock.data() + 12, 4);  // a block shorter than its fixed part
  Rewrite(Item(kTypeQuery, shortBlock), {}, kErrBadCompositeRecord);
}

}  // namespace
}  // namespace quillet
