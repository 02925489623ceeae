#include "tests/support/json_check.h"

#include <cctype>
#include <cstring>

namespace solvarium_test {
namespace {

class Checker {
 public:
  explicit Checker(const std::string& text) : t_(text) {}

  bool document() {
    skipSpace();
    if (!value(0)) return false;
    skipSpace();
    return at_ == t_.size() || fail("trailing text");
  }
  std::string error;

 private:
  bool fail(const char* what) {
    if (error.empty()) error = std::string(what) + " at offset " + std::to_string(at_);
    return false;
  }
  bool more() const { return at_ < t_.size(); }
  char peek() const { return more() ? t_[at_] : '\0'; }
  void skipSpace() {
    while (more() && std::strchr(" \t\r\n", t_[at_]) != nullptr) ++at_;
  }
  bool literal(const char* word) {
    const std::size_t n = std::strlen(word);
    if (t_.compare(at_, n, word) != 0) return fail("bad literal");
    at_ += n;
    return true;
  }
  bool digits() {
    if (!std::isdigit(static_cast<unsigned char>(peek()))) return fail("digit expected");
    while (std::isdigit(static_cast<unsigned char>(peek()))) ++at_;
    return true;
  }
  bool number() {
    if (peek() == '-') ++at_;
    if (peek() == '0') {
      ++at_;
    } else if (!digits()) {
      return false;
    }
    if (peek() == '.') {
      ++at_;
      if (!digits()) return false;
    }
    if (peek() == 'e' || peek() == 'E') {
      ++at_;
      if (peek() == '+' || peek() == '-') ++at_;
      if (!digits()) return false;
    }
    return true;
  }
  bool string() {
    ++at_;  // opening quote
    while (more()) {
      const unsigned char c = static_cast<unsigned char>(t_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return fail("control character in string");
      if (c >= 0x80 && !utf8Character(c)) return fail("invalid UTF-8 in string");
      if (c == '\\') {
        const char e = peek();
        ++at_;
        if (e == 'u') {
          for (int i = 0; i < 4; ++i, ++at_) {
            if (!std::isxdigit(static_cast<unsigned char>(peek()))) return fail("bad \\u escape");
          }
        } else if (std::strchr("\"\\/bfnrt", e) == nullptr || e == '\0') {
          return fail("bad escape");
        }
      }
    }
    return fail("unterminated string");
  }
  // The rest of a multi-byte character whose first byte `lead` has just been
  // read: decoded, then refused when overlong, a surrogate or above U+10FFFF.
  bool utf8Character(unsigned char lead) {
    int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (more < 0 || lead > 0xF7) return false;
    unsigned long point = lead & (0x3F >> more);
    for (int i = 0; i < more; ++i, ++at_) {
      const unsigned char next = static_cast<unsigned char>(peek());
      if ((next & 0xC0) != 0x80) return false;
      point = (point << 6) | (next & 0x3F);
    }
    const unsigned long smallest[] = {0, 0x80, 0x800, 0x10000};
    return point >= smallest[more] && point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF);
  }
  bool value(int depth) {
    if (depth > 512) return fail("nesting too deep");
    skipSpace();
    const char c = peek();
    if (c == '{' || c == '[') {
      const char close = c == '{' ? '}' : ']';
      ++at_;
      skipSpace();
      if (peek() == close) {
        ++at_;
        return true;
      }
      while (true) {
        skipSpace();
        if (c == '{') {
          if (peek() != '"') return fail("member name expected");
          if (!string()) return false;
          skipSpace();
          if (peek() != ':') return fail("':' expected");
          ++at_;
        }
        if (!value(depth + 1)) return false;
        skipSpace();
        if (peek() == ',') {
          ++at_;
          continue;
        }
        if (peek() == close) {
          ++at_;
          return true;
        }
        return fail("',' or closing bracket expected");
      }
    }
    if (c == '"') return string();
    if (c == 't') return literal("true");
    if (c == 'f') return literal("false");
    if (c == 'n') return literal("null");
    if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) return number();
    return fail("value expected");
  }

  const std::string& t_;
  std::size_t at_ = 0;
};

}  // namespace

bool isValidJson(const std::string& text, std::string* error) {
  Checker checker(text);
  const bool ok = checker.document();
  if (!ok && error != nullptr) *error = checker.error;
  return ok;
}

}  // namespace solvarium_test
