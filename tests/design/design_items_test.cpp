// Whole design items built in their stored form: read back record by record
// by the host, rewritten byte for byte when nothing changes, and with their
// object code replaced by longer modules in a button, a hot region, an
// action-bar action and a navigator action.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "design/code_location.h"
#include "design/design_messages.h"
#include "design/item_reader.h"
#include "design/item_types.h"
#include "lsobject/ls_script_module.h"
#include "sim/scoped_sim_host.h"
#include "support/design_items_builder.h"
#include "support/formula_builder.h"
#include "util/bytes.h"

namespace quillet {
namespace {

using kit::Bytes;

// Replaces every object-code piece by `replacement` (keeps it when empty)
// and records where each one sat.
struct CodeSwap {
  Bytes replacement;
  std::vector<std::string> places;
  std::vector<size_t> sizes;
  static Status32 Callback(PieceKind kind, std::span<const uint8_t> piece, uint32_t, RecordBuffer& out,
                           CodeLocation* location, void* user) {
    auto& self = *static_cast<CodeSwap*>(user);
    EXPECT_EQ(kind, PieceKind::ObjectCode);
    self.places.push_back(location != nullptr ? location->Render() : "");
    self.sizes.push_back(piece.size());
    return out.Append(self.replacement.empty() ? piece : std::span<const uint8_t>(self.replacement));
  }
};

class DesignItems : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sim_->CreateDatabase("design.nsf"), kNoError);
    ASSERT_EQ(sim_->DbOpen("design.nsf", db_), kNoError);
    ASSERT_EQ(sim_->NoteCreate(db_, note_), kNoError);
  }
  void Add(std::string_view name, const Bytes& value) {
    ASSERT_EQ(sim_->ItemAppend(note_, 0, name, LoadU16(value.data()), std::span(value).subspan(2)), kNoError);
  }
  std::vector<Bytes> Instances(std::string_view name) {
    std::vector<Bytes> values;
    ItemInfo info;
    for (STATUS status = sim_->ItemFind(note_, name, info); status == kNoError;
         status = sim_->ItemFindNext(note_, info.item, info)) {
      values.push_back(info.value);
    }
    return values;
  }
  // The records of every instance of `name`, as the host enumerates them.
  std::vector<Bytes> Records(std::string_view name) {
    std::vector<Bytes> records;
    for (Bytes value : Instances(name)) {
      StoreU16(value.data(), kTypeCompositeData);
      EXPECT_EQ(sim_->EnumerateCompositeRecords(value, [&](uint16_t, std::span<const uint8_t> record) -> STATUS {
        records.emplace_back(record.begin(), record.end());
        return kNoError;
      }), kNoError);
    }
    return records;
  }
  Status32 Rewrite(std::string_view name, CodeSwap& swap) {
    CodeLocation location;
    return RewriteRichTextItem(note_, name, &location, &CodeSwap::Callback, &swap);
  }
  // The record after the one whose signature word is `signature`.
  static const Bytes* After(const std::vector<Bytes>& records, uint16_t signature) {
    for (size_t i = 0; i + 1 < records.size(); ++i) {
      if (LoadU16(records[i].data()) == signature) return &records[i + 1];
    }
    return nullptr;
  }
  // Checks a rewritten object-code record: lengths fixed, code replaced and
  // still a module the reader accepts.
  static void ExpectObjectRecord(const Bytes& record, const Bytes& code) {
    ASSERT_GE(record.size(), 12u);
    EXPECT_EQ(LoadU16(record.data()), 0xFFB1);
    EXPECT_EQ(LoadU16(record.data() + 2), record.size());
    EXPECT_EQ(LoadU32(record.data() + 4), code.size());
    EXPECT_EQ(Bytes(record.begin() + 12, record.end()), code);
    CLSScriptModule parsed;
    EXPECT_TRUE(parsed.Parse(std::span(record).subspan(12)));
  }

  sim::ScopedSimHost sim_;
  DbHandle db_;
  NoteHandle note_;
};

std::vector<kit::ActionSpec> SomeActions() {
  kit::ActionSpec approve{"Approve", 2, {}, kit::TextFormula("hide"), kit::CompiledModule("Approve", 3)};
  const std::string source = kit::ScriptSource("Approve");
  approve.body.assign(source.begin(), source.end());
  kit::ActionSpec save{"Save", 1, kit::TextFormula("saved")};
  kit::ActionSpec run{"Run", 3, kit::RunAgentStream("Nightly")};
  return {approve, save, run};
}

TEST_F(DesignItems, EveryBuiltItemRewritesByteForByte) {
  const Bytes module = kit::CompiledModule("Click", 4);
  struct Item {
    std::string name;
    Bytes value;
  };
  const std::vector<Item> items = {
      {"$Body", kit::CompositeValue(kTypeCompositeData, kit::FormBody(module, kit::CompiledModule("Details", 2)))},
      {"$ACTIONS", kit::CompositeValue(kTypeCompositeData, kit::ActionBar(SomeActions()))},
      {"$AssistQuery", kit::CompositeValue(kTypeQuery, kit::AssistQuery({"invoice", "overdue"}))},
      {"$AssistAction", kit::CompositeValue(kTypeAction, kit::AssistActionFormula(kit::TextFormula("x")))},
      {"$AssistActionScript", kit::CompositeValue(kTypeAction, kit::AssistActionScript(kit::ScriptSource("Go")))},
      {"$ViewMapLayout",
       kit::CompositeValue(kTypeViewMapLayout, kit::NavigatorLayout("Home", kit::ScriptSource("Nav"), module))},
  };
  for (const Item& item : items) Add(item.name, item.value);
  for (const Item& item : items) {
    CodeSwap keep;
    const Status32 status = Rewrite(item.name, keep);
    EXPECT_TRUE(status == kNoError || status == kStatusNothingToWrite) << item.name;
    EXPECT_EQ(Instances(item.name), std::vector<Bytes>{item.value}) << item.name;
  }
}

