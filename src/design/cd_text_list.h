// Text lists inside records (an entry count, the entries' lengths, the
// entries), re-emitted entry by entry.
#pragma once

#include <cstddef>
#include <span>

#include "design/record_buffer.h"
#include "design/rewrite_contract.h"

namespace quillet {

// Appends the text list `list`: each entry as a text piece, its length word
// fixed; bytes after the last entry are kept. A list whose count or lengths
// run past `list` is copied as it is, since it holds no entry that could be
// told apart safely. `length` receives the bytes appended.
[[nodiscard]] Status32 EmitTextList(std::span<const uint8_t> list, const RewriteArgs& args, RecordBuffer& out,
                                    size_t& length);

}  // namespace quillet
