// The text form of `quillet dump`, rendered from the dump document.
#include <cstdio>
#include <map>
#include <string>

#include "tools/quillet/module_dump.h"
#include "tools/quillet/text_format.h"

namespace quillet::tool {
namespace {

using Json = nlohmann::ordered_json;

std::string Scalar(const Json& value) {
  if (value.is_string()) return value.get<std::string>();
  return value.dump();
}

// "name", then the operands and whatever marks the instruction carries.
std::string InstructionText(const Json& ins) {
  std::string text = ins["name"].get<std::string>();
  text.resize(std::max<size_t>(text.size(), 22), ' ');
  for (const Json& operand : ins["operands"]) text += " " + operand.dump();
  if (ins.contains("target")) text += "  -> " + std::to_string(ins["target"].get<int64_t>());
  if (ins.contains("targets")) text += "  -> " + ins["targets"].dump();
  if (ins.contains("symbol")) text += "  ; " + ins["symbol"].get<std::string>();
  if (ins.contains("text")) text += "  ; \"" + ins["text"].get<std::string>() + "\"";
  if (ins.contains("mark") && ins["mark"].get<int>() != 0) text += "  [mark " + ins["mark"].dump() + "]";
  if (ins.contains("kind") && ins["kind"].get<int>() != 0) text += "  [kind " + ins["kind"].dump() + "]";
  if (ins.contains("case_targets")) text += "  [cases " + ins["case_targets"].dump() + "]";
  if (ins.value("case_line", false)) text += "  [case]";
  return text;
}

std::string Hex32(const Json& value) {
  std::string text;
  Append(text, "%08X", value.get<uint32_t>());
  return text;
}

}  // namespace

std::string RenderDumpText(const Json& dump) {
  std::string out;
  out += "Header\n";
  for (const auto& [name, value] : dump["header"].items()) {
    if (name == "scopes") {
      int n = 1;
      for (const Json& scope : value)
        Append(out, "  scope %d: %d entries, first %d, last %d\n", n++, scope["count"].get<int>(),
               scope["first"].get<int>(), scope["last"].get<int>());
    } else {
      Append(out, "  %-24s %s\n", name.c_str(), Scalar(value).c_str());
    }
  }
  if (!dump["prefix"].is_null()) Append(out, "  action prefix            %s\n", dump["prefix"].dump().c_str());

  out += "\nSections\n";
  for (const Json& s : dump["sections"]) {
    Append(out, "  %3d  %-22s %8lld", s["type"].get<int>(), s["name"].get<std::string>().c_str(),
           static_cast<long long>(s["length"].get<int64_t>()));
    if (s.contains("segments") && !s["segments"].empty()) out += "  segments " + s["segments"].dump();
    out += "\n";
  }

  const Json& sum = dump["checksum"];
  const std::string stored = sum["stored"].is_null() ? std::string("none") : Hex32(sum["stored"]);
  Append(out, "\nChecksum  stored %s, computed %s (%s)\n", stored.c_str(), Hex32(sum["computed"]).c_str(),
         sum["matches"].get<bool>() ? "matches" : "DIFFERS");

  Append(out, "\nStrings (%zu)\n", dump["strings"].size());
  for (const Json& s : dump["strings"])
    Append(out, "  %6lld  \"%s\"\n", static_cast<long long>(s["offset"].get<int64_t>()),
           s["text"].get<std::string>().c_str());

  out += "\nSymbols\n";
  std::map<int64_t, size_t> depth;  // handle -> indentation
  for (const Json& s : dump["symbols"]) {
    const int64_t parent = s["parent"].get<int64_t>();
    const size_t d = parent == 0 || depth.count(parent) == 0 ? 0 : depth[parent] + 1;
    depth[s["handle"].get<int64_t>()] = d;
    Append(out, "  %6lld %s%-12s %s  (kind %d, flags 0x%04X)\n", static_cast<long long>(s["handle"].get<int64_t>()),
           std::string(2 * d, ' ').c_str(), s["kind_name"].get<std::string>().c_str(),
           s["name"].get<std::string>().c_str(), s["kind"].get<int>(), s["flags"].get<unsigned>());
  }

  out += "\nProcedures\n";
  for (const Json& p : dump["procedures"]) {
    Append(out, "  %s  (handle %lld, owner %lld, flags 0x%04X, code at %lld)\n", p["name"].get<std::string>().c_str(),
           static_cast<long long>(p["handle"].get<int64_t>()), static_cast<long long>(p["owner"].get<int64_t>()),
           p["flags"].get<unsigned>(), static_cast<long long>(p["code_offset"].get<int64_t>()));
    if (!p["decoded"].get<bool>()) out += "    (the code does not decode)\n";
    for (const Json& ins : p["instructions"]) {
      Append(out, "    %6lld  %s\n", static_cast<long long>(ins["offset"].get<int64_t>()), InstructionText(ins).c_str());
      if (ins.contains("annotations"))
        for (const Json& a : ins["annotations"])
          Append(out, "            ; %s (at %lld)\n", a["text"].get<std::string>().c_str(),
                 static_cast<long long>(a["offset"].get<int64_t>()));
    }
  }

  out += "\nClasses\n";
  if (dump["classes"].empty()) out += "  (none)\n";
  for (const Json& c : dump["classes"])
    Append(out, "  %s  members %s  methods %s\n", c["name"].get<std::string>().c_str(), c["members"].dump().c_str(),
           c["methods"].dump().c_str());
  out += "\nDeclarations\n";
  if (dump["declarations"].empty()) out += "  (none)\n";
  for (const Json& d : dump["declarations"])
    Append(out, "  %s  alias \"%s\"  library \"%s\"\n", d["name"].get<std::string>().c_str(),
           d["alias"].get<std::string>().c_str(), d["library"].get<std::string>().c_str());
  return out;
}

}  // namespace quillet::tool
