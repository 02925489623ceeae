// The Grend ".mntr" reader. Properties: over any text, one JSON object, with
// or without a filter, and the same object again for the same text. Over a
// file written by the rule below from the fuzz bytes, the object holds what
// was written: the title, the "KORLEN" line, the column names, every value
// as the same number, and the last row again as the "current" members.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "solvers/grend/grend_mntr_reader.h"
#include "tests/fuzz/content_check.h"
#include "tests/fuzz/grend_fuzz_input.h"

using solvarium_fuzz::check;
using solvarium_fuzz::JsonValue;

namespace {

const char kFileName[] = "dash/\"job\".mntr";

// A file's parts as written.
struct MntrFile {
  std::string text;
  std::string title;
  std::string info;  // "" when the file has no "KORLEN" line
  std::vector<std::string> names;
  std::vector<std::vector<std::string>> rows;
};

// A header word: letters only, none that starts a number or "nan".
std::string word(solvarium_fuzz::ByteSource& bytes) {
  static const char kLetters[] = "ABCDEFGHJKLMOPQRSTUVWXYZabcdefghjkmopqrstuvwxyz";
  std::string text;
  for (std::size_t n = 1 + bytes.below(5); n > 0; --n) {
    text += kLetters[bytes.below(sizeof kLetters - 1)];
  }
  return text;
}

// A decimal number in any of the spellings a solver writes: sign, digits,
// point, digits, exponent. `nonZero`: it starts with a digit from 1 to 9.
std::string number(solvarium_fuzz::ByteSource& bytes, bool nonZero) {
  static const char* const kSigns[] = {"", "", "-", "+"};
  std::string text = nonZero ? "" : bytes.pick(kSigns);
  std::size_t integer = bytes.below(4);
  if (nonZero) {
    text += static_cast<char>('1' + bytes.below(9));
    integer = bytes.below(2);
  }
  for (; integer > 0; --integer) text += static_cast<char>('0' + bytes.below(10));
  const bool point = bytes.flip();
  if (point) text += '.';
  std::size_t fraction = point ? bytes.below(4) : 0;
  if (text.find_first_of("0123456789") == std::string::npos && fraction == 0) fraction = 1;
  for (; fraction > 0; --fraction) text += static_cast<char>('0' + bytes.below(10));
  if (bytes.below(3) == 0) {
    static const char* const kMarks[] = {"e", "E", "e-", "E+"};
    text += bytes.pick(kMarks);
    for (std::size_t n = 1 + bytes.below(2); n > 0; --n) {
      text += static_cast<char>('0' + bytes.below(10));
    }
  }
  return text;
}

// The rule: a title line; maybe a line starting "KORLEN"; one header line
// of left-aligned names, or two when rows follow (a column's name is its two
// words joined by a blank, or directly after a dash; the last column's
// second word is no longer than its first, whose end ends that column);
// then rows of numbers, the first row's first value starting with a digit
// from 1 to 9 (it tells data from header, read within the first column, which
// a lone column's first word bounds). Lines end in
// LF, CR or both; blank lines do not count.
MntrFile writeMntr(solvarium_fuzz::ByteSource& bytes) {
  static const char* const kTitleWords[] = {"Run", "\"q\"", "a\\b", "caf\xc3\xa9", "x/y", "7"};
  static const char* const kEnds[] = {"\n", "\r\n", "\r", "\n  \n"};
  MntrFile file;
  for (std::size_t n = 1 + bytes.below(3); n > 0; --n) {
    file.title += (file.title.empty() ? "" : " ") + std::string(bytes.pick(kTitleWords));
  }
  file.text = (bytes.flip() ? " " : "") + file.title + bytes.pick(kEnds);
  if (bytes.flip()) {
    file.info = "KORLEN Grend " + word(bytes) + " 1";
    file.text += file.info + bytes.pick(kEnds);
  }
  const std::size_t columns = 1 + bytes.below(5);
  file.rows.resize(bytes.below(5));
  const bool twoLines = !file.rows.empty() && bytes.flip();
  std::vector<std::string> first(columns), second(columns);
  std::vector<std::size_t> width(columns);
  for (std::size_t c = 0; c < columns; ++c) {
    first[c] = word(bytes) + (bytes.below(4) == 0 ? "-" : "");
    if (twoLines && bytes.flip()) second[c] = word(bytes);
    if (c + 1 == columns && second[c].size() > first[c].size()) second[c].resize(first[c].size());
    const std::string& two = second[c];
    file.names.push_back(two.empty()              ? first[c]
                         : first[c].back() == '-' ? first[c] + two
                                                  : first[c] + " " + two);
    width[c] = std::max(first[c].size(), two.size());
  }
  for (auto& row : file.rows) {
    for (std::size_t c = 0; c < columns; ++c) {
      row.push_back(number(bytes, &row == &file.rows[0] && c == 0));
      width[c] = std::max(width[c], row.back().size());
    }
  }
  const std::string indent(bytes.below(3), ' ');
  // One line of cells, each padded to its column's width and two blanks.
  auto line = [&](const std::vector<std::string>& cells) {
    std::string text = indent;
    for (std::size_t c = 0; c < columns; ++c) {
      text += cells[c];
      if (c + 1 < columns) text += std::string(width[c] + 2 - cells[c].size(), ' ');
    }
    return text + bytes.pick(kEnds);
  };
  file.text += line(first);
  if (twoLines) file.text += line(second);
  for (const auto& row : file.rows) file.text += line(row);
  return file;
}

// "current" and each word of the name (cut at blanks, dashes, slashes and
// points) with its first letter in upper case and the rest in lower case.
std::string currentKey(const std::string& name) {
  std::string key = "current";
  std::size_t start = 0;
  while (start < name.size()) {
    std::size_t end = name.find_first_of(" -/.", start);
    if (end == std::string::npos) end = name.size();
    for (std::size_t i = start; i < end; ++i) {
      const unsigned char c = static_cast<unsigned char>(name[i]);
      key += static_cast<char>(i == start ? std::toupper(c) : std::tolower(c));
    }
    start = end + 1;
  }
  return key;
}

bool sameNumber(const JsonValue& value, const std::string& written) {
  return value.kind == JsonValue::kNumber &&
         std::strtod(value.text.c_str(), nullptr) == std::strtod(written.c_str(), nullptr);
}

void checkContent(const uint8_t* data, std::size_t size) {
  solvarium_fuzz::ByteSource bytes(data, size);
  const MntrFile file = writeMntr(bytes);
  std::string json;
  GREND::appendMntrMonitorJson(&json, kFileName, file.text, {});
  solvarium_fuzz::checkJson(json, "monitor object of a written file");
  const JsonValue object = solvarium_fuzz::readJson(json);
  const auto& members = object.members;
  const std::size_t columns = file.names.size();
  const std::size_t rows = file.rows.size();
  const std::string detail = file.text + "\n----\n" + json;
  check(members.size() == 5 + columns * (rows > 0 ? 2 : 1), "member count", detail);
  check(members[0].first == "name" && members[0].second.text == file.title, "title", detail);
  check(members[1].second.text == kFileName, "file name", detail);
  check(members[3].first == "additionalInfo" &&
            members[3].second.text == (file.info.empty() ? "Not recorded" : file.info),
        "KORLEN line", detail);
  const JsonValue& headers = members[4].second;
  check(members[4].first == "columnHeaders" && headers.items.size() == columns, "header count",
        detail);
  std::size_t m = 5;
  for (std::size_t c = 0; c < columns; ++c) {
    check(headers.items[c].text == file.names[c], "column name", detail);
    const auto& array = members[m++];
    check(array.first == file.names[c] && array.second.items.size() == rows, "column array",
          detail);
    for (std::size_t r = 0; r < rows; ++r) {
      check(sameNumber(array.second.items[r], file.rows[r][c]), "value", detail);
    }
    if (rows == 0) continue;
    const auto& current = members[m++];
    check(current.first == currentKey(file.names[c]) &&
              sameNumber(current.second, file.rows[rows - 1][c]),
          "current value", detail);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const solvarium_fuzz::GrendInput input = solvarium_fuzz::grendInput(data, size);
  std::string json;
  GREND::appendMntrMonitorJson(&json, kFileName, input.text, input.filter);
  solvarium_fuzz::checkJson(json, "monitor object");
  std::string again;
  GREND::appendMntrMonitorJson(&again, kFileName, input.text, input.filter);
  check(json == again, "not stable", json + "\n----\n" + again);
  checkContent(data, size);
  return 0;
}
