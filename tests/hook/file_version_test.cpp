// GetFileVersion: the named bytes of the version record and nothing else.
#include "hook/file_version.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "hook/hooks.h"
#include "util/bytes.h"

namespace quillet {
namespace {

constexpr uint8_t kFill = 0xCD;

std::string TextAt(const std::vector<uint8_t>& record, size_t offset) {
  return std::string(reinterpret_cast<const char*>(record.data() + offset));
}

TEST(FileVersion, WritesNumbersAndTexts) {
  std::vector<uint8_t> record(400, kFill);
  EXPECT_EQ(GetFileVersion(record.data()), 0u);
  EXPECT_EQ(LoadU16(record.data() + 0), 32);
  EXPECT_EQ(LoadU16(record.data() + 2), 1);
  EXPECT_EQ(LoadU16(record.data() + 4), 1);
  EXPECT_EQ(LoadU16(record.data() + 6), 5028);
  EXPECT_EQ(LoadU32(record.data() + 8), 0u);
  EXPECT_EQ(LoadU16(record.data() + 12), 0);
  EXPECT_EQ(TextAt(record, 14), "Brindlecot Profiler Hook");
  EXPECT_EQ(TextAt(record, 94), "Edition 32.1 Build 5028");
  EXPECT_FALSE(TextAt(record, 174).empty());
  EXPECT_EQ(record[254], 0);
  EXPECT_EQ(record[255], kFill);
}

TEST(FileVersion, LeavesTheRestOfEachTextFieldAlone) {
  std::vector<uint8_t> record(300, kFill);
  static_cast<void>(GetFileVersion(record.data()));
  // The product name takes 25 bytes of its 80: bytes 39-93 are the caller's.
  for (size_t i = 39; i <= 93; ++i) EXPECT_EQ(record[i], kFill) << "byte " << i;
  const size_t editionEnd = 94 + sizeof(kEditionText);
  for (size_t i = editionEnd; i < 174; ++i) EXPECT_EQ(record[i], kFill) << "byte " << i;
  const size_t legalEnd = 174 + sizeof(kLegalNotice);
  for (size_t i = legalEnd; i < 254; ++i) EXPECT_EQ(record[i], kFill) << "byte " << i;
}

TEST(FileVersion, NullRecordIsIgnored) { EXPECT_EQ(GetFileVersion(nullptr), 0u); }

}  // namespace
}  // namespace quillet
