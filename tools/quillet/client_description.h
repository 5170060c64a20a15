// The small text file `quillet client` reads: a simulated database, its
// design elements as LotusScript source files, and what the user does.
//
//   # comment
//   database apps/orders.nsf         the database (default quillet/profiled.nsf)
//   form Order order.lss             a form whose one button runs the file's code
//   agent Nightly nightly.lss        an agent; also: library, view
//   run form Order                   open and run, in order
//   save form Order                  open and try to save
//
// Titles are single words; source paths are relative to the file's folder.
// Without "run" lines every form and agent runs in the order declared; with
// no "save" line the first form (else the first element) is saved last.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/quillet/profile_session.h"

namespace quillet::tool {

struct ClientElementSource {
  sim::DesignKind kind = sim::DesignKind::kForm;
  std::string title;
  std::string sourcePath;  // resolved against the description's folder
};

struct ClientDescription {
  std::string database = kProfiledDatabase;
  std::vector<ClientElementSource> elements;
  std::vector<ClientStep> steps;
};

// Parses `text`. False with "line N: reason" for an unknown word, a missing
// field, a database path outside the data directory, a step naming an
// element that is not declared, or a title declared twice for one kind.
[[nodiscard]] bool ParseClientDescription(std::string_view text, const std::string& folder,
                                          ClientDescription& description, std::string& error);

}  // namespace quillet::tool
