// Exceptions of the module model: thrown by string and jump-target lookups,
// caught where a procedure is decoded; they never leave the module model.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace quillet {

// A malformed string offset inside a module's string table.
class CAssertionError : public std::exception {
 public:
  explicit CAssertionError(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const noexcept { return message_; }

 private:
  std::string message_;  // owned copy of the formatted text
};

// Byte code or a jump target that does not fit the procedure being decoded.
class CIllegalArgumentException : public std::exception {
 public:
  explicit CIllegalArgumentException(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const noexcept { return message_; }

 private:
  std::string message_;
};

}  // namespace quillet
