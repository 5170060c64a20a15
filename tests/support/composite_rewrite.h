// Rewrites one stored composite value in memory, as the segment rewrite
// does, for tests of single records.
#pragma once

#include "config/status.h"
#include "design/rewrite_contract.h"
#include "support/rich_text_builder.h"

namespace quillet::kit {

// The records of `value` (type word first) re-emitted into one buffer, each
// padded to even, without the type word. Checks (as a test expectation)
// that reading gives 0 and the rewrite gives `expected`.
Bytes RewriteRecords(const Bytes& value, const RewriteArgs& args, Status32 expected = kNoError);

}  // namespace quillet::kit
