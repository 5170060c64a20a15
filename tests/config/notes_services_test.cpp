// Tests of the universal-ID text form.
#include "config/notes_services.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(FormatUNID, PutsTheSecondWordFirstAndSwapsTheLastPair) {
  const uint8_t unid[16] = {
      0x01, 0x00, 0x00, 0x00,  // word 1
      0x02, 0x00, 0x00, 0x00,  // word 2
      0xEF, 0xCD, 0xAB, 0x89,  // word 3
      0x04, 0x03, 0x02, 0xF1,  // word 4
  };
  EXPECT_EQ(FormatUNID(unid), "0000000200000001F102030489ABCDEF");
}

}  // namespace
}  // namespace quillet
