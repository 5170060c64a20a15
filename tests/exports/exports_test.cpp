// The built hook driver: its export list, and that the exports work when the
// library is loaded the way the host loads it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "exports/elf_symbols.h"
#include "util/bytes.h"

namespace quillet {
namespace {

const std::set<std::string> kOurExports = {
    "MainEntryPoint", "Term",           "HookNoteOpen_Server", "HookNoteOpen_Client", "HookNoteUpdate",
    "HookDbStampNotes", "GetFileVersion", "KVXFunctionTimer",    "KVXLineTimer",
};

class LoadedDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(QUILLET_NQUILLET_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (handle_ != nullptr) dlclose(handle_);
  }
  template <typename Fn>
  Fn Get(const char* name) {
    return reinterpret_cast<Fn>(dlsym(handle_, name));
  }
  void* handle_ = nullptr;
};

TEST(ExportList, OursAndSeventyFourDrawingFunctionsAndNothingElse) {
  const auto symbols = testing::DefinedDynamicSymbols(QUILLET_NQUILLET_PATH);
  ASSERT_TRUE(symbols.has_value());
  std::set<std::string> drawing;
  std::set<std::string> other;
  for (const std::string& name : *symbols) {
    if (kOurExports.contains(name)) continue;
    (name.starts_with("gd") ? drawing : other).insert(name);
  }
  for (const std::string& name : kOurExports) EXPECT_TRUE(symbols->contains(name)) << name;
  EXPECT_EQ(drawing.size(), 74u);
  EXPECT_TRUE(drawing.contains("gdImageAABlend"));
  EXPECT_TRUE(other.empty()) << "unexpected export: " << *other.begin();
}

TEST_F(LoadedDriver, EveryExportResolvesByItsUndecoratedName) {
  const auto symbols = testing::DefinedDynamicSymbols(QUILLET_NQUILLET_PATH);
  ASSERT_TRUE(symbols.has_value());
  for (const std::string& name : *symbols) EXPECT_NE(dlsym(handle_, name.c_str()), nullptr) << name;
  // Core internals stay inside.
  EXPECT_EQ(dlsym(handle_, "_ZN7quillet5NotesEv"), nullptr);
}

TEST_F(LoadedDriver, DrawingFunctionsReachLibgd) {
  using Create = void* (*)(int, int);
  using Allocate = int (*)(void*, int, int, int);
  using SetPixel = void (*)(void*, int, int, int);
  using GetPixel = int (*)(void*, int, int);
  using Destroy = void (*)(void*);
  using Blend = void (*)(void*);
  auto create = Get<Create>("gdImageCreate");
  auto allocate = Get<Allocate>("gdImageColorAllocate");
  auto setPixel = Get<SetPixel>("gdImageSetPixel");
  auto getPixel = Get<GetPixel>("gdImageGetPixel");
  auto destroy = Get<Destroy>("gdImageDestroy");
  auto blend = Get<Blend>("gdImageAABlend");
  ASSERT_TRUE(create && allocate && setPixel && getPixel && destroy && blend);

  void* image = create(4, 3);
  ASSERT_NE(image, nullptr);
  allocate(image, 0, 0, 0);  // the first colour becomes the background
  const int red = allocate(image, 255, 0, 0);
  setPixel(image, 2, 1, red);
  blend(image);  // does nothing, and in particular does not disturb the image
  EXPECT_EQ(getPixel(image, 2, 1), red);
  EXPECT_NE(getPixel(image, 1, 1), red);
  destroy(image);
}

TEST_F(LoadedDriver, SmallExportsWorkWithoutAHost) {
  using FileVersion = uint32_t (*)(void*);
  using Stamp = uint32_t (*)(void*, const char*, void*, uint32_t, uint32_t, const char*, uint16_t, void*, uint16_t);
  auto fileVersion = Get<FileVersion>("GetFileVersion");
  auto stamp = Get<Stamp>("HookDbStampNotes");
  ASSERT_TRUE(fileVersion && stamp);

  std::vector<uint8_t> record(300, 0xAA);
  EXPECT_EQ(fileVersion(record.data()), 0u);
  EXPECT_EQ(LoadU16(record.data() + 6), 5028);

  uint8_t block[8] = {1, 0, 0, 0, 0, 0, 0, 0};
  const char name[] = "$QUILLET_MESSAGE";
  EXPECT_EQ(stamp(nullptr, nullptr, nullptr, 0, 0, name, 16, block, 8), 0x3300u);
  EXPECT_EQ(LoadU32(block + 4), 68369u);
}

}  // namespace
}  // namespace quillet
