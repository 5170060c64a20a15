// LotusScript source kept as text: the text of every instance of an item,
// cut into chunks where a line starts a module of the design tools, and
// written out again chunk by chunk.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "design/item_value.h"

namespace quillet {

// The line that starts each module of LotusScript source as the design
// tools store it.
inline constexpr std::string_view kScriptChunkMark = "'++LotusScript Development Environment";

class CKVXItemLSText : public CKVXItemValue {
 public:
  // Reads every instance of `name` (text, or text lists whose entries are
  // joined). kErrItemNotFound when there is none; kErrUnsupportedDatatype
  // for an instance of another type.
  [[nodiscard]] static Status32 FromNote(NoteHandle note, std::string_view name, std::unique_ptr<CKVXItemLSText>& out);
  // Keeps `text` as chunks.
  explicit CKVXItemLSText(std::string_view text);

  // Appends the chunks in order, as many as fit; leaves `cursor` set when
  // one did not fit, and gives kErrRecordExceeds64K for a chunk that does
  // not fit an empty buffer.
  Status32 Rewrite(const RewriteArgs& args, RecordBuffer& out, std::unique_ptr<RewriteCursor>& cursor) override;
  // Writes the whole source as one text item.
  Status32 Write(NoteHandle note, std::string_view name, uint16_t itemFlags) const override;
  uint16_t Type() const override { return kTypeText; }

  const std::vector<std::string>& chunks() const { return chunks_; }

 private:
  static Status32 Read(NoteHandle note, std::string_view name, std::unique_ptr<CKVXItemLSText>& out);

  std::vector<std::string> chunks_;
};

}  // namespace quillet
