// nquillet.dll in a Notes client process under Wine: this program is built
// as nlnotes.exe beside the stand-in nnotes.dll (the simulated host behind
// the Notes C API) and nquillet.dll. It loads both as the client does,
// starts the library through MainEntryPoint, drives it through the
// controller queue, opens a form through the note-open hook so that the
// library's own Notes binding rewrites its code, runs the rewritten code
// against the timer exports and reads the report back. Windows only.
#if defined(_WIN32)

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "config/nnotes/c_api.h"
#include "config/nnotes/nnotes_binding.h"
#include "config/status.h"
#include "hook/controller_message.h"
#include "hook/hook_vector.h"
#include "hook/quillet_app.h"
#include "platform/platform.h"
#include "platform/win32/windows_seam.h"
#include "timing/report_reader.h"
#include "windows/standin_nnotes/standin_control.h"

namespace quillet {
namespace {

using namespace nnotes;
using namespace standin;

constexpr const char* kApp = "apps/orders.nsf";
constexpr const char* kForm = "Order";
constexpr const char* kButton =
    "Sub Tally\n Dim i As Integer\n For i = 1 To 3\n  Print i\n Next\nEnd Sub\n"
    "Sub Initialize\n Tally\nEnd Sub\n";
constexpr uint32_t kWaitMs = 5000;
constexpr uint32_t kWaitStepMs = 5;

template <typename Fn>
Fn Get(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// Whether the library's running mutex exists, as a controller sees it.
bool ProfilerRunning() {
  bool existed = false;
  const platform::Handle probe = platform::CreateNamedMutex(kRunningMutexName, &existed);
  if (probe != 0) platform::CloseHandle(probe);
  return existed;
}

bool WaitRunning(bool on) {
  for (uint32_t waited = 0; waited < kWaitMs && ProfilerRunning() != on; waited += kWaitStepMs) {
    platform::SleepMilliseconds(kWaitStepMs);
  }
  return ProfilerRunning() == on;
}

// The client process: the stand-in host started with a form stored, then
// nquillet.dll loaded and started through its entry point.
class NotesClientProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    nnotes_ = ::LoadLibraryW(L"nnotes.dll");
    ASSERT_NE(nnotes_, nullptr) << "the stand-in nnotes.dll is not beside the test, error " << ::GetLastError();
    stop_ = Get<StandInStopFn>(nnotes_, "StandInStop");
    ASSERT_NE(stop_, nullptr);
    ASSERT_EQ(Get<StandInStartFn>(nnotes_, "StandInStart")(), 0);
    auto store = Get<StandInStoreFormFn>(nnotes_, "StandInStoreForm");
    ASSERT_NE(store, nullptr);
    ASSERT_EQ(store(kApp, kForm, kButton, &formId_), 0);

    nquillet_ = ::LoadLibraryW(L"nquillet.dll");
    ASSERT_NE(nquillet_, nullptr) << "LoadLibrary failed, error " << ::GetLastError();
    auto mainEntry = Get<HookStatus(QUILLET_HOOKAPI*)(HookVector*)>(nquillet_, "MainEntryPoint");
    ASSERT_NE(mainEntry, nullptr);
    ASSERT_EQ(mainEntry(&vector_), kNoError);
  }
  void TearDown() override {
    if (vector_.term != nullptr) {
      EXPECT_EQ(vector_.term(&vector_), kNoError);
    }
    if (nquillet_ != nullptr) ::FreeLibrary(nquillet_);
    if (stop_ != nullptr) stop_();
    if (nnotes_ != nullptr) ::FreeLibrary(nnotes_);
  }

