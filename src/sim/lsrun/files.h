// The files a run has open by number (Open ... As #n): sequential text
// files read line by line or field by field, or written with Print #. Every
// file still open is closed when the run ends.
#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <string>

namespace quillet::lsrun {

enum class FileMode : uint8_t { kInput = 1, kOutput = 2, kAppend = 3 };

class FileTable {
 public:
  // File numbers run from 1 to 255, as FreeFile hands them out.
  static constexpr int kMaxNumber = 255;

  // Each returns 0 or a runtime error number, leaving the table as it was
  // on error.
  int Open(const std::string& path, int mode, int number);
  int Close(int number);
  void CloseAll() { files_.clear(); }
  // The lowest number not in use (0 when all are: "Too many files").
  int FreeNumber() const;
  int AtEnd(int number, bool& atEnd);
  // Appends `text` to the file's line; `newline` ends the line.
  int Write(int number, const std::string& text, bool newline);
  // The column the file's current line has reached, for print zones.
  int Column(int number, size_t& column) const;
  // The next line without its end (CR LF or LF).
  int ReadLine(int number, std::string& line);
  // The next field: a quoted text, a number (up to a blank, comma or line
  // end), or the text up to the next comma or line end without the blanks
  // around it; one comma or line end after it is passed over.
  int ReadField(int number, std::string& field, bool& quoted);

 private:
  struct File {
    std::fstream stream;
    FileMode mode = FileMode::kInput;
    size_t column = 0;
  };
  int Find(int number, FileMode want, File*& file);
  std::map<int, File> files_;
};

}  // namespace quillet::lsrun
