// Tokeniser of the LotusScript subset.
#include "sim/lsc/lexer.h"
#include "util/ascii.h"
#include "util/line_breaks.h"
#include "util/utf8.h"

#include <cctype>
#include <cstdlib>
#include <string>

namespace quillet::lsc {
namespace {

bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsSuffix(char c) { return c == '%' || c == '&' || c == '!' || c == '#' || c == '@' || c == '$'; }
bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

std::string Upper(std::string_view s) { return AsciiUpper(s); }

// A character as an error message shows it: printable ASCII quoted, any other
// byte (a control character, a piece of UTF-8, binary input) by its value, so
// that a message never carries raw control bytes to a terminal.
std::string Shown(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x20 && byte < 0x7F) return std::string("'") + c + "'";
  static constexpr char kHex[] = "0123456789ABCDEF";
  return std::string("byte 0x") + kHex[byte >> 4] + kHex[byte & 0xF];
}

class Lexer {
 public:
  Lexer(std::string_view src, std::vector<CompileError>& errors) : src_(src), errors_(errors) {}

  std::vector<Token> Run() {
    // A byte order mark before the first line is skipped; columns count after it.
    pos_ = src_.size() - WithoutByteOrderMark(src_).size();
    while (pos_ < src_.size()) Step();
    Push(Tok::kNewline, "", line_, col_);
    Push(Tok::kEnd, "", line_, col_);
    return std::move(tokens_);
  }

 private:
  char Peek(size_t ahead = 0) const {
    return pos_ + ahead < src_.size() ? src_[pos_ + ahead] : '\0';
  }
  void Advance() {
    if (pos_ >= src_.size()) return;
    // CR LF, LF and a lone CR each end one line (old Mac exports use CR).
    if (EndsLineAt(src_, pos_)) {
      ++line_;
      col_ = 1;
    } else {
      ++col_;
    }
    ++pos_;
  }
  void Error(int line, int col, std::string msg) {
    if (errors_.size() < kMaxCompileErrors) errors_.push_back({line, col, std::move(msg)});
  }
  void Push(Tok kind, std::string text, int line, int col) {
    Token t;
    t.kind = kind;
    t.line = line;
    t.column = col;
    if (kind == Tok::kIdent) t.upper = Upper(text);
    t.text = std::move(text);
    tokens_.push_back(std::move(t));
  }
  bool AtStatementStart() const {
    return tokens_.empty() || tokens_.back().kind == Tok::kNewline || tokens_.back().kind == Tok::kColon;
  }
  bool AtLineStart() const { return tokens_.empty() || tokens_.back().kind == Tok::kNewline; }
  void SkipToEol() {
    while (pos_ < src_.size() && Peek() != '\n' && Peek() != '\r') Advance();
  }
  void EndLine() {
    int l = line_, c = col_;
    if (Peek() == '\r') Advance();
    if (Peek() == '\n') Advance();
    Push(Tok::kNewline, "", l, c);
  }

  // "_" after a blank, followed only by blanks or a comment up to the end of
  // the line, joins the next line to this one.
  bool TryContinuation() {
    if (pos_ > 0 && !IsBlank(src_[pos_ - 1])) return false;
    size_t p = pos_ + 1;
    while (p < src_.size() && IsBlank(src_[p])) ++p;
    if (p < src_.size() && src_[p] != '\n' && src_[p] != '\r' && src_[p] != '\'') return false;
    SkipToEol();
    if (Peek() == '\r') Advance();
    if (Peek() == '\n') Advance();
    return true;
  }

  // %Rem ... %End Rem: a block comment spanning whole lines.
  bool TryRemBlock() {
    if (!AtLineStart() || Upper(src_.substr(pos_, 4)) != "%REM") return false;
    int l = line_, c = col_;
    while (pos_ < src_.size()) {
      SkipToEol();
      if (pos_ >= src_.size()) break;
      // The line ends in CR LF, LF or a lone CR, which may be the last byte.
      if (Peek() == '\r') Advance();
      if (Peek() == '\n') Advance();
      size_t p = pos_;
      while (p < src_.size() && IsBlank(src_[p])) ++p;
      if (Upper(src_.substr(p, 8)) == "%END REM") {
        SkipToEol();
        return true;
      }
    }
    Error(l, c, "%Rem block without %End Rem");
    return true;
  }

