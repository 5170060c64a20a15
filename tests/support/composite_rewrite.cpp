// In-memory rewrite of one composite value.
#include "support/composite_rewrite.h"

#include <gtest/gtest.h>

#include "design/item_composite.h"

namespace quillet::kit {

Bytes RewriteRecords(const Bytes& value, const RewriteArgs& args, Status32 expected) {
  std::unique_ptr<CKVXItemComposite> composite;
  EXPECT_EQ(CKVXItemComposite::FromValue(value, composite), kNoError);
  if (!composite) return {};
  RecordBuffer out;
  std::unique_ptr<RewriteCursor> cursor;
  EXPECT_EQ(composite->Rewrite(args, out, cursor), expected);
  return Bytes(out.bytes().begin(), out.bytes().end());
}

}  // namespace quillet::kit
