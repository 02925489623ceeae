#include "solvers/talvo/talvo_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/json_text.h"

namespace TALVO {

const char kBlanks[] = " \t\n\r";

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The number of decimal digits from `pos` on.
std::size_t digitsAt(const std::string& text, std::size_t pos) {
  std::size_t end = pos;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  return end - pos;
}

// Makes the number in `text` (between blanks) valid JSON: drops a '+' sign
// and leading zeros, padding with blanks on the left to keep the width.
std::string normalisedNumber(const std::string& text) {
  std::size_t begin = 0;
  while (begin < text.size() && text[begin] == ' ') ++begin;
  std::size_t end = text.size();
  while (end > begin && text[end - 1] == ' ') --end;
  const std::string core = text.substr(begin, end - begin);
  if (solvarium::isJsonNumber(core)) return text;
  std::string number;
  std::size_t i = 0;
  if (i < core.size() && (core[i] == '+' || core[i] == '-')) {
    if (core[i] == '-') number += '-';
    ++i;
  }
  while (i + 1 < core.size() && core[i] == '0' && core[i + 1] >= '0' && core[i + 1] <= '9') ++i;
  number += core.substr(i);
  if (!solvarium::isJsonNumber(number)) return "null";
  const std::size_t width = core.size() > number.size() ? core.size() - number.size() : 0;
  return text.substr(0, begin) + std::string(width, ' ') + number + text.substr(end);
}

}  // namespace

int32_t decimalValue(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > int64_t(INT32_MAX) + 1) value = int64_t(INT32_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(value);
}

double floatingValue(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  const std::size_t begin = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = digitsAt(text, i);
  i += digits;
  if (i < text.size() && text[i] == '.') {
    const std::size_t fraction = digitsAt(text, i + 1);
    if (digits + fraction > 0) i += 1 + fraction;
    digits += fraction;
  }
  if (digits == 0) return 0.0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t exponent = i + 1;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
    const std::size_t exponentDigits = digitsAt(text, exponent);
    if (exponentDigits > 0) i = exponent + exponentDigits;
  }
  return std::strtod(text.substr(begin, i - begin).c_str(), nullptr);
}

std::string jsonBoolean(const std::string& value) {
  if (value == "#t") return "true";
  if (value == "#f") return "false";
  return solvarium::jsonQuote(value);
}

std::string jsonNumberOrString(const std::string& value) {
  return solvarium::isJsonNumber(value) ? value : solvarium::jsonQuote(value);
}

std::string jsonRequote(const std::string& text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    return solvarium::jsonQuote(text.substr(1, text.size() - 2));
  }
  return solvarium::jsonQuote(text);
}

namespace {

// printf of one value of any type into a string of the exact length.
template <typename Value>
std::string formatValue(const std::string& format, Value value) {
  const int size = std::snprintf(nullptr, 0, format.c_str(), value);
  if (size < 0) return std::string();
  std::string text(static_cast<std::size_t>(size) + 1, '\0');
  std::snprintf(&text[0], text.size(), format.c_str(), value);
  text.resize(static_cast<std::size_t>(size));
  return text;
}

}  // namespace

std::string formatInteger(const std::string& format, int value) {
  return formatValue(format, value);
}

std::string formatDouble(const std::string& format, double value) {
  return formatValue(format, value);
}

std::string formatJsonInteger(const std::string& format, int value) {
  return normalisedNumber(formatInteger(format, value));
}

std::string formatJsonDouble(const std::string& format, double value) {
  if (!std::isfinite(value)) return "null";
  return normalisedNumber(formatDouble(format, value));
}

}  // namespace TALVO
