#include "common/json_text.h"

#include "common/utf8_text.h"

namespace solvarium {

namespace {

// The escape of byte `c` inside a JSON string, or nullptr when it stays as
// it is; a control character without a short escape becomes \u00XX (6 bytes).
const char* shortEscape(unsigned char c) {
  switch (c) {
    case '"': return "\\\"";
    case '\\': return "\\\\";
    case '\b': return "\\b";
    case '\f': return "\\f";
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: return nullptr;
  }
}

bool needsEscape(unsigned char c) { return c < 0x20 || c == '"' || c == '\\'; }

// Size of jsonEscape(text).
std::size_t escapedSize(std::string_view text) {
  std::size_t out = text.size();
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (needsEscape(c)) out += shortEscape(c) != nullptr ? 1 : 5;
      ++i;
    } else if (const std::size_t length = utf8SequenceLength(text.substr(i))) {
      i += length;
    } else {
      ++out;  // a stray byte becomes two
      ++i;
    }
  }
  return out;
}

// Writes jsonEscape(text) at `out`; returns the end of it.
char* writeEscaped(char* out, std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (!needsEscape(c)) {
        *out++ = static_cast<char>(c);
      } else if (const char* escape = shortEscape(c)) {
        *out++ = escape[0];
        *out++ = escape[1];
      } else {
        const char unicode[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
        for (char u : unicode) *out++ = u;
      }
      ++i;
    } else if (const std::size_t length = utf8SequenceLength(text.substr(i))) {
      for (const std::size_t end = i + length; i < end; ++i) *out++ = text[i];
    } else {
      // The Latin-1 character of the byte's value, in UTF-8.
      *out++ = static_cast<char>(0xC0 | (c >> 6));
      *out++ = static_cast<char>(0x80 | (c & 0x3F));
      ++i;
    }
  }
  return out;
}

}  // namespace

std::size_t jsonQuotedSize(std::string_view text) { return escapedSize(text) + 2; }

char* writeJsonQuoted(char* out, std::string_view text) {
  *out++ = '"';
  out = writeEscaped(out, text);
  *out++ = '"';
  return out;
}

void appendJsonEscaped(std::string* out, std::string_view text) {
  const std::size_t at = out->size();
  out->resize(at + escapedSize(text));
  writeEscaped(&(*out)[at], text);
}

std::string jsonEscape(std::string_view text) {
  std::string out;
  appendJsonEscaped(&out, text);
  return out;
}

std::string jsonQuote(std::string_view text) {
  std::string out(jsonQuotedSize(text), '\0');
  writeJsonQuoted(&out[0], text);
  return out;
}

bool isJsonNumber(std::string_view s) {
  size_t i = 0, n = s.size();
  auto digit = [&](size_t k) { return k < n && s[k] >= '0' && s[k] <= '9'; };
  if (i < n && s[i] == '-') ++i;
  if (!digit(i)) return false;
  if (s[i] == '0') {
    ++i;
  } else {
    while (digit(i)) ++i;
  }
  if (i < n && s[i] == '.') {
    ++i;
    if (!digit(i)) return false;
    while (digit(i)) ++i;
  }
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
    if (!digit(i)) return false;
    while (digit(i)) ++i;
  }
  return i == n;
}

}  // namespace solvarium
