// UTF-8 validity as RFC 3629 defines it: no overlong forms, no surrogates
// (U+D800..U+DFFF), nothing above U+10FFFF.
#ifndef SOLVARIUM_COMMON_UTF8_TEXT_H_
#define SOLVARIUM_COMMON_UTF8_TEXT_H_

#include <cstddef>
#include <string_view>

namespace solvarium {

// The length (2 to 4) of the valid multi-byte sequence at the start of
// `text`; 0 when none starts there (an ASCII byte, a lone continuation byte,
// a truncated, overlong or out-of-range sequence, or an empty text).
std::size_t utf8SequenceLength(std::string_view text);

// True when all of `text` is valid UTF-8.
bool isValidUtf8(std::string_view text);

}  // namespace solvarium

#endif  // SOLVARIUM_COMMON_UTF8_TEXT_H_
