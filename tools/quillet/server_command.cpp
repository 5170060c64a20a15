// `quillet server DESCRIPTION --out DIR`: server agent profiling without a
// server. A simulated data directory is made from the description: the agents'
// database, the configuration documents and the log's template. The hook
// driver starts as the agent manager, the simulated agent manager runs the
// agents through its note-open hook, and the log database's documents are
// written to DIR as text with their attached reports as .zvk files.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <span>
#include <string>

#include <CLI/CLI.hpp>

#include "config/notes_services.h"
#include "config/quillet_config.h"
#include "config/quillet_log.h"
#include "config/settings.h"
#include "hook/hooks.h"
#include "sim/amgr/agent_manager.h"
#include "sim/log_template.h"
#include "sim/scoped_sim_host.h"
#include "sim/sim_time.h"
#include "tools/quillet/commands.h"
#include "tools/quillet/module_source.h"
#include "tools/quillet/server_description.h"
#include "tools/quillet/tool_io.h"
#include "util/bytes.h"

namespace quillet::tool {
namespace {

struct Options {
  std::string description;
  std::string out;
  uint32_t timeLimit = 60;
};

std::string Hex(uint32_t value, int width = 0) {
  char text[40];
  std::snprintf(text, sizeof text, "%0*X", width, static_cast<unsigned>(value));
  return text;
}

std::string StatusText(STATUS status) { return "status 0x" + Hex(status); }

// The agents' database is titled by its file name: "apps/sales.nsf" is "sales".
std::string DatabaseTitle(const std::string& path) { return std::filesystem::path(path).stem().string(); }

// Writes one configuration document for `agent` into the open database.
STATUS WriteConfigDocument(DbHandle db, const std::string& database, NoteId agent, const ServerProfileEntry& entry) {
  NotesApi& notes = Notes();
  NoteHandle note;
  if (STATUS status = notes.NoteCreate(db, note); status != kNoError) return status;
  STATUS status = kNoError;
  auto text = [&](const char* name, const std::string& value) {
    if (status == kNoError && !value.empty()) status = notes.ItemSetText(note, name, value);
  };
  text("Enabled", "1");
  text("DatabasePath", database);
  text("DatabaseTitle", DatabaseTitle(database));
  text("AgentId", Hex(agent));
  if (status == kNoError && entry.runs) status = notes.ItemSetNumber(note, "AgentRunCount", *entry.runs);
  text("AgentServerTask", "AMGR");
  text("AgentProfileFlags", "FUNC_LINE");
  text("AgentUser", entry.user);
  text("AgentTitle", entry.title);
  text("AgentUNID", Hex(0, 24) + Hex(agent, 8));
  if (status == kNoError) status = notes.NoteUpdate(note, 0);
  const STATUS closed = notes.NoteClose(note);
  return status != kNoError ? status : closed;
}

// One item as a line of text: text and numbers as they read, times as
// "YYYY-MM-DD HH:MM:SS GMT", anything else by its type and size.
std::string ItemLine(const ItemInfo& item) {
  std::string value;
  const std::span<const uint8_t> data(item.value);
  const size_t typeSize = 2;  // every stored value starts with its type word
  if (item.type == kTypeText && data.size() >= typeSize) {
    value.assign(data.begin() + typeSize, data.end());
  } else if (item.type == kTypeNumber && data.size() >= typeSize + sizeof(double)) {
    double number = 0;
    std::memcpy(&number, data.data() + typeSize, sizeof number);
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", number);
    value = text;
  } else if (item.type == kTypeTime && data.size() >= typeSize + 2 * sizeof(uint32_t)) {
    const uint8_t* innards = data.data() + typeSize;
    value = sim::FormatTime(TimeDate{{LoadU32(innards), LoadU32(innards + sizeof(uint32_t))}}) + " GMT";
  } else {
    value = "(type 0x" + Hex(item.type, 4) + ", " + std::to_string(data.size()) + " bytes)";
  }
  return item.name + ": " + value + "\n";
}

// Writes every document of the log to `out` as logN.txt, and its "$FILE"
// report as logN.zvk. False with `error` when the log cannot be read or a
// file cannot be written.
bool WriteLogDocuments(const std::string& logPath, const std::string& out, size_t& written, std::string& error) {
  NotesApi& notes = Notes();
  DbHandle db;
  if (STATUS status = notes.DbOpen(logPath, db); status != kNoError) {
    error = "the log database " + logPath + " could not be opened (" + StatusText(status) + ")";
    return false;
  }
  TableHandle table;
  TimeDate until;
  bool ok = true;
  if (STATUS status = notes.DbModifiedNoteTable(db, kNoteClassDocument, notes.MinimumTime(), table, until);
      status != kNoError) {
    error = "the log's documents could not be listed (" + StatusText(status) + ")";
    static_cast<void>(notes.DbClose(db));
    return false;
  }
  NoteId id = 0;
  for (bool first = true; ok && notes.TableScan(table, first, id); first = false) {
    NoteHandle note;
    if (STATUS status = notes.NoteOpen(db, id, 0, note); status != kNoError) {
      error = "log document " + Hex(id) + " could not be opened (" + StatusText(status) + ")";
      ok = false;
      break;
    }
    const std::string base = (std::filesystem::path(out) / ("log" + std::to_string(++written))).string();
    std::string text;
    ItemId attachment{};
    bool hasReport = false;
    static_cast<void>(notes.ItemScan(note, [&](const ItemInfo& item) -> STATUS {
      text += ItemLine(item);
      if (item.name == "$FILE" && !hasReport) {
        attachment = item.item;
        hasReport = true;
      }
      return kNoError;
    }));
    if (hasReport) {
      const std::string report = base + ".zvk";
      // The host resolves a relative path against its data directory, not
      // against the directory the command was started in.
      const std::string target = std::filesystem::absolute(report).string();
      if (STATUS status = notes.ExtractFile(note, attachment, target); status != kNoError) {
        error = "the report of log document " + Hex(id) + " could not be written to " + report + " (" +
                StatusText(status) + ")";
        ok = false;
      } else {
        text += "report: " + report + "\n";
      }
    }
    if (ok && !WriteWholeFile(base + ".txt", text, error)) ok = false;
    static_cast<void>(notes.NoteClose(note));
  }
  static_cast<void>(notes.TableDestroy(table));
  static_cast<void>(notes.DbClose(db));
  return ok;
}

// Removes the logN.txt and logN.zvk files an earlier run left in `out`, so that
// every log file there is this run's. False with `error` when one cannot go.
bool RemoveEarlierLogFiles(const std::string& out, std::string& error) {
  static const std::regex kLogFile(R"(log[0-9]+\.(txt|zvk))");
  std::error_code failed;
  for (const auto& entry : std::filesystem::directory_iterator(out, failed)) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file() || !std::regex_match(name, kLogFile)) continue;
    if (!std::filesystem::remove(entry.path(), failed) || failed) {
      error = entry.path().string() + ": an earlier run's log file could not be removed";
      return false;
    }
  }
  if (failed) error = out + ": the output directory could not be read";
  return !failed;
}

