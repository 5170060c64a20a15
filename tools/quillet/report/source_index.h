// The LotusScript sources of a report's modules: the file line of each line
// number a report records, and the text of each line for annotated views.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <string>
#include <vector>

namespace quillet::tool {

struct SourceFile {
  std::string path;
  std::vector<std::string> lines;  // lines[0] is line 1; CR LF, LF or a lone CR ends each
  // Whether each line belongs to a %Rem ... %End Rem block (its first and
  // last line included): text the compiler ignores. remarks[0] is line 1.
  std::vector<bool> remarks;
  // Upper-case name of each module-level Sub, Function or Property -> the
  // line of its declaration.
  std::map<std::string, int32_t> procedures;
};

class SourceIndex {
 public:
  // Adds one .lss file, or every .lss file of a folder. False with a reason
  // when the path cannot be read.
  [[nodiscard]] bool Add(const std::string& path, std::string& error);

  // The file of a module: the file whose name, without ".lss", equals the
  // module's title (any case). Null when none was added.
  const SourceFile* Find(const std::string& module) const;

  // What to add to the line numbers a report holds for procedure `fullName`
  // to get its file lines: a report counts a module-level procedure's lines
  // from its declaration (the declaration line is 0), a class member's from
  // the file's start. False when the module or the procedure is not known.
  bool LineOffset(const std::string& module, const std::string& fullName, int32_t& offset) const;

  bool Empty() const { return files_.empty(); }

  // The lines of the procedure that holds `line` of `file`: from its
  // declaration to its End line (the file's ends when they are not found).
  // Lines of %Rem blocks are neither declarations nor End lines.
  static std::pair<int32_t, int32_t> ProcedureSpan(const SourceFile& file, int32_t line);

 private:
  std::map<std::string, SourceFile> files_;  // upper-case module name -> file
};

}  // namespace quillet::tool