  template <typename Fn>
  Fn Api(const char* name) {
    Fn fn = Get<Fn>(nnotes_, name);
    EXPECT_NE(fn, nullptr) << name;
    return fn;
  }
  // Puts one message on the controller queue, as the controlling application does.
  void Send(const std::string& message) {
    DHANDLE queue = 0;
    ASSERT_EQ(Api<MQOpenFn>("MQOpen")(std::string(kControllerQueueName).c_str(), 0, &queue), kNoError);
    EXPECT_EQ(Api<MQPutFn>("MQPut")(queue, 0, message.data(), static_cast<WORD>(message.size()), 0), kNoError);
    EXPECT_EQ(Api<MQCloseFn>("MQClose")(queue, 0), kNoError);
  }
  // The host's open, then the library's note-open hook, as the client opens a note.
  DHANDLE OpenThroughHook(DHANDLE db, NOTEID id) {
    DHANDLE note = 0;
    EXPECT_EQ(Api<NSFNoteOpenFn>("NSFNoteOpen")(db, id, 0, &note), kNoError);
    EXPECT_EQ(vector_.noteOpen(&vector_, "CN=Client User/O=Sim", nullptr, db, id, note, 0), kNoError);
    return note;
  }
  // An item's value (type word first) through the host's item functions.
  std::vector<uint8_t> Value(DHANDLE note, const char* name) {
    BLOCKID item{};
    BLOCKID value{};
    WORD type = 0;
    DWORD length = 0;
    if (Api<NSFItemInfoFn>("NSFItemInfo")(note, name, static_cast<WORD>(std::strlen(name)), &item, &type, &value,
                                           &length) != kNoError) {
      return {};
    }
    const auto* bytes = static_cast<const uint8_t*>(Api<OSLockObjectFn>("OSLockObject")(value.pool));
    if (bytes == nullptr) return {};
    std::vector<uint8_t> copy(bytes + value.block, bytes + value.block + length);
    Api<OSUnlockObjectFn>("OSUnlockObject")(value.pool);
    return copy;
  }
  std::string DataDirectory() {
    char path[kMaxPath + 1] = {};
    Api<OSGetDataDirectoryFn>("OSGetDataDirectory")(path);
    return path;
  }