// Makes the simulated data directory the description names; false with `error`.
bool MakeDataDirectory(sim::SimHost& host, const ServerDescription& d, const std::map<std::string, std::string>& sources,
                       std::map<std::string, NoteId>& ids, std::string& error) {
  if (STATUS status = sim::EnsureLogTemplate(host); status != kNoError) {
    error = "the log template could not be made (" + StatusText(status) + ")";
    return false;
  }
  if (STATUS status = sim::EnsureServerIdFile(host); status != kNoError) {
    error = "the server ID file could not be made (" + StatusText(status) + ")";
    return false;
  }
  if (STATUS status = host.CreateDatabase(d.database, DatabaseTitle(d.database)); status != kNoError) {
    error = "the database " + d.database + " could not be made (" + StatusText(status) + ")";
    return false;
  }
  for (const ServerAgentSource& agent : d.agents) {
    std::string why;
    if (STATUS status = sim::StoreAgent(host, d.database, agent.title, sources.at(agent.title), ids[agent.title], &why);
        status != kNoError) {
      error = agent.sourcePath + ": " + (why.empty() ? StatusText(status) : why);
      return false;
    }
  }
  const std::string configPath(kDefaultConfigPath);
  if (STATUS status = host.CreateDatabase(configPath, "Profiler Configuration"); status != kNoError) {
    error = "the configuration database could not be made (" + StatusText(status) + ")";
    return false;
  }
  DbHandle db;
  if (STATUS status = Notes().DbOpen(configPath, db); status != kNoError) {
    error = "the configuration database could not be opened (" + StatusText(status) + ")";
    return false;
  }
  STATUS status = kNoError;
  for (const ServerProfileEntry& entry : d.profiles) {
    if (status == kNoError) status = WriteConfigDocument(db, d.database, ids.at(entry.title), entry);
  }
  static_cast<void>(Notes().DbClose(db));
  if (status != kNoError) error = "a configuration document could not be stored (" + StatusText(status) + ")";
  return status == kNoError;
}

