#include "common/json_text.h"

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

}  // namespace

std::size_t jsonQuotedSize(std::string_view text) {
  std::size_t out = text.size() + 2;
  for (unsigned char c : text) {
    if (needsEscape(c)) out += shortEscape(c) != nullptr ? 1 : 5;
  }
  return out;
}

char* writeJsonQuoted(char* out, std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  *out++ = '"';
  for (unsigned char c : text) {
    if (!needsEscape(c)) {
      *out++ = static_cast<char>(c);
    } else if (const char* escape = shortEscape(c)) {
      *out++ = escape[0];
      *out++ = escape[1];
    } else {
      const char unicode[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
      for (char u : unicode) *out++ = u;
    }
  }
  *out++ = '"';
  return out;
}

std::string jsonEscape(std::string_view text) {
  const std::string quoted = jsonQuote(text);
  return quoted.substr(1, quoted.size() - 2);
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
