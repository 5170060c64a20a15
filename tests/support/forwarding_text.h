// Text services that hand translation and comparison to other services and
// know no shortcuts of their own (no units kept, no no-case keys): tests
// derive from it to count calls or change one answer.
#pragma once

#include <string>
#include <string_view>

#include "lsobject/module_text.h"

namespace quillet::kit {

class ForwardingText : public ModuleText {
 public:
  explicit ForwardingText(const ModuleText& host) : host_(host) {}
  std::string ToHost(std::u16string_view units) const override { return host_.ToHost(units); }
  std::u16string ToUnicode(std::string_view text) const override { return host_.ToUnicode(text); }
  int Compare(std::string_view a, std::string_view b, uint16_t option) const override {
    return host_.Compare(a, b, option);
  }

 private:
  const ModuleText& host_;
};

}  // namespace quillet::kit
