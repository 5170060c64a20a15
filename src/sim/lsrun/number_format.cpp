// Number patterns of Format: sections, digit placeholders, literal text.
#include "sim/lsrun/number_format.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "sim/lsrun/value.h"

namespace quillet::lsrun {
namespace {

// One section of a pattern: the digits' layout and the text around them.
struct Section {
  std::string prefix;
  std::string suffix;
  int minInt = 0;    // integer digits always shown
  int decimals = 0;  // digits after the point
  bool group = false;
  bool percent = false;
};

bool IsPlaceholder(char c) { return c == '0' || c == '#' || c == '.'; }

// The sections, split at `;` outside quotes.
std::vector<std::string_view> SplitSections(std::string_view p) {
  std::vector<std::string_view> out;
  bool quoted = false;
  size_t start = 0;
  for (size_t k = 0; k < p.size(); ++k) {
    if (p[k] == '"') quoted = !quoted;
    if (p[k] == '\\' && !quoted) ++k;
    if (k < p.size() && p[k] == ';' && !quoted) {
      out.push_back(p.substr(start, k - start));
      start = k + 1;
    }
  }
  out.push_back(p.substr(start));
  return out;
}

Section ParseSection(std::string_view s) {
  Section out;
  bool started = false, afterDot = false;
  for (size_t k = 0; k < s.size(); ++k) {
    const char c = s[k];
    std::string literal;
    if (IsPlaceholder(c) || (c == ',' && started)) {
      started = true;
      if (c == '.') afterDot = true;
      else if (c == ',') out.group = true;
      else if (afterDot) ++out.decimals;
      else if (c == '0') ++out.minInt;
      continue;
    }
    if (c == '"') {
      const size_t close = s.find('"', k + 1);
      const size_t end = close == std::string_view::npos ? s.size() : close;
      literal = std::string(s.substr(k + 1, end - k - 1));
      k = end;
    } else if (c == '\\' && k + 1 < s.size()) {
      literal = std::string(1, s[++k]);
    } else {
      if (c == '%') out.percent = true;
      literal = std::string(1, c);
    }
    (started ? out.suffix : out.prefix) += literal;
  }
  return out;
}

Section Named(std::string_view upper, bool& named) {
  Section s;
  named = true;
  s.minInt = 1;
  s.decimals = 2;
  if (upper == "FIXED") return s;
  if (upper == "STANDARD") return (s.group = true, s);
  if (upper == "PERCENT") return (s.percent = true, s.suffix = "%", s);
  named = false;
  return Section{};
}

// The digits of |v| laid out by `s`, without sign or literal text.
std::string Digits(double v, const Section& s) {
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*f", s.decimals, std::fabs(v));
  const std::string digits = buf;
  const size_t dot = digits.find('.');
  std::string ip = digits.substr(0, dot);
  const std::string fp = dot == std::string::npos ? "" : digits.substr(dot);
  // Without a 0 before the point, a zero integer part disappears (".5").
  if (ip == "0" && s.minInt == 0) ip.clear();
  while (static_cast<int>(ip.size()) < s.minInt) ip.insert(0, "0");
  if (s.group) {
    for (int k = static_cast<int>(ip.size()) - 3; k > 0; k -= 3) ip.insert(static_cast<size_t>(k), ",");
  }
  return ip + fp;
}

}  // namespace

std::string FormatNumber(double v, std::string_view pattern) {
  std::string upper(pattern);
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  if (upper == "GENERAL NUMBER") {
    std::string t;
    (void)FormatValue(Value::Double(v), t);
    return t;
  }
  bool named = false;
  Section s = Named(upper, named);
  bool signShown = true;  // a negative section shows its own sign, if any
  if (!named) {
    const std::vector<std::string_view> sections = SplitSections(pattern);
    std::string_view chosen = sections[0];
    if (v < 0 && sections.size() > 1 && !sections[1].empty()) {
      chosen = sections[1];
      signShown = false;
    } else if (v == 0 && sections.size() > 2 && !sections[2].empty()) {
      chosen = sections[2];
    }
    s = ParseSection(chosen);
  }
  if (s.percent) v *= 100;
  const std::string digits = Digits(v, s);
  const bool negative = signShown && v < 0 && digits.find_first_not_of("0.,") != std::string::npos;
  return (negative ? "-" : "") + s.prefix + digits + s.suffix;
}

}  // namespace quillet::lsrun
