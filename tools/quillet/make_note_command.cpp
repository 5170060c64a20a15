// `quillet make-note FILE.lss --kind KIND -o OUT.qnote [--title T]`: the
// LotusScript compiled by the simulated compiler and saved as a design note
// of that kind, written as a note file for note-items and instrument-note.
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

#include "sim/design_note_builder.h"
#include "tools/quillet/commands.h"
#include "tools/quillet/module_source.h"
#include "tools/quillet/tool_io.h"

namespace quillet::tool {
namespace {

constexpr char kCommand[] = "make-note";

const std::map<std::string, sim::ScriptNoteKind>& Kinds() {
  static const std::map<std::string, sim::ScriptNoteKind> kinds = {
      {"agent", sim::ScriptNoteKind::kAgent},
      {"library", sim::ScriptNoteKind::kScriptLibrary},
      {"form", sim::ScriptNoteKind::kForm},
      {"database-script", sim::ScriptNoteKind::kDatabaseScript},
  };
  return kinds;
}

struct Options {
  std::string source;
  std::string kind;
  std::string output;
  std::string title;
  bool titleGiven = false;
};

int MakeNote(const Options& options) {
  const sim::ScriptNoteKind kind = Kinds().at(options.kind);
  // Read once: the button's text and the module come from the same bytes.
  std::vector<uint8_t> text;
  std::string error;
  if (!ReadWholeFile(options.source, text, error)) return Fail(kCommand, error);
  const std::string_view source(reinterpret_cast<const char*>(text.data()), text.size());
  int exitCode = kExitOk;
  std::vector<uint8_t> image;
  if (!CompileSourceText(kCommand, options.source, source, image, exitCode)) return exitCode;

  std::string title = options.title;
  if (!options.titleGiven) {
    title = kind == sim::ScriptNoteKind::kDatabaseScript ? std::string(sim::kDatabaseScriptTitle)
                                                          : std::filesystem::path(options.source).stem().string();
  }
  sim::NoteFile note;
  if (sim::SavedDesignNote(kind, title, source, image, note) != kNoError) {
    return Fail(kCommand, options.source + ": the module (" + std::to_string(image.size()) +
                              " bytes) does not fit a form button's object code (at most " +
                              std::to_string(sim::kMaxLsObjectCode) + " bytes)");
  }
  if (!WriteWholeFile(options.output, sim::WriteNoteFile(note), error)) return Fail(kCommand, error);
  std::printf("%s -> %s: %s \"%s\", module %zu bytes\n", options.source.c_str(), options.output.c_str(),
              options.kind.c_str(), title.c_str(), image.size());
  return kExitOk;
}

}  // namespace

void AddMakeNoteCommand(CLI::App& app, int& exitCode) {
  CLI::App* cmd = app.add_subcommand(kCommand, "Compile LotusScript and save it as a design note file of the given "
                                               "kind, for note-items and instrument-note");
  auto options = std::make_shared<Options>();
  std::vector<std::string> names;
  for (const auto& [name, kind] : Kinds()) names.push_back(name);
  cmd->add_option("FILE", options->source, "LotusScript source (.lss)")->required();
  cmd->add_option("--kind", options->kind, "agent, library, form or database-script")
      ->required()
      ->check(CLI::IsMember(names));
  cmd->add_option("-o,--output", options->output, "note file to write")->required();
  CLI::Option* title = cmd->add_option("--title", options->title,
                                       "the note's title (default: the file's name without extension; "
                                       "\"Database Script\" for a database script)");
  cmd->callback([options, title, &exitCode] {
    options->titleGiven = title->count() > 0;
    exitCode = MakeNote(*options);
  });
}

}  // namespace quillet::tool