  void Name() {
    int l = line_, c = col_;
    size_t start = pos_;
    while (pos_ < src_.size() && IsNameChar(Peek())) Advance();
    std::string text(src_.substr(start, pos_ - start));
    if (AtStatementStart() && Upper(text) == "REM" &&
        (pos_ >= src_.size() || !IsNameChar(Peek()))) {
      SkipToEol();
      return;
    }
    // A suffix character right after the name types it ("count%", "Mid$");
    // "a&b" stays a concatenation.
    char suffix = 0;
    if (IsSuffix(Peek()) && !IsNameChar(Peek(1))) {
      suffix = Peek();
      Advance();
    }
    Push(Tok::kIdent, std::move(text), l, c);
    tokens_.back().suffix = suffix;
  }

  // A decimal literal with a fraction or an exponent, or one beyond a Long.
  void Real(int l, int c, size_t start) {
    if (Peek() == '.') {
      Advance();
      while (IsDigit(Peek())) Advance();
    }
    if ((Peek() == 'E' || Peek() == 'e') &&
        (IsDigit(Peek(1)) || ((Peek(1) == '+' || Peek(1) == '-') && IsDigit(Peek(2))))) {
      Advance();
      if (Peek() == '+' || Peek() == '-') Advance();
      while (IsDigit(Peek())) Advance();
    }
    Token t;
    t.kind = Tok::kNumber;
    t.line = l;
    t.column = c;
    t.isReal = true;
    t.text = std::string(src_.substr(start, pos_ - start));
    t.real = std::strtod(t.text.c_str(), nullptr);
    if (IsSuffix(Peek()) && Peek() != '$') {
      t.suffix = Peek();
      Advance();
    }
    if (IsNameChar(Peek())) {
      Error(line_, col_, "invalid character in number");
      while (pos_ < src_.size() && IsNameChar(Peek())) Advance();
    }
    if (t.suffix == '%' || t.suffix == '&') Error(l, c, "a number with a fraction cannot have the suffix '" + std::string(1, t.suffix) + "'");
    tokens_.push_back(std::move(t));
  }

  void Number(int base, size_t digitsFrom) {
    int l = line_, c = col_;
    if (base == 10) {
      // Look ahead: a fraction, an exponent or a value beyond a Long makes
      // the literal a floating-point one.
      size_t p = pos_;
      while (p < src_.size() && IsDigit(src_[p])) ++p;
      const bool fraction = p < src_.size() && src_[p] == '.' && (p + 1 >= src_.size() || !std::isalpha(static_cast<unsigned char>(src_[p + 1])) || src_[p + 1] == 'e' || src_[p + 1] == 'E');
      const bool exponent = p + 1 < src_.size() && (src_[p] == 'E' || src_[p] == 'e') &&
                            (IsDigit(src_[p + 1]) || ((src_[p + 1] == '+' || src_[p + 1] == '-') && p + 2 < src_.size() && IsDigit(src_[p + 2])));
      const std::string digits(src_.substr(pos_, p - pos_));
      const bool big = digits.size() > 10 || (!digits.empty() && std::stoull(digits) > 0x7FFFFFFFull);
      const bool realSuffix = p < src_.size() && (src_[p] == '!' || src_[p] == '#' || src_[p] == '@');
      if (fraction || exponent || big || realSuffix || digits.empty()) {
        const size_t start = pos_;
        while (IsDigit(Peek())) Advance();
        return Real(l, c, start);
      }
    }
    while (pos_ < digitsFrom) Advance();
    uint64_t value = 0;
    bool overflow = false, any = false;
    while (pos_ < src_.size()) {
      char ch = Peek();
      int d = std::isdigit(static_cast<unsigned char>(ch)) ? (base == 8 && ch > '7' ? -1 : ch - '0')
              : (base == 16 && std::isxdigit(static_cast<unsigned char>(ch)))
                  ? std::toupper(static_cast<unsigned char>(ch)) - 'A' + 10
                  : -1;
      if (d < 0) break;
      value = value * base + d;
      if (value > 0xFFFFFFFFull) overflow = true;
      any = true;
      Advance();
    }
    char suffix = 0;
    if (Peek() == '%' || Peek() == '&') {
      suffix = Peek();
      Advance();
    }
    if (IsNameChar(Peek())) {
      Error(line_, col_, "invalid character in number");
      while (pos_ < src_.size() && IsNameChar(Peek())) Advance();
    }
    if (!any) {
      Error(l, c, base == 16 ? "hexadecimal number without digits" : "octal number without digits");
    } else if (overflow || (base == 10 && value > 0x7FFFFFFFull)) {
      Error(l, c, "number too large");
    }
    Token t;
    t.kind = Tok::kNumber;
    t.line = l;
    t.column = c;
    // &H and &O literals are 32-bit patterns: &HFFFFFFFF is -1; with "%"
    // a 16-bit one: &HFFFF% is -1.
    t.number = base != 10 ? static_cast<int32_t>(static_cast<uint32_t>(value)) : static_cast<int64_t>(value);
    if (base != 10 && suffix == '%') {
      if (value > 0xFFFF) Error(l, c, "number too large for an Integer");
      t.number = static_cast<int16_t>(static_cast<uint16_t>(value));
    }
    if (base == 10 && suffix == '%' && value > 32767) Error(l, c, "number too large for an Integer");
    t.suffix = suffix;
    t.text = std::string(src_.substr(digitsFrom, pos_ - digitsFrom));
    tokens_.push_back(std::move(t));
  }

