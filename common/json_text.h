// JSON text helpers shared by every solver kind. Each kind writes its own
// layout by hand; string values and bare numbers go through these helpers.
#ifndef SOLVARIUM_COMMON_JSON_TEXT_H_
#define SOLVARIUM_COMMON_JSON_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace solvarium {

// Escapes `text` for use inside a JSON string literal (without the quotes):
// '"', '\\' and every control character below 0x20. Valid UTF-8 passes
// unchanged, so ordinary names come out byte for byte; each byte that is not
// part of a valid UTF-8 sequence is taken as the Latin-1 character of that
// value and written in UTF-8 ("Caf\xE9" becomes "Caf\xC3\xA9"), so the result
// is always valid UTF-8.
std::string jsonEscape(std::string_view text);

// jsonEscape(text) appended to `*out`.
void appendJsonEscaped(std::string* out, std::string_view text);

// `"` + jsonEscape(text) + `"`.
std::string jsonQuote(std::string_view text);

// True when `text` is a valid JSON number literal (RFC 8259 grammar).
bool isJsonNumber(std::string_view text);

// jsonQuote written into a caller's buffer: jsonQuotedSize is the size of
// jsonQuote(text), and writeJsonQuoted writes exactly those bytes at `out`
// and returns the end of them.
std::size_t jsonQuotedSize(std::string_view text);
char* writeJsonQuoted(char* out, std::string_view text);

}  // namespace solvarium

#endif  // SOLVARIUM_COMMON_JSON_TEXT_H_
