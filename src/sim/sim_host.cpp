// The simulated host: process, environment, console, clock, text services, ID
// switching, failure injection and the control of exports and modules.
#include "sim/sim_host.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <stdexcept>

#include "platform/platform.h"
#include "sim/sim_exports.h"
#include "sim/sim_idfile.h"
#include "sim/sim_path.h"
#include "sim/sim_text.h"
#include "sim/sim_value.h"
#include "util/ascii.h"

namespace quillet::sim {

namespace {
constexpr size_t kEnvironmentValueMax = 255;  // the host's 256-byte buffer
constexpr size_t kUserNameMax = 256;

std::string EnvironmentKey(std::string_view name) { return AsciiUpper(name); }
}  // namespace

SimItemSpec SimItemSpec::Text(std::string name, std::string_view text) {
  return SimItemSpec{std::move(name), kTypeText, std::vector<uint8_t>(text.begin(), text.end())};
}
SimItemSpec SimItemSpec::TextList(std::string name, const std::vector<std::string>& entries) {
  return SimItemSpec{std::move(name), kTypeTextList, EncodeTextList(entries)};
}
SimItemSpec SimItemSpec::Number(std::string name, double value) {
  return SimItemSpec{std::move(name), kTypeNumber, EncodeNumber(value)};
}
SimItemSpec SimItemSpec::Time(std::string name, const TimeDate& value) {
  return SimItemSpec{std::move(name), kTypeTime, EncodeTime(value)};
}

SimHost::SimHost(std::string dataDirectory) : dataDir_(std::move(dataDirectory)) {}

SimHost::~SimHost() {
  UnregisterExports();
  std::lock_guard lock(mu_);
  for (const std::u16string& module : loadedModules_) platform::RegisterModule(module, std::nullopt);
  if (identityOverridden_) platform::OverrideProcessIdentity(std::nullopt, std::nullopt);
}

STATUS SimHost::TakeFailure(std::string_view operation) {
  // Most operations run with nothing armed: no name to build, no look-up.
  if (throws_.empty() && failures_.empty()) return kNoError;
  if (auto thrown = throws_.find(std::string(operation)); thrown != throws_.end() && thrown->second > 0) {
    --thrown->second;
    throw std::runtime_error("simulated host: " + thrown->first + " failed");
  }
  auto found = failures_.find(std::string(operation));
  if (found == failures_.end() || found->second.empty()) return kNoError;
  const STATUS status = found->second.front();
  found->second.erase(found->second.begin());
  return status;
}

// --- Process -------------------------------------------------------------------

bool SimHost::EnvironmentString(std::string_view name, std::string& value) {
  std::lock_guard lock(mu_);
  auto found = environment_.find(EnvironmentKey(name));
  if (found == environment_.end()) return false;
  value = found->second.substr(0, kEnvironmentValueMax);
  return true;
}

int32_t SimHost::EnvironmentInt(std::string_view name) {
  std::lock_guard lock(mu_);
  auto found = environment_.find(EnvironmentKey(name));
  if (found == environment_.end()) return 0;
  std::string_view text = found->second;
  size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
  int64_t value = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    value = std::min<int64_t>(value * 10 + (text[pos] - '0'), int64_t{std::numeric_limits<int32_t>::max()} + 1);
  }
  if (negative) value = -value;
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

void SimHost::SetEnvironmentString(std::string_view name, std::string_view value) {
  std::lock_guard lock(mu_);
  if (value.empty()) {
    environment_.erase(EnvironmentKey(name));
  } else {
    environment_[EnvironmentKey(name)] = std::string(value);
  }
}

std::string SimHost::DataDirectory() { return dataDir_; }

void SimHost::ConsoleLine(std::string_view text) {
  std::lock_guard lock(mu_);
  console_.emplace_back(text);
  if (echo_) std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

STATUS SimHost::ThreadInit() {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("ThreadInit")) return failure;
  ++hostThreads_;
  return kNoError;
}

void SimHost::ThreadTerm() {
  std::lock_guard lock(mu_);
  --hostThreads_;
}

std::string SimHost::CurrentUserName() {
  std::lock_guard lock(mu_);
  return user_.substr(0, kUserNameMax);
}

TimeDate SimHost::CurrentTime() {
  std::lock_guard lock(mu_);
  return clock_.Now();
}

TimeDate SimHost::MinimumTime() { return kMinimumTime; }

bool SimHost::ProcessQuery(uint16_t what) {
  std::lock_guard lock(mu_);
  return what == kProcessQueryServer && processQuery_;
}

// --- Text ------------------------------------------------------------------------

STATUS SimHost::Translate(uint16_t mode, std::span<const uint8_t> in, std::vector<uint8_t>& out) {
  {
    std::lock_guard lock(mu_);
    if (STATUS failure = TakeFailure("Translate")) return failure;
  }
  return TranslateText(mode, in, out);
}

int SimHost::Compare(std::string_view a, std::string_view b, uint16_t option) { return CompareText(a, b, option); }

bool SimHost::StatusText(STATUS status, std::string& text) { return StatusTextOf(status, text); }

std::string SimHost::NetworkPath(std::string_view server, std::string_view file) {
  return BuildNetworkPath(server, file);
}

// --- ID switching ---------------------------------------------------------------------

STATUS SimHost::SwitchToIdFile(std::string_view operation, const char* idFile, const char* password,
                               std::string& user) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure(operation)) return failure;
  if (idFile == nullptr || *idFile == '\0') return kErrInvalidArgument;
  const STATUS status = OpenIdFile(ResolveFilePath(idFile, dataDir_), password ? password : "", user);
  if (status == kNoError) user_ = user;
  return status;
}