  void String() {
    int l = line_, c = col_;
    Advance();
    std::string text;
    while (true) {
      if (pos_ >= src_.size() || Peek() == '\n' || Peek() == '\r') {
        Error(l, c, "string literal is not closed");
        break;
      }
      if (Peek() == '"') {
        Advance();
        if (Peek() != '"') break;
      }
      text.push_back(Peek());
      Advance();
    }
    Push(Tok::kString, std::move(text), l, c);
  }

  void Symbol() {
    int l = line_, c = col_;
    char ch = Peek();
    char next = Peek(1);
    auto one = [&](Tok k) { Advance(); Push(k, std::string(1, ch), l, c); };
    auto two = [&](Tok k) { Advance(); Advance(); Push(k, std::string{ch, next}, l, c); };
    switch (ch) {
      case ':': return one(Tok::kColon);
      case ',': return one(Tok::kComma);
      case ';': return one(Tok::kSemicolon);
      case '.': return one(Tok::kDot);
      case '#': return one(Tok::kHash);  // a file number: Print #1
      case '(': return one(Tok::kLParen);
      case ')': return one(Tok::kRParen);
      case '+': return one(Tok::kPlus);
      case '-': return one(Tok::kMinus);
      case '*': return one(Tok::kStar);
      case '/': return one(Tok::kSlash);
      case '\\': return one(Tok::kBackslash);
      case '^': return one(Tok::kCaret);
      case '&': return one(Tok::kAmp);
      case '=': return one(Tok::kEq);
      case '<':
        if (next == '=') return two(Tok::kLe);
        if (next == '>') return two(Tok::kNe);
        return one(Tok::kLt);
      case '>':
        if (next == '=') return two(Tok::kGe);
        return one(Tok::kGt);
      default:
        break;
    }
    // A run of them (binary input, a paste in another encoding) is one fault:
    // its first character is named, the rest of the run is not.
    if (pos_ != unexpectedEnd_) Error(l, c, "unexpected character " + Shown(ch));
    Advance();
    unexpectedEnd_ = pos_;
  }

  void Step() {
    char c = Peek();
    if (IsBlank(c)) return Advance();
    if (c == '\r' || c == '\n') return EndLine();
    if (c == '\'') return SkipToEol();
    if (c == '_' && TryContinuation()) return;
    if (c == '%' && TryRemBlock()) return;
    if (IsNameStart(c)) return Name();
    if (std::isdigit(static_cast<unsigned char>(c)) || (c == '.' && IsDigit(Peek(1)))) return Number(10, pos_);
    if (c == '&' && (Peek(1) == 'H' || Peek(1) == 'h')) return Number(16, pos_ + 2);
    if (c == '&' && (Peek(1) == 'O' || Peek(1) == 'o')) return Number(8, pos_ + 2);
    if (c == '"') return String();
    Symbol();
  }

  std::string_view src_;
  std::vector<CompileError>& errors_;
  std::vector<Token> tokens_;
  size_t pos_ = 0;
  int line_ = 1;
  int col_ = 1;
  size_t unexpectedEnd_ = std::string_view::npos;  // just past the last unexpected character
};

}  // namespace

std::vector<Token> Tokenize(std::string_view source, std::vector<CompileError>& errors) {
  return Lexer(source, errors).Run();
}

}  // namespace quillet::lsc
