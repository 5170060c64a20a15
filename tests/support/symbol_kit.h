// Builds realistic compiled modules for symbol-table tests: module-level
// Subs, Functions and Properties with code, parameters, locals and labels,
// classes with members and procedures, written the way the runtime lays them
// out (scopes with their hash tables, label-offset table, extended handles
// for entries beyond 64 KiB), without the module code.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/module_builder.h"

namespace quillet::kit {

struct KitVariable {
  std::string name{};
  bool parameter = false;
  uint16_t dataType = 1;
};

struct KitLabel {
  std::string name{};
  uint32_t at = 0;  // bytes into the procedure's code
};

struct KitProcedure {
  std::string name{};
  uint16_t kind = 8;  // 7 Function, 8 Sub, 9 Property (Get accessor)
  uint16_t flags = 0;
  size_t lines = 2;  // line instructions before the end of the procedure
  std::vector<KitVariable> variables{};  // parameters and locals, in chain order
  std::vector<KitLabel> labels{};
  bool setAccessor = false;  // kind 9: a Set accessor follows directly
};

struct KitClass {
  std::string name{};
  std::vector<KitVariable> members{};
  std::vector<KitProcedure> procedures{};  // "NEW" and "DELETE" become constructor and destructor
};

struct KitModule {
  std::vector<KitProcedure> procedures;  // module scope 1
  std::vector<KitClass> classes;         // module scope 3
  // Classes are headed in module scope 4 instead, with their procedures'
  // owner fields left 0 for Parse to fill in.
  bool classesInScope4 = false;
  // Entries start in a second 64 KiB segment behind `filler` bytes (of
  // `fillerByte`) and are reached through extended-table indices.
  bool entriesBeyond64K = false;
  size_t filler = 0;  // bytes after the checksum word, before the entries
  uint8_t fillerByte = 0xFF;
  size_t headerSize = 512;
  std::vector<std::string> extraStrings;  // further strings, e.g. to grow the table
};

struct KitImage {
  sim::ModuleDescription description;
  sim::Bytes image;
  // Keys: "Name" for module procedures and classes, "Class::Name" for class
  // procedures, "Proc/var" for variables and members, "Proc:label" for
  // labels, "Name#set" for Set accessors.
  std::map<std::string, uint32_t> handle;
  std::map<std::string, uint32_t> offset;
  std::map<std::string, uint32_t> code;  // procedures' code offsets
};

KitImage BuildKitModule(const KitModule& module);

}  // namespace quillet::kit