  HMODULE nnotes_ = nullptr;
  HMODULE nquillet_ = nullptr;
  StandInStopFn stop_ = nullptr;
  NOTEID formId_ = 0;
  int hostModule_ = 0;
  int hostInit_ = 0;
  HookVector vector_{&hostModule_, &hostInit_, nullptr, nullptr, nullptr, nullptr};
};

TEST_F(NotesClientProcess, TheClientGetsItsHooks) {
  EXPECT_NE(vector_.noteOpen, nullptr);
  EXPECT_NE(vector_.noteUpdate, nullptr);
  EXPECT_NE(vector_.term, nullptr);
  EXPECT_NE(vector_.dbStampNotes, nullptr);
  EXPECT_EQ(vector_.hostModule, &hostModule_);
  EXPECT_EQ(vector_.hostInit, &hostInit_);
}

TEST_F(NotesClientProcess, FormOpenedThroughTheHookIsRewrittenAndItsRunReported) {
  ASSERT_NE(vector_.noteOpen, nullptr);
  Send("ENABLE,1,1,3");
  Send(std::string("SETFILTER,") + kApp);
  DHANDLE db = 0;
  ASSERT_EQ(Api<NSFDbOpenFn>("NSFDbOpen")(kApp, &db), kNoError);
  const DHANDLE form = OpenThroughHook(db, formId_);  // the hook performs both messages first
  EXPECT_TRUE(ProfilerRunning());
  DHANDLE stored = 0;
  ASSERT_EQ(Api<NSFNoteOpenFn>("NSFNoteOpen")(db, formId_, 0, &stored), kNoError);
  const std::vector<uint8_t> rewritten = Value(form, "$Body");
  ASSERT_FALSE(rewritten.empty());
  EXPECT_NE(rewritten, Value(stored, "$Body"));  // the button's code, rewritten in memory only

  char output[256] = {};
  EXPECT_EQ(Get<StandInRunNoteFn>(nnotes_, "StandInRunNote")(form, output, sizeof output), kNoError) << output;
  EXPECT_STREQ(output, "1\n2\n3\n");

  const std::string reportPath = DataDirectory() + "/client.zvk";
  Send("FINALIZERUN," + reportPath + ",0");
  EXPECT_TRUE(WaitRunning(false));  // the library's poll thread writes the report
  Report report;
  ReportError error;
  ASSERT_TRUE(ReadReportFile(reportPath, report, error)) << error.Text;
  std::set<std::string> names;
  for (const ReportProcedure& p : report.Procedures) {
    EXPECT_EQ(p.DatabasePath, kApp);
    EXPECT_EQ(p.NoteId, formId_);
    if (p.Title == kForm) names.insert(p.FullName);
  }
  EXPECT_EQ(names, (std::set<std::string>{"Initialize", "Tally"}));
  EXPECT_FALSE(report.Roots.empty());

  for (DHANDLE note : {form, stored}) EXPECT_EQ(Api<NSFNoteCloseFn>("NSFNoteClose")(note), kNoError);
  EXPECT_EQ(Api<NSFDbCloseFn>("NSFDbClose")(db), kNoError);
}

TEST_F(NotesClientProcess, UnwatchedDatabasesKeepTheirCode) {
  NOTEID other = 0;
  ASSERT_EQ(Get<StandInStoreFormFn>(nnotes_, "StandInStoreForm")("apps/other.nsf", kForm, kButton, &other), 0);
  Send("ENABLE,1,1,3");
  Send(std::string("SETFILTER,") + kApp);
  DHANDLE db = 0;
  ASSERT_EQ(Api<NSFDbOpenFn>("NSFDbOpen")("apps/other.nsf", &db), kNoError);
  const DHANDLE form = OpenThroughHook(db, other);
  DHANDLE stored = 0;
  ASSERT_EQ(Api<NSFNoteOpenFn>("NSFNoteOpen")(db, other, 0, &stored), kNoError);
  EXPECT_EQ(Value(form, "$Body"), Value(stored, "$Body"));
  for (DHANDLE note : {form, stored}) EXPECT_EQ(Api<NSFNoteCloseFn>("NSFNoteClose")(note), kNoError);
  EXPECT_EQ(Api<NSFDbCloseFn>("NSFDbClose")(db), kNoError);
}

// The binding of this program (not the DLL's) over the stand-in, found by the
// Windows loader: the process query and calls whose values cross the C API.
class BindingOverStandIn : public NotesClientProcess {
 protected:
  NnotesBinding binding_{u"nnotes"};
};

TEST_F(BindingOverStandIn, ProcessQueryAnswersServerForAServerInstallation) {
  EXPECT_FALSE(binding_.ProcessQuery(kProcessQueryServer));  // no "KitType": a client
  binding_.SetEnvironmentString(kKitTypeVariable, "1");
  EXPECT_FALSE(binding_.ProcessQuery(kProcessQueryServer));
  binding_.SetEnvironmentString(kKitTypeVariable, "2");
  EXPECT_TRUE(binding_.ProcessQuery(kProcessQueryServer));
  EXPECT_FALSE(binding_.ProcessQuery(kProcessQueryServer - 1));  // no other query is known
}

TEST_F(BindingOverStandIn, ItemsAndRecordsCrossTheCApi) {
  DbHandle db;
  EXPECT_EQ(binding_.DbOpen("apps/absent.nsf", db), kErrFileNotFound);
  ASSERT_EQ(binding_.DbOpen(kApp, db), kNoError);
  std::string path;
  ASSERT_EQ(binding_.DbCanonicalPath(db, path), kNoError);
  EXPECT_EQ(path, kApp);
  NoteHandle note;
  ASSERT_EQ(binding_.NoteOpen(db, formId_, 0, note), kNoError);
  EXPECT_EQ(binding_.NoteGetId(note), formId_);
  EXPECT_EQ(binding_.NoteDatabase(note), db);
  ItemInfo body;
  ASSERT_EQ(binding_.ItemFind(note, "$body", body), kNoError);  // names compare ignoring case
  EXPECT_EQ(body.name, "$Body");
  EXPECT_EQ(body.type, kTypeCompositeData);
  size_t records = 0;
  EXPECT_EQ(binding_.EnumerateCompositeRecords(body.value, [&](uint16_t, std::span<const uint8_t>) -> STATUS {
    ++records;
    return kNoError;
  }), kNoError);
  EXPECT_GT(records, 0u);
  ASSERT_EQ(binding_.ItemSetText(note, "Subject", "over the C API"), kNoError);
  std::string text;
  EXPECT_EQ(binding_.ItemText(note, "Subject", text, 64), 14);
  EXPECT_EQ(text, "over the C API");
  EXPECT_EQ(binding_.NoteClose(note), kNoError);
  EXPECT_EQ(binding_.DbClose(db), kNoError);
}

}  // namespace
}  // namespace quillet

#endif  // _WIN32