int Server(const Options& options) {
  std::vector<uint8_t> text;
  std::string error;
  if (!ReadWholeFile(options.description, text, error)) return Fail("server", error);
  const std::string folder = std::filesystem::path(options.description).parent_path().string();
  ServerDescription description;
  if (!ParseServerDescription(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), folder,
                              description, error)) {
    return Fail("server", options.description + ": " + error);
  }
  std::map<std::string, std::string> sources;
  for (const ServerAgentSource& agent : description.agents) {
    std::vector<uint8_t> source;
    if (!ReadWholeFile(agent.sourcePath, source, error)) return Fail("server", error);
    std::string& text = sources[agent.title];
    text.assign(source.begin(), source.end());
    // Compiled here first so that errors name their file, line and column,
    // as `compile` and `client` show them; storing the agent compiles again.
    std::vector<uint8_t> image;
    int exitCode = kExitOk;
    if (!CompileSourceText("server", agent.sourcePath, text, image, exitCode)) return exitCode;
  }
  std::error_code made;
  std::filesystem::create_directories(options.out, made);
  if (made || !std::filesystem::is_directory(options.out))
    return Fail("server", options.out + ": the output directory could not be made");
  if (!RemoveEarlierLogFiles(options.out, error)) return Fail("server", error);

  sim::ScopedSimHost sim;
  ForgetHostFunctions();
  WriteSetting("ProfileDebug_EnableServerLogging", "1");  // the console lines say what the server did
  std::map<std::string, NoteId> ids;
  if (!MakeDataDirectory(sim.host(), description, sources, ids, error)) return Fail("server", error);

  int hostModule = 0;
  int hostInit = 0;
  HookVector vector{&hostModule, &hostInit, nullptr, nullptr, nullptr, nullptr};
  sim->SetProcessIdentity(u"C:\\Domino\\namgr.exe", u"namgr.exe -e");
  sim->SetEnvironmentString("KitType", "2");  // a server installation
  if (MainEntryPoint(&vector) != 0) return Fail("server", "the hook driver did not start as the agent manager");
  std::fflush(stdout);
  {
    sim::SimAgentManager manager(vector);
    manager.SetTimeLimit(options.timeLimit);
    for (const ServerRun& run : description.runs) {
      // Each run on a thread of its own, one after another: a run stopped as
      // endless never makes its end-of-run call, and its pending run and
      // calls stay with its thread instead of going into the next run's
      // report.
      manager.Start(sim::SimAgent{description.database, ids.at(run.title), run.user});
      const sim::SimAgentOutcome outcome = manager.Wait().front();
      std::printf("=== run agent %s as %s\n", run.title.c_str(), run.user.c_str());
      std::fwrite(outcome.run.output.data(), 1, outcome.run.output.size(), stdout);
      if (outcome.openStatus != kNoError) {
        std::printf("(the agent could not be opened: %s)\n", StatusText(outcome.openStatus).c_str());
      } else if (!outcome.run.ok) {
        std::printf("(the run failed: %s)\n", outcome.run.error.c_str());
      }
    }
  }
  static_cast<void>(Term(&vector));
  std::printf("=== server console\n");
  for (const std::string& line : sim->ConsoleLines()) std::printf("%s\n", line.c_str());

  const std::string logPath(kDefaultLogPath);
  if (!sim->DatabaseExists(logPath)) return Fail("server", "no agent run was profiled: the log database is empty");
  size_t written = 0;
  const bool ok = WriteLogDocuments(logPath, options.out, written, error);
  std::printf("=== %zu log document(s) written to %s\n", written, options.out.c_str());
  ForgetHostFunctions();
  return ok ? kExitOk : Fail("server", error);
}

}  // namespace

void AddServerCommand(CLI::App& app, int& exitCode) {
  CLI::App* cmd = app.add_subcommand("server", "Profile agents run by a simulated server's agent manager, as a small "
                                               "file describes them (docs/cli.md)");
  auto options = std::make_shared<Options>();
  cmd->add_option("DESCRIPTION", options->description, "the server's description file")->required();
  cmd->add_option("--out", options->out, "directory for the log documents and their reports")->required();
  cmd->add_option("--time-limit", options->timeLimit, "seconds before an agent's run stops as endless")
      ->check(CLI::Range(uint32_t{1}, uint32_t{86400}))
      ->capture_default_str();
  cmd->callback([options, &exitCode] { exitCode = Server(*options); });
}

}  // namespace quillet::tool