STATUS SimHost::AttachToId(const char* idFile, const char* password, uint32_t* context) {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("SECAttachToID")) return failure;
  if (!rootUser_) rootUser_ = user_;
  if (idFile != nullptr && *idFile != '\0') {
    std::string user;
    const STATUS status = OpenIdFile(ResolveFilePath(idFile, dataDir_), password ? password : "", user);
    if (status != kNoError) return status;
    user_ = user;
  }
  if (context != nullptr) *context = 1;
  return kNoError;
}

STATUS SimHost::ReattachToRootId() {
  std::lock_guard lock(mu_);
  if (STATUS failure = TakeFailure("SECReattachToRootID")) return failure;
  if (rootUser_) {
    user_ = *rootUser_;
    rootUser_.reset();
  }
  return kNoError;
}

// --- Control ------------------------------------------------------------------------------

void SimHost::SetCurrentUser(std::string_view user) {
  std::lock_guard lock(mu_);
  user_ = std::string(user);
}

void SimHost::SetProcessIdentity(std::u16string executablePath, std::u16string commandLine) {
  std::lock_guard lock(mu_);
  identityOverridden_ = true;
  platform::OverrideProcessIdentity(std::move(executablePath), std::move(commandLine));
}

void SimHost::SetProcessQueryFlag(bool on) {
  std::lock_guard lock(mu_);
  processQuery_ = on;
}

void SimHost::SetModuleLoaded(std::u16string_view name, bool loaded) {
  std::lock_guard lock(mu_);
  if (loaded) {
    loadedModules_.emplace(name);
    platform::RegisterModule(name, std::map<std::string, void*>{});
  } else {
    loadedModules_.erase(std::u16string(name));
    platform::RegisterModule(name, std::nullopt);
  }
}

void SimHost::AdvanceClock(uint64_t hundredths) {
  std::lock_guard lock(mu_);
  clock_.Advance(hundredths);
}

void SimHost::SetConsoleEcho(bool echo) {
  std::lock_guard lock(mu_);
  echo_ = echo;
}

std::vector<std::string> SimHost::ConsoleLines() const {
  std::lock_guard lock(mu_);
  return console_;
}

void SimHost::ClearConsole() {
  std::lock_guard lock(mu_);
  console_.clear();
}

int32_t SimHost::ActiveHostThreads() const {
  std::lock_guard lock(mu_);
  return hostThreads_;
}

void SimHost::FailNext(std::string_view operation, STATUS status) {
  std::lock_guard lock(mu_);
  failures_[std::string(operation)].push_back(status);
}

void SimHost::ThrowNext(std::string_view operation) {
  std::lock_guard lock(mu_);
  ++throws_[std::string(operation)];
}

STATUS SimHost::CreateIdFile(std::string_view path, std::string_view user, std::string_view password) {
  return WriteIdFile(ResolveFilePath(path, dataDir_), user, password);
}

void SimHost::RegisterExports() {
  std::lock_guard lock(mu_);
  exportsRegistered_ = true;
  PublishExportsLocked();
}

void SimHost::UnregisterExports() {
  std::lock_guard lock(mu_);
  if (!exportsRegistered_) return;
  exportsRegistered_ = false;
  WithdrawNotesExports(this);
}

void SimHost::RemoveExport(std::string_view name) {
  std::lock_guard lock(mu_);
  removedExports_.emplace(name);
  PublishExportsLocked();
}

void SimHost::RestoreExport(std::string_view name) {
  std::lock_guard lock(mu_);
  removedExports_.erase(std::string(name));
  PublishExportsLocked();
}

void SimHost::PublishExportsLocked() {
  if (exportsRegistered_) PublishNotesExports(this, removedExports_);
}

}  // namespace quillet::sim
