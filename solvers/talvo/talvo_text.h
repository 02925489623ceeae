// Text conventions of the Talvo solver's messages and settings, and the JSON
// value rules the Talvo writers share (all through common/json_text.h).
#ifndef SOLVARIUM_SOLVERS_TALVO_TALVO_TEXT_H_
#define SOLVARIUM_SOLVERS_TALVO_TALVO_TEXT_H_

#include <cstdint>
#include <string>

namespace TALVO {

// Space, tab, line feed and carriage return.
extern const char kBlanks[];

// Leading blanks and a sign, then digits up to the first other character;
// 0 without digits; saturated to the 32-bit range.
int32_t decimalValue(const std::string& text);
// The same for a decimal floating-point number (digits, an optional
// fraction and exponent): "0x10" gives 0, "inf" and "nan" 0.0; an overflow
// gives an infinity.
double floatingValue(const std::string& text);

// "#t" -> true, "#f" -> false, anything else as a JSON string.
std::string jsonBoolean(const std::string& value);
// `value` bare when it is a complete JSON number, else as a JSON string.
std::string jsonNumberOrString(const std::string& value);
// A text that should be a JSON string literal: its outer double quotes (when
// both are there) are dropped and the rest is written as a JSON string.
std::string jsonRequote(const std::string& text);

// `value` printed with a printf format of the format commands (one
// conversion of int or double). The text is made a JSON number without
// changing its width: a "+" sign and zero padding become leading blanks.
// Non-finite doubles give "null".
std::string formatJsonInteger(const std::string& format, int value);
std::string formatJsonDouble(const std::string& format, double value);

// printf of one value into a string of any length.
std::string formatInteger(const std::string& format, int value);
std::string formatDouble(const std::string& format, double value);

}  // namespace TALVO

#endif  // SOLVARIUM_SOLVERS_TALVO_TALVO_TEXT_H_
