// Sequential text files by number.
#include "sim/lsrun/files.h"

#include "sim/lsrun/errors.h"

namespace quillet::lsrun {

int FileTable::Open(const std::string& path, int mode, int number) {
  if (number < 1 || number > kMaxNumber) return err::kBadFileNumber;
  if (files_.count(number) != 0) return err::kFileAlreadyOpen;
  std::ios::openmode how = std::ios::binary;
  switch (mode) {
    case static_cast<int>(FileMode::kInput): how |= std::ios::in; break;
    case static_cast<int>(FileMode::kOutput): how |= std::ios::out | std::ios::trunc; break;
    case static_cast<int>(FileMode::kAppend): how |= std::ios::out | std::ios::app; break;
    default: return err::kBadFileMode;
  }
  if (path.empty()) return err::kFileNotFound;
  File file;
  file.mode = static_cast<FileMode>(mode);
  file.stream.open(path, how);
  if (!file.stream.is_open()) {
    return file.mode == FileMode::kInput ? err::kFileNotFound : err::kPathFileAccessError;
  }
  files_.emplace(number, std::move(file));
  return 0;
}

int FileTable::Close(int number) {
  auto it = files_.find(number);
  if (it == files_.end()) return number >= 1 && number <= kMaxNumber ? 0 : err::kBadFileNumber;
  files_.erase(it);
  return 0;
}

int FileTable::FreeNumber() const {
  for (int n = 1; n <= kMaxNumber; ++n) {
    if (files_.count(n) == 0) return n;
  }
  return 0;
}

int FileTable::Find(int number, FileMode want, File*& file) {
  auto it = files_.find(number);
  if (it == files_.end()) return err::kBadFileNumber;
  const bool reading = it->second.mode == FileMode::kInput;
  if (reading != (want == FileMode::kInput)) return err::kBadFileMode;
  file = &it->second;
  return 0;
}

int FileTable::AtEnd(int number, bool& atEnd) {
  auto it = files_.find(number);
  if (it == files_.end()) return err::kBadFileNumber;
  File& f = it->second;
  atEnd = f.mode != FileMode::kInput || f.stream.peek() == std::char_traits<char>::eof();
  f.stream.clear();
  return 0;
}

int FileTable::Write(int number, const std::string& text, bool newline) {
  File* f = nullptr;
  if (int e = Find(number, FileMode::kOutput, f)) return e;
  // Lines end in CR LF, as the runtime writes them on every platform.
  f->stream << text;
  f->column += text.size();
  if (newline) {
    f->stream << "\r\n";
    f->column = 0;
  }
  return f->stream ? 0 : err::kPathFileAccessError;
}

int FileTable::Column(int number, size_t& column) const {
  auto it = files_.find(number);
  if (it == files_.end()) return err::kBadFileNumber;
  column = it->second.column;
  return 0;
}

int FileTable::ReadLine(int number, std::string& line) {
  File* f = nullptr;
  if (int e = Find(number, FileMode::kInput, f)) return e;
  if (f->stream.peek() == std::char_traits<char>::eof()) {
    f->stream.clear();
    return err::kInputPastEndOfFile;
  }
  std::getline(f->stream, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  f->stream.clear();
  return 0;
}

int FileTable::ReadField(int number, std::string& field, bool& quoted) {
  File* f = nullptr;
  if (int e = Find(number, FileMode::kInput, f)) return e;
  std::istream& in = f->stream;
  auto blank = [](int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (blank(in.peek())) in.get();
  if (in.peek() == std::char_traits<char>::eof()) {
    in.clear();
    return err::kInputPastEndOfFile;
  }
  field.clear();
  quoted = in.peek() == '"';
  auto numeric = [](int c) { return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E'; };
  const int first = in.peek();
  if (quoted) {
    in.get();
    for (int c = in.get(); c != std::char_traits<char>::eof() && c != '"'; c = in.get()) field += static_cast<char>(c);
  } else if ((first >= '0' && first <= '9') || first == '-' || first == '+' || first == '.') {
    // A number ends at a blank too, as Print # leaves numbers apart.
    while (numeric(in.peek())) field += static_cast<char>(in.get());
  } else {
    for (int c = in.peek(); c != std::char_traits<char>::eof() && c != ',' && c != '\n' && c != '\r'; c = in.peek()) {
      field += static_cast<char>(in.get());
    }
    while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) field.pop_back();
  }
  while (in.peek() == ' ' || in.peek() == '\t') in.get();
  // One separator: a comma, or the end of the line.
  if (in.peek() == ',') {
    in.get();
  } else {
    if (in.peek() == '\r') in.get();
    if (in.peek() == '\n') in.get();
  }
  in.clear();
  return 0;
}

}  // namespace quillet::lsrun
