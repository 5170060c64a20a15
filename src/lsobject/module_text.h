// Text services a module needs: its string table holds UTF-16, the rest of the
// system speaks the host character set (LMBCS).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "config/notes_api.h"

namespace quillet {

// The national-language context of a module: conversions between the string
// table's UTF-16 and host text, and the host's text comparison.
class ModuleText {
 public:
  virtual ~ModuleText() = default;
  // UTF-16 code units to host text (the host's UTF-16-to-host translation).
  virtual std::string ToHost(std::u16string_view units) const = 0;
  // Host text to UTF-16 code units (the host's host-to-UTF-16 translation).
  virtual std::u16string ToUnicode(std::string_view text) const = 0;
  // 0 when equal under `option` (0 exact, 3 ignoring case), else the sign of
  // the difference.
  virtual int Compare(std::string_view a, std::string_view b, uint16_t option) const = 0;
  // True when `units` are known to come back unchanged from ToHost and then
  // ToUnicode, so a caller may skip that round; false when not known.
  virtual bool KeepsUnits(std::u16string_view /*units*/) const { return false; }
  // True when printable ASCII (IsPrintableAscii) converts unit for unit in
  // both directions (ToUnicode widens it, ToHost of those units gives it
  // back), so a caller may convert it without these services.
  virtual bool KeepsPrintableAscii() const { return false; }
  // A key equal for every two texts Compare(a, b, kCompareNoCase) finds
  // equal, so texts whose keys differ need no comparison; false when these
  // services know no such key for `text` (it must then be compared).
  virtual bool NoCaseKey(std::string_view /*text*/, uint64_t& /*key*/) const { return false; }
};

// A hash of `text` with ASCII letters folded to capitals: the key of texts
// whose no-case comparison folds ASCII letters and nothing else.
uint64_t AsciiNoCaseKey(std::string_view text);

// Text services without a host (tools, tests): host text is UTF-8 and case is
// folded for ASCII letters. A module uses these unless it is handed others.
const ModuleText& PlainModuleText();

// Text services over a host's Notes API, which must outlive this object.
// Printable ASCII is the same in both sets and is converted without the host.
class NotesModuleText final : public ModuleText {
 public:
  explicit NotesModuleText(NotesApi& api) : api_(api) {}
  std::string ToHost(std::u16string_view units) const override;
  std::u16string ToUnicode(std::string_view text) const override;
  int Compare(std::string_view a, std::string_view b, uint16_t option) const override;
  bool KeepsUnits(std::u16string_view units) const override;
  bool KeepsPrintableAscii() const override { return true; }
  // Printable ASCII only, which the host holds as itself and compares
  // ignoring the case of its letters; any other text is left to the host.
  bool NoCaseKey(std::string_view text, uint64_t& key) const override;

 private:
  NotesApi& api_;
};

}  // namespace quillet
