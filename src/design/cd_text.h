// Records that hold only text but name what follows them in the code
// location path: text runs and button faces.
#pragma once

#include "design/cd_record.h"

namespace quillet {

// A record of `structure` whose text runs from its fixed part to its end,
// and which changes the location path before its text is emitted.
class CdNamingText : public CKVXCDRecord {
 public:
  CdNamingText(uint16_t signature, std::span<const uint8_t> record, uint16_t structure)
      : CKVXCDRecord(signature, record), structure_(structure) {}
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
  // Unchanged whenever text does not go to the callback.
  bool UnchangedBy(const RewriteArgs& args) const override;

 protected:
  virtual void Locate(CodeLocation& location) const = 0;

 private:
  uint16_t structure_;
};

// A text run (structure 113). Outside any named object it installs a
// transient "Text" entry; inside one it marks the code kind as text.
class CKVXCDText : public CdNamingText {
 public:
  CKVXCDText(uint16_t signature, std::span<const uint8_t> record) : CdNamingText(signature, record, 113) {}

 protected:
  void Locate(CodeLocation& location) const override;
};

// A button face (structure 237): its label after the fixed part.
class CKVXCDButton : public CdNamingText {
 public:
  CKVXCDButton(uint16_t signature, std::span<const uint8_t> record) : CdNamingText(signature, record, 237) {}

 protected:
  void Locate(CodeLocation& location) const override;
};

}  // namespace quillet