TEST_F(DesignItems, FormButtonAndHotRegionTakeLongerCode) {
  const Bytes button = kit::CompiledModule("Click", 2);
  const Bytes region = kit::CompiledModule("Details", 3);
  const std::vector<Bytes> body = kit::FormBody(button, region);
  Add("$Body", kit::CompositeValue(kTypeCompositeData, body));
  CodeSwap swap;
  swap.replacement = kit::CompiledModule("Click", 60);
  ASSERT_EQ(Rewrite("$Body", swap), kNoError);
  EXPECT_EQ(swap.sizes, (std::vector<size_t>{button.size(), region.size()}));
  EXPECT_EQ(swap.places, (std::vector<std::string>{"Button\\Script", "Hotspot\\Script"}));

  const std::vector<Bytes> records = Records("$Body");
  ASSERT_EQ(records.size(), body.size());
  for (size_t i = 0; i < body.size(); ++i) {
    if (LoadU16(body[i].data()) == 0xFFB1) ExpectObjectRecord(records[i], swap.replacement);
    else EXPECT_EQ(records[i], body[i]) << "record " << i;
  }
}

TEST_F(DesignItems, ActionBarScriptActionTakesLongerCode) {
  const std::vector<kit::ActionSpec> actions = SomeActions();
  Add("$ACTIONS", kit::CompositeValue(kTypeCompositeData, kit::ActionBar(actions)));
  CodeSwap swap;
  swap.replacement = kit::CompiledModule("Approve", 50);
  ASSERT_EQ(Rewrite("$ACTIONS", swap), kNoError);
  EXPECT_EQ(swap.places, std::vector<std::string>{"Action 'Approve'\\Script"});

  const std::vector<Bytes> records = Records("$ACTIONS");
  ASSERT_EQ(records.size(), 6u);
  EXPECT_EQ(records[2], kit::ActionRecord(actions[0]));
  ExpectObjectRecord(records[3], swap.replacement);
  EXPECT_EQ(records[4], kit::ActionRecord(actions[1]));
  EXPECT_EQ(records[5], kit::ActionRecord(actions[2]));
}

TEST_F(DesignItems, NavigatorActionTakesLongerCode) {
  const Bytes module = kit::CompiledModule("Nav", 2);
  const std::string source = kit::ScriptSource("Nav");
  Add("$ViewMapLayout", kit::CompositeValue(kTypeViewMapLayout, kit::NavigatorLayout("Home", source, module)));
  CodeSwap swap;
  swap.replacement = kit::CompiledModule("Nav", 45);
  ASSERT_EQ(Rewrite("$ViewMapLayout", swap), kNoError);
  EXPECT_EQ(swap.places, std::vector<std::string>{"Rectangle 'Home'\\Script"});
  const std::vector<Bytes> expected =
      kit::NavigatorLayout("Home", source, swap.replacement);
  EXPECT_EQ(Instances("$ViewMapLayout"), std::vector<Bytes>{kit::CompositeValue(kTypeViewMapLayout, expected)});
}

TEST_F(DesignItems, BodyOverSeveralInstancesIsResegmentedAroundLongerCode) {
  std::vector<Bytes> body;
  for (int i = 0; i < 90; ++i) body.push_back(kit::TextRun(std::string(1500, static_cast<char>('a' + i % 26))));
  const Bytes button = kit::CompiledModule("Click", 2);
  for (Bytes& record : kit::FormBody(button, button)) body.push_back(std::move(record));
  for (int i = 0; i < 40; ++i) body.push_back(kit::TextRun(std::string(1200, 'z')));
  const std::vector<Bytes> instances = kit::CompositeSegments(kTypeCompositeData, body, 40000);
  ASSERT_GE(instances.size(), 4u);
  for (const Bytes& instance : instances) Add("$Body", instance);

  CodeSwap swap;
  swap.replacement = kit::CompiledModule("Click", 400);  // several kilobytes longer
  ASSERT_EQ(Rewrite("$Body", swap), kNoError);
  EXPECT_EQ(swap.places, (std::vector<std::string>{"Button\\Script", "Hotspot\\Script"}));
  // Fresh segments of at most 65404 bytes, each cut only where the next
  // record would not have fitted.
  const std::vector<Bytes> segments = Instances("$Body");
  EXPECT_LT(segments.size(), instances.size());
  for (size_t i = 0; i < segments.size(); ++i) {
    EXPECT_LE(segments[i].size(), 65404u);
    if (i + 1 == segments.size()) break;
    Bytes next = segments[i + 1];
    StoreU16(next.data(), kTypeCompositeData);
    size_t firstLength = 0;
    ASSERT_EQ(sim_->EnumerateCompositeRecords(next, [&](uint16_t, std::span<const uint8_t> record) -> STATUS {
      if (firstLength == 0) firstLength = record.size() + record.size() % 2;
      return kNoError;
    }), kNoError);
    EXPECT_GT(segments[i].size() + firstLength, 65404u) << "segment " << i;
  }
  const std::vector<Bytes> records = Records("$Body");
  ASSERT_EQ(records.size(), body.size());
  for (size_t i = 0; i < body.size(); ++i) {
    if (LoadU16(body[i].data()) == 0xFFB1) ExpectObjectRecord(records[i], swap.replacement);
    else EXPECT_EQ(records[i], body[i]) << "record " << i;
  }
}

}  // namespace
}  // namespace quillet
