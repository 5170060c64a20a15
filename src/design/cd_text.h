// Records that hold only text but name what follows them in the code
// location path: text runs and button faces.
#pragma once

#include "design/cd_record.h"

namespace quillet {

// A text run (structure 113). Outside any named object it installs a
// transient "Text" entry; inside one it marks the code kind as text.
class CKVXCDText : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
  bool UnchangedBy(const RewriteArgs& args) const override;

 private:
  void Locate(CodeLocation* location) const;
};

// A button face (structure 237): its label after the fixed part.
class CKVXCDButton : public CKVXCDRecord {
 public:
  using CKVXCDRecord::CKVXCDRecord;
  Status32 Emit(const RewriteArgs& args, RecordBuffer& out) const override;
  bool UnchangedBy(const RewriteArgs& args) const override;

 private:
  void Locate(CodeLocation* location) const;
};

}  // namespace quillet
