// Text helpers of the Grend monitor readers: number reading, trimming, the
// camel form of "current" keys, bare JSON values and a compact value list.
#ifndef SOLVARIUM_SOLVERS_GREND_GREND_TEXT_H_
#define SOLVARIUM_SOLVERS_GREND_GREND_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace GREND {

// Blanks and tabs; blanks, tabs, line feeds and carriage returns.
inline constexpr const char* kBlanks = " \t";
inline constexpr const char* kWhiteSpace = " \t\n\r";

// trimChars(text, " \t") without one final '.' ("5." -> "5", "." -> "").
std::string_view trimNumber(std::string_view text);

// Leading blanks and tabs skipped, optional sign, decimal digits; 0 when there
// are none. Saturates at the 32-bit range instead of overflowing.
int32_t leadingInteger(std::string_view text);

// Leading blanks and tabs skipped, the longest decimal floating-point prefix
// (sign, digits, fraction, exponent); 0.0 when there is none. Never reads
// hexadecimal, "inf" or "nan".
double leadingDouble(std::string_view text);

// leadingDouble(), except that "nan" in any case, after the blanks and an
// optional sign, reads as NaN.
double leadingDoubleOrNan(std::string_view text);

// "current" + the camel form of `name`: ' ', '-', '/' and '.' are dropped and
// make the next kept character upper case; the first kept character is upper
// case; every other ASCII letter lower case. "LOAD STEP" -> "currentLoadStep".
std::string currentKey(std::string_view name);

// Appends `value` as a bare JSON value: a JSON number stays as it is, a
// number in a looser spelling is normalised ("5." -> 5, "+1" -> 1, ".5" ->
// 0.5, "007" -> 7, "1.e3" -> 1e3), anything else is written as a JSON string.
void appendBareValue(std::string* out, std::string_view value);

// Appends `text` escaped for a JSON string literal (without the quotes).
void appendEscaped(std::string* out, std::string_view text);
// Appends `text` escaped, between double quotes.
void appendQuotedText(std::string* out, std::string_view text);

// Values of one column kept in one buffer (far smaller than one string
// each): value i is the bytes from end i - 1 up to end i. Holds less than
// 4 GiB (monitor files are smaller).
class ValueList {
 public:
  void push_back(std::string_view value) {
    data_.append(value.data(), value.size());
    ends_.push_back(static_cast<uint32_t>(data_.size()));
  }
  std::size_t size() const { return ends_.size(); }
  bool empty() const { return ends_.empty(); }
  std::string_view operator[](std::size_t i) const {
    const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(data_).substr(begin, ends_[i] - begin);
  }
  std::string_view back() const { return (*this)[size() - 1]; }
  std::size_t bytes() const { return data_.size(); }

 private:
  std::string data_;
  std::vector<uint32_t> ends_;
};

}  // namespace GREND

#endif  // SOLVARIUM_SOLVERS_GREND_GREND_TEXT_H_
