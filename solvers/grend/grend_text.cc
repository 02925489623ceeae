#include "solvers/grend/grend_text.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "common/json_text.h"
#include "common/text_words.h"

namespace GREND {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t skipBlanks(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  return i;
}

// Length of the decimal floating-point literal at the start of `text` (0 when
// none): sign, digits, fraction, exponent.
std::size_t decimalPrefix(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < n && isDigit(text[i])) ++i, ++digits;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && isDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < n && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < n && isDigit(text[j])) {
      while (j < n && isDigit(text[j])) ++j;
      i = j;
    }
  }
  return i;
}

}  // namespace

std::string_view trimNumber(std::string_view text) {
  std::string_view trimmed = solvarium::trimChars(text, kBlanks);
  if (!trimmed.empty() && trimmed.back() == '.') trimmed.remove_suffix(1);
  return trimmed;
}

int32_t leadingInteger(std::string_view text) {
  std::size_t i = skipBlanks(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  while (i < text.size() && isDigit(text[i])) {
    if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (text[i] - '0');
    ++i;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int32_t>(value);
}

double leadingDouble(std::string_view text) {
  text.remove_prefix(skipBlanks(text));
  const std::size_t length = decimalPrefix(text);
  if (length == 0) return 0.0;
  char small[64];
  std::string large;
  const char* literal = small;
  if (length < sizeof small) {
    std::memcpy(small, text.data(), length);
    small[length] = '\0';
  } else {
    large.assign(text.data(), length);
    literal = large.c_str();
  }
  return std::strtod(literal, nullptr);
}

double leadingDoubleOrNan(std::string_view text) {
  std::string_view rest = text.substr(skipBlanks(text));
  if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) rest.remove_prefix(1);
  if (rest.size() >= 3 && std::tolower(static_cast<unsigned char>(rest[0])) == 'n' &&
      std::tolower(static_cast<unsigned char>(rest[1])) == 'a' &&
      std::tolower(static_cast<unsigned char>(rest[2])) == 'n') {
    return std::numeric_limits<double>::quiet_NaN();
  }
  return leadingDouble(text);
}

std::string currentKey(std::string_view name) {
  std::string key = "current";
  bool upper = true;
  for (char c : name) {
    if (c == ' ' || c == '-' || c == '/' || c == '.') {
      upper = true;
      continue;
    }
    const unsigned char u = static_cast<unsigned char>(c);
    key += static_cast<char>(upper ? std::toupper(u) : std::tolower(u));
    upper = false;
  }
  return key;
}

void appendEscaped(std::string* out, std::string_view text) {
  solvarium::appendJsonEscaped(out, text);
}

void appendQuotedText(std::string* out, std::string_view text) {
  *out += '"';
  appendEscaped(out, text);
  *out += '"';
}

void appendBareValue(std::string* out, std::string_view value) {
  if (solvarium::isJsonNumber(value)) {
    out->append(value.data(), value.size());
    return;
  }
  // A whole decimal literal in a looser spelling is rewritten.
  if (!value.empty() && decimalPrefix(value) == value.size()) {
    std::string number;
    std::size_t i = 0;
    if (value[i] == '+' || value[i] == '-') {
      if (value[i] == '-') number += '-';
      ++i;
    }
    std::size_t intStart = i;
    while (i < value.size() && isDigit(value[i])) ++i;
    std::string_view integer = value.substr(intStart, i - intStart);
    while (integer.size() > 1 && integer.front() == '0') integer.remove_prefix(1);
    number += integer.empty() ? std::string_view("0") : integer;
    if (i < value.size() && value[i] == '.') {
      ++i;
      const std::size_t fracStart = i;
      while (i < value.size() && isDigit(value[i])) ++i;
      if (i > fracStart) {
        number += '.';
        number.append(value.data() + fracStart, i - fracStart);
      }
    }
    if (i < value.size()) {
      number += value[i++];
      if (i < value.size() && (value[i] == '+' || value[i] == '-')) number += value[i++];
      number.append(value.data() + i, value.size() - i);
    }
    if (solvarium::isJsonNumber(number)) {
      *out += number;
      return;
    }
  }
  appendQuotedText(out, value);
}

}  // namespace GREND
