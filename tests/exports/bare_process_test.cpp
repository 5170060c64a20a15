// The built hook driver in a process where no Notes API was ever installed:
// every export, with null handles and garbage arguments, must answer its
// defined status without ending, hanging or writing anything.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "util/bytes.h"

namespace quillet {
namespace {

using Hook = uint32_t (*)(void*);
using NoteOpen = uint32_t (*)(void*, const char*, void*, uint32_t, uint32_t, uint32_t, uint16_t);
using NoteUpdate = uint32_t (*)(void*, const char*, void*, uint32_t, uint32_t, uint32_t, uint16_t*);
using Stamp = uint32_t (*)(void*, const char*, void*, uint32_t, uint32_t, const char*, uint16_t, void*, uint16_t);
using FunctionTimer = void (*)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, int32_t);
using LineTimer = void (*)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, int32_t, int32_t);

constexpr uint32_t kStampHandled = 0x3300;
constexpr uint32_t kGarbage = 0xDEADBEEF;

// The six pointer-sized slots of the host's hook vector.
struct Vector {
  void* slots[6];
};

// Runs in the child. Each failed check is written to `report`; the exit
// code is the number of failures.
class BareCalls {
 public:
  explicit BareCalls(int report) : report_(report) {}

  int Run() {
    void* library = dlopen(QUILLET_NQUILLET_PATH, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
      Fail(std::string("dlopen: ") + dlerror());
      return failures_;
    }
    library_ = library;
    EntryAndTerm();
    NoteHooks();
    StampProbe();
    FileVersion();
    Timers();
    return failures_;
  }

 private:
  template <typename Fn>
  Fn Get(const char* name) {
    auto fn = reinterpret_cast<Fn>(dlsym(library_, name));
    if (fn == nullptr) Fail(std::string("missing export ") + name);
    return fn;
  }
  void Check(bool ok, const std::string& what) {
    if (!ok) Fail(what);
  }
  void Fail(const std::string& what) {
    ++failures_;
    const std::string line = what + "\n";
    ssize_t ignored = write(report_, line.data(), line.size());
    static_cast<void>(ignored);
  }

  void EntryAndTerm() {
    auto entry = Get<Hook>("MainEntryPoint");
    auto term = Get<Hook>("Term");
    if (entry == nullptr || term == nullptr) return;
    Check(entry(nullptr) == 0, "MainEntryPoint(null)");
    int hostModule = 0;
    Vector vector{{&hostModule, &hostModule, &hostModule, &hostModule, &hostModule, &hostModule}};
    Check(entry(&vector) == 0, "MainEntryPoint with no host");
    Check(vector.slots[0] == &hostModule && vector.slots[1] == &hostModule, "host-owned slots changed");
    for (int i = 2; i < 6; ++i) Check(vector.slots[i] == nullptr, "hook slot " + std::to_string(i) + " left set");
    Check(term(nullptr) == 0, "Term(null)");
    Check(term(&vector) == 0, "Term");
    Check(term(&vector) == 0, "second Term");
  }

  void NoteHooks() {
    auto server = Get<NoteOpen>("HookNoteOpen_Server");
    auto client = Get<NoteOpen>("HookNoteOpen_Client");
    auto update = Get<NoteUpdate>("HookNoteUpdate");
    if (server == nullptr || client == nullptr || update == nullptr) return;
    Check(server(nullptr, nullptr, nullptr, 0, 0, 0, 0) == 0, "HookNoteOpen_Server null");
    Check(server(nullptr, "CN=x", nullptr, kGarbage, kGarbage, kGarbage, 0xFFFF) == 0, "HookNoteOpen_Server garbage");
    Check(client(nullptr, nullptr, nullptr, 0, 0, 0, 0) == 0, "HookNoteOpen_Client null");
    Check(client(nullptr, "CN=x", nullptr, kGarbage, kGarbage, kGarbage, 0xFFFF) == 0, "HookNoteOpen_Client garbage");
    uint16_t flags = 0x1234;
    Check(update(nullptr, nullptr, nullptr, 0, 0, 0, nullptr) == 0, "HookNoteUpdate null");
    Check(update(nullptr, "CN=x", nullptr, kGarbage, kGarbage, kGarbage, &flags) == 0, "HookNoteUpdate garbage");
    Check(flags == 0x1234, "HookNoteUpdate changed the flags");
  }

  void StampProbe() {
    auto stamp = Get<Stamp>("HookDbStampNotes");
    if (stamp == nullptr) return;
    const char probe[] = "$QUILLET_MESSAGE";
    uint8_t block[12] = {1, 0, 0, 0, 7, 7, 7, 7, 9, 9, 9, 9};
    Check(stamp(nullptr, nullptr, nullptr, 0, 0, nullptr, 16, block, 8) == 0, "stamp with no item name");
    Check(stamp(nullptr, nullptr, nullptr, kGarbage, kGarbage, probe, 0, block, 8) == 0, "stamp, empty name");
    Check(stamp(nullptr, nullptr, nullptr, 0, 0, probe, 16, nullptr, 8) == kStampHandled, "probe, null data");
    Check(stamp(nullptr, nullptr, nullptr, 0, 0, probe, 16, block, 12) == kStampHandled, "probe, 12 bytes");
    Check(LoadU32(block + 4) == 68369 && LoadU32(block + 8) == 0x09090909, "probe answer");
  }

  void FileVersion() {
    auto version = Get<Hook>("GetFileVersion");
    if (version == nullptr) return;
    Check(version(nullptr) == 0, "GetFileVersion(null)");
  }

  void Timers() {
    auto function = Get<FunctionTimer>("KVXFunctionTimer");
    auto line = Get<LineTimer>("KVXLineTimer");
    if (function == nullptr || line == nullptr) return;
    for (int32_t type : {-1, 0, 1, 2, 3, 5, 0x7FFFFFFF}) {
      function(kGarbage, kGarbage, kGarbage, kGarbage, kGarbage, type);
      line(kGarbage, kGarbage, kGarbage, kGarbage, kGarbage, type, -1);
    }
  }

  int report_;
  void* library_ = nullptr;
  int failures_ = 0;
};

TEST(BareProcess, EveryExportIsSafeWithoutAHost) {
  const char* root = std::getenv("QUILLET_TEST_TMP");
  const std::filesystem::path dir =
      std::filesystem::path(root ? root : "/tmp") / ("bare_process_" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "work");
  const std::string output = (dir / "output").string();

  int report[2];
  ASSERT_EQ(pipe(report), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child's standard output and error go to a file that must stay
    // empty; the library runs in an empty working directory.
    close(report[0]);
    const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0 || chdir((dir / "work").c_str()) != 0) _exit(100);
    _exit(BareCalls(report[1]).Run());
  }
  close(report[1]);

  int status = 0;
  pid_t done = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while ((done = waitpid(child, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (done == 0) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    ADD_FAILURE() << "the calls did not return";
  }
  std::string failures;
  char buffer[512];
  for (ssize_t n; (n = read(report[0], buffer, sizeof buffer)) > 0;) failures.append(buffer, static_cast<size_t>(n));
  close(report[0]);

  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 0) << failures;
  EXPECT_EQ(std::filesystem::file_size(output), 0u) << "the library wrote to standard output or error";
  EXPECT_TRUE(std::filesystem::is_empty(dir / "work")) << "the library created files";
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quillet
