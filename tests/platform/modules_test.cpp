// Tests of the module registry behind GetModuleHandle / GetProcAddress.
#include <gtest/gtest.h>

#include "platform/platform.h"

namespace quillet::platform {
namespace {

int gFirst = 1;
int gSecond = 2;

TEST(Modules, NamesIgnoreCaseAndDllSuffix) {
  RegisterModule(u"testmod", std::map<std::string, void*>{{"OSLoad", &gFirst}});
  const ModuleHandle module = GetModuleHandle(u"TESTMOD.DLL");
  ASSERT_NE(module, 0u);
  EXPECT_EQ(GetModuleHandle(u"TestMod"), module);
  EXPECT_EQ(GetModuleHandle(u"testmod.dll"), module);
  EXPECT_EQ(GetModuleHandle(u"testmod2"), 0u);
  EXPECT_EQ(GetModuleHandle(u"testmod.dl"), 0u);
  EXPECT_EQ(GetProcAddress(module, "OSLoad"), &gFirst);
  EXPECT_EQ(GetProcAddress(module, "osload"), nullptr);  // export names are exact
  EXPECT_EQ(GetProcAddress(module, "Missing"), nullptr);
  EXPECT_EQ(GetProcAddress(0, "OSLoad"), nullptr);
  RegisterModule(u"testmod", std::nullopt);
}

TEST(Modules, ReplaceKeepsHandleAndRemoveInvalidatesIt) {
  RegisterModule(u"Other.dll", std::map<std::string, void*>{{"A", &gFirst}});
  const ModuleHandle module = GetModuleHandle(u"other");
  RegisterModule(u"OTHER", std::map<std::string, void*>{{"B", &gSecond}});
  EXPECT_EQ(GetModuleHandle(u"other"), module);
  EXPECT_EQ(GetProcAddress(module, "A"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "B"), &gSecond);
  RegisterModule(u"other.DLL", std::nullopt);
  EXPECT_EQ(GetModuleHandle(u"other"), 0u);
  EXPECT_EQ(GetProcAddress(module, "B"), nullptr);
}

}  // namespace
}  // namespace quillet::platform
