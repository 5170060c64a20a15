// The client note-open fixture and its design-note builders.
#include "instrument/note_open_fixture.h"

#include <cctype>
#include <functional>

#include "config/notes_services.h"
#include "sim/client/timer_natives.h"
#include "timing/profile_data.h"

namespace quillet::testing {
namespace {

constexpr uint16_t kViewMapLayoutType = 0x0013;
constexpr uint16_t kButton = 3;
constexpr uint16_t kHotRegion = 2;
constexpr uint32_t kScriptHotspot = 0x100;
constexpr uint16_t kScriptAction = 5;
constexpr uint16_t kClickAction = 0xFFBA;
constexpr uint16_t kActionFormula = 1;  // action-bar action types
constexpr uint16_t kActionScript = 2;

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

kit::Bytes Text(std::string_view text) { return kit::Bytes(text.begin(), text.end()); }

}  // namespace

sim::NoteFile FormNote(std::string_view title, std::string_view buttonSource, std::string_view hotspotSource) {
  sim::NoteFile note = kit::DesignNote(kNoteClassForm, title, "");
  note.items.push_back(CompositeItem("$Body", kTypeCompositeData,
                         {kit::Paragraph(), kit::TextRun("Order form"),
                          kit::Hotspot(kButton, kScriptHotspot, Text("Sub Click")),
                          kit::LsObjectRecord(kit::CompileScript(buttonSource)), kit::ByteRecord(0xAE, {}), kit::Paragraph(),
                          kit::Hotspot(kHotRegion, kScriptHotspot, Text("Sub Click")),
                          kit::LsObjectRecord(kit::CompileScript(hotspotSource)), kit::ByteRecord(0xAE, {})}));
  return note;
}

std::vector<kit::ActionSpec> ActionBarActions(const ActionBarSources& sources) {
  kit::ActionSpec approve{"Approve", kActionScript, Text(sources.approve), kit::TextFormula("hidden"),
                          kit::CompileScript(sources.approve)};
  kit::ActionSpec save{"Save", kActionFormula, kit::TextFormula("saved")};
  kit::ActionSpec archive{"Archive", kActionScript, Text(sources.archive), {}, kit::CompileScript(sources.archive)};
  return {approve, save, archive};
}

sim::NoteFile FormWithActionBar(std::string_view title, std::string_view buttonSource, const ActionBarSources& sources) {
  sim::NoteFile note = kit::DesignNote(kNoteClassForm, title, "");
  note.items.push_back(CompositeItem("$Body", kTypeCompositeData,
                                     {kit::Paragraph(), kit::Hotspot(kButton, kScriptHotspot, Text("Sub Click")),
                                      kit::LsObjectRecord(kit::CompileScript(buttonSource)), kit::ByteRecord(0xAE, {})}));
  note.items.push_back(CompositeItem("$ACTIONS", kTypeCompositeData, kit::ActionBar(ActionBarActions(sources))));
  return note;
}

sim::NoteFile NavigatorNote(std::string_view title, std::string_view shape, std::string_view source) {
  sim::NoteFile note = kit::DesignNote(kNoteClassView, title, "G");
  note.items.push_back(CompositeItem("$ViewMapLayout", kViewMapLayoutType,
                         {kit::ByteRecord(0xAF, {8, 0, 0, 0}), kit::Rectangle(shape),
                          kit::ClickAction(kClickAction, kScriptAction, Text("Sub Click"), kit::CompileScript(source))}));
  return note;
}

void NoteOpenTest::SetUp() {
  HookTest::SetUp();
  ASSERT_EQ(sim->CreateDatabase(kWatchedDb), kNoError);
  ASSERT_EQ(sim->CreateDatabase("apps/other.nsf"), kNoError);
  StartClient();
  ASSERT_NE(gProfilerApp, nullptr);
  Perform("ENABLE,1,1,3");
  Perform(std::string("SETFILTER,") + kWatchedDb);
  ProfileRef profile = Profile();
  ASSERT_NE(profile, nullptr);
  ASSERT_TRUE(profile->Collecting);
  ASSERT_TRUE(profile->IsWatchedDatabase(kWatchedDb));
}

NoteId NoteOpenTest::Store(const sim::NoteFile& note, const char* db) {
  NoteId id = 0;
  EXPECT_EQ(sim::ImportNote(sim.host(), db, note, id), kNoError);
  return id;
}

NoteHandle NoteOpenTest::OpenPlain(NoteId id, const char* db) {
  DbHandle handle;
  EXPECT_EQ(sim->DbOpen(db, handle), kNoError);
  NoteHandle note;
  EXPECT_EQ(sim->NoteOpen(handle, id, 0, note), kNoError);
  return note;
}

NoteHandle NoteOpenTest::OpenThroughHook(NoteId id, const char* db) {
  const NoteHandle note = OpenPlain(id, db);
  std::string path;
  EXPECT_EQ(sim->DbCanonicalPath(sim->NoteDatabase(note), path), kNoError);
  ProfileRef profile = Profile();
  if (profile && profile->IsWatchedDatabase(path)) {
    gProfilerApp->InstrumentNote(note, 0);
    EXPECT_EQ(ResignNote(note), kNoError);
  }
  return note;
}

ProfileRef NoteOpenTest::Profile() { return gProfilerApp->CurrentProfile(); }

RunOptions NoteOpenTest::Timed(std::string entry) {
  RunOptions options;
  options.entry = std::move(entry);
  sim::AddTimerEntries(options);
  return options;
}

std::vector<ItemInfo> NoteOpenTest::Items(NoteHandle note) {
  std::vector<ItemInfo> items;
  EXPECT_EQ(sim->ItemScan(note, [&](const ItemInfo& item) -> STATUS {
    items.push_back(item);
    return kNoError;
  }), kNoError);
  return items;
}

namespace {

using ProcedureTable = std::map<ProcedureKey, std::unique_ptr<ProcedureInfo>>;

std::string NameOf(const ProcedureTable& procedures, const CallRecord& record) {
  auto it = procedures.find({record.Key, record.ProcedureId});
  return it == procedures.end() ? "?" : Upper(it->second->FullName);
}

void Walk(const CallRecord* first, const std::function<void(const CallRecord&)>& visit) {
  for (const CallRecord* r = first; r != nullptr; r = r->NextSibling) {
    visit(*r);
    Walk(r->FirstChild, visit);
  }
}

}  // namespace

std::map<std::string, int> NoteOpenTest::Calls() {
  std::map<std::string, int> calls;
  platform::LockHolder hold(gProfilerApp->Lock());
  ProfileRef profile = Profile();
  Walk(profile->Data.FirstRoot(), [&](const CallRecord& r) { ++calls[NameOf(profile->Data.Procedures(), r)]; });
  return calls;
}

std::map<std::string, int> NoteOpenTest::LineHits() {
  std::map<std::string, int> hits;
  platform::LockHolder hold(gProfilerApp->Lock());
  ProfileRef profile = Profile();
  Walk(profile->Data.FirstRoot(), [&](const CallRecord& r) {
    int& n = hits[NameOf(profile->Data.Procedures(), r)];
    for (const LineEntry& line : r.Lines()) n += line.Count;
  });
  return hits;
}

std::vector<std::string> NoteOpenTest::Registered() {
  std::vector<std::string> names;
  platform::LockHolder hold(gProfilerApp->Lock());
  for (const auto& [key, info] : Profile()->Data.Procedures()) names.push_back(Upper(info->FullName));
  return names;
}

}  // namespace quillet::testing
