// Why a parser refused its input: where (the byte offset at which the field
// being read starts) and why, for every reader of foreign bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillet {

struct ParseError {
  size_t Offset = 0;
  std::string Field;
  std::string Text;  // the whole message: "<subject> refused at byte N, <field>: <why>"

  // Records the refusal of `subject` ("report", "module"); always false, so a
  // reader can `return error.Refuse(...)`.
  bool Refuse(std::string_view subject, size_t offset, std::string_view field, std::string_view why) {
    Offset = offset;
    Field = std::string(field);
    Text = std::string(subject) + " refused at byte " + std::to_string(offset) + ", " + Field + ": " +
           std::string(why);
    return false;
  }
};

}  // namespace quillet
