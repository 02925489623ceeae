// Helpers of the content properties of the fuzz targets: a source of small
// choices drawn from the fuzz bytes, to build structured input, and a JSON
// reader that reads an output (already checked valid) back into values:
// strings unescaped (\uXXXX as UTF-8), numbers kept as their text, members
// in document order.
#ifndef SOLVARIUM_TESTS_FUZZ_CONTENT_CHECK_H_
#define SOLVARIUM_TESTS_FUZZ_CONTENT_CHECK_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "tests/fuzz/fuzz_check.h"

namespace solvarium_fuzz {

struct JsonValue {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  std::string text;  // a string's characters, a number's or a literal's spelling
  std::vector<JsonValue> items;
  std::vector<std::pair<std::string, JsonValue>> members;
};

class JsonReader {
 public:
  explicit JsonReader(const std::string& text) : text_(text) {}

  // The one value of the text; a property failure when it is not valid.
  JsonValue document() {
    JsonValue value = read();
    blanks();
    check(at_ == text_.size(), "text after the JSON value", text_);
    return value;
  }

 private:
  void blanks() {
    while (at_ < text_.size() && std::string(" \t\r\n").find(text_[at_]) != std::string::npos) {
      ++at_;
    }
  }
  char next() {
    check(at_ < text_.size(), "JSON ends early", text_);
    return text_[at_++];
  }
  void expect(char c) { check(next() == c, std::string("JSON lacks '") + c + "'", text_); }

  void appendUtf8(unsigned long code, std::string* out) {
    if (code < 0x80) {
      *out += static_cast<char>(code);
    } else if (code < 0x800) {
      *out += static_cast<char>(0xc0 | (code >> 6));
      *out += static_cast<char>(0x80 | (code & 0x3f));
    } else if (code < 0x10000) {
      *out += static_cast<char>(0xe0 | (code >> 12));
      *out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
      *out += static_cast<char>(0x80 | (code & 0x3f));
    } else {
      *out += static_cast<char>(0xf0 | (code >> 18));
      *out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
      *out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
      *out += static_cast<char>(0x80 | (code & 0x3f));
    }
  }
  unsigned long hex4() {
    check(at_ + 4 <= text_.size(), "short \\u escape", text_);
    const unsigned long code = std::strtoul(text_.substr(at_, 4).c_str(), nullptr, 16);
    at_ += 4;
    return code;
  }
  std::string string() {
    expect('"');
    std::string out;
    for (;;) {
      const char c = next();
      if (c == '"') return out;
      if (c != '\\') {
        out += c;
        continue;
      }
      const char e = next();
      switch (e) {
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          unsigned long code = hex4();
          if (code >= 0xd800 && code < 0xdc00 && text_.compare(at_, 2, "\\u") == 0) {
            at_ += 2;
            code = 0x10000 + ((code - 0xd800) << 10) + (hex4() - 0xdc00);
          }
          appendUtf8(code, &out);
          break;
        }
        default: out += e; break;
      }
    }
  }
  JsonValue read() {
    blanks();
    JsonValue value;
    check(at_ < text_.size(), "JSON ends early", text_);
    const char c = text_[at_];
    if (c == '{') {
      value.kind = JsonValue::kObject;
      ++at_;
      blanks();
      if (at_ < text_.size() && text_[at_] == '}') return ++at_, value;
      for (;;) {
        blanks();
        std::string name = string();
        blanks();
        expect(':');
        value.members.emplace_back(std::move(name), read());
        blanks();
        if (next() == '}') return value;
      }
    }
    if (c == '[') {
      value.kind = JsonValue::kArray;
      ++at_;
      blanks();
      if (at_ < text_.size() && text_[at_] == ']') return ++at_, value;
      for (;;) {
        value.items.push_back(read());
        blanks();
        if (next() == ']') return value;
      }
    }
    if (c == '"') {
      value.kind = JsonValue::kString;
      value.text = string();
      return value;
    }
    const std::size_t end = text_.find_first_of(" \t\r\n,]}", at_);
    value.text = text_.substr(at_, end - at_);
    at_ = end == std::string::npos ? text_.size() : end;
    value.kind = value.text == "null"                            ? JsonValue::kNull
                 : value.text == "true" || value.text == "false" ? JsonValue::kBool
                                                                 : JsonValue::kNumber;
    return value;
  }

  const std::string& text_;
  std::size_t at_ = 0;
};

// The value of `text`, which checkJson has accepted.
inline JsonValue readJson(const std::string& text) { return JsonReader(text).document(); }

// Draws small choices from the fuzz bytes; zeros once they run out.
class ByteSource {
 public:
  ByteSource(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  unsigned byte() { return at_ < size_ ? data_[at_++] : 0u; }
  // A number in [0, n).
  std::size_t below(std::size_t n) { return n == 0 ? 0 : byte() % n; }
  bool flip() { return (byte() & 1u) != 0; }
  // One of `choices`.
  template <typename T, std::size_t N>
  const T& pick(const T (&choices)[N]) {
    return choices[below(N)];
  }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace solvarium_fuzz

#endif  // SOLVARIUM_TESTS_FUZZ_CONTENT_CHECK_H_
