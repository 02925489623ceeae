#include "solvers/grend/grend_mntr_reader.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "common/text_words.h"
#include "solvers/grend/grend_start_filter.h"
#include "solvers/grend/grend_text.h"

namespace GREND {

namespace {

using Positions = std::vector<std::size_t>;

// The kept lines: cut at CR and LF, blank lines dropped.
std::vector<std::string_view> keptLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    if (line.find_first_not_of(kBlanks) != std::string_view::npos) lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// line[begin, end), clipped to the line.
std::string_view slice(std::string_view line, std::size_t begin, std::size_t end) {
  if (begin >= line.size() || end <= begin) return std::string_view();
  return line.substr(begin, std::min(end, line.size()) - begin);
}

// Column starts of the first header line, and the end mark when its last
// character is not a blank.
Positions columnPositions(std::string_view line) {
  Positions positions;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] != ' ' && (i == 0 || line[i - 1] == ' ')) positions.push_back(i);
  }
  if (!line.empty() && line.back() != ' ') positions.push_back(line.size());
  return positions;
}

bool startsWithNonZeroInteger(std::string_view segment) {
  const std::string_view rest = solvarium::trimChars(segment, " ");
  std::size_t i = 0;
  if (i < rest.size() && (rest[i] == '+' || rest[i] == '-')) ++i;
  if (i >= rest.size() || rest[i] < '0' || rest[i] > '9') return false;
  return leadingInteger(rest) != 0;
}

// Names from the first header line; a segment that starts with a non-zero
// integer widens the column before it.
std::vector<std::string> firstHeaderNames(std::string_view line, Positions* positions) {
  std::vector<std::string> names;
  if (positions->size() < 2) {
    positions->clear();
    return names;
  }
  std::vector<std::size_t> continued;
  for (std::size_t k = 0; k + 1 < positions->size(); ++k) {
    const std::string_view segment = slice(line, (*positions)[k], (*positions)[k + 1]);
    if (!names.empty() && startsWithNonZeroInteger(segment)) {
      names.back() += ' ';
      names.back().append(segment.data(), segment.size());
      continued.push_back(k);
    } else {
      names.emplace_back(segment);
    }
  }
  for (auto it = continued.rbegin(); it != continued.rend(); ++it) {
    positions->erase(positions->begin() + static_cast<std::ptrdiff_t>(*it));
  }
  return names;
}

// One further header line: each cell is appended to its column's name; a
// cell holding two words moves the next column's start to the second word.
void addHeaderLine(std::string_view line, Positions* positions, std::vector<std::string>* names) {
  Positions& pos = *positions;
  for (std::size_t j = 0; j < names->size(); ++j) {
    if (pos[j] > 0 && pos[j] - 1 < line.size() && line[pos[j] - 1] != ' ') --pos[j];
    std::size_t end = std::max(pos[j], pos[j + 1]);
    bool inWord = false;
    bool afterWord = false;
    for (std::size_t i = pos[j]; i < end && i < line.size(); ++i) {
      if (line[i] != ' ') {
        if (afterWord && !inWord) {
          pos[j + 1] = i;
          end = i;
          break;
        }
        inWord = true;
      } else if (inWord) {
        inWord = false;
        afterWord = true;
      }
    }
    const std::string_view cell = slice(line, pos[j], end);
    (*names)[j] += ' ';
    (*names)[j].append(cell.data(), cell.size());
  }
}

std::string cleanName(const std::string& name) {
  std::string cleaned;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (c == ' ' || c == '-') {
      if (i > 0 && name[i - 1] != ' ' && name[i - 1] != '-') cleaned += c;
    } else {
      cleaned += c;
    }
  }
  return std::string(solvarium::trimChars(cleaned, kBlanks));
}

// The value sequence of the data lines: the offset of each word in the
// text (a word ends at a blank, tab, line end or the end of the text).
struct Words {
  std::string_view text;
  std::vector<uint32_t> starts;
  std::string_view operator[](std::size_t i) const {
    const std::size_t begin = starts[i];
    std::size_t end = begin;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t' && text[end] != '\r' &&
           text[end] != '\n') {
      ++end;
    }
    return text.substr(begin, end - begin);
  }
};

void collectWords(std::string_view text, std::string_view line, Words* words) {
  const std::size_t base = static_cast<std::size_t>(line.data() - text.data());
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) words->starts.push_back(static_cast<uint32_t>(base + start));
  }
}

// Which rows a filter keeps: the filter and the columns it reads.
class RowFilter {
 public:
  RowFilter(const std::vector<std::string>& args, const std::vector<std::string>& names) {
    auto column = [&](const char* name) -> long {
      auto it = std::find(names.begin(), names.end(), name);
      return it == names.end() ? -1 : static_cast<long>(it - names.begin());
    };
    if (args.size() == 3 && args[0] == "start_load_step_sub_step") {
      first_ = column("LOAD STEP");
      second_ = column("SUB-STEP");
      if (first_ >= 0 && second_ >= 0) {
        filter_ = StartFilter::fromLoadStep(leadingInteger(args[1]), leadingInteger(args[2]));
      }
    } else if (args.size() == 2 &&
               (args[0] == "start_total_iter" || args[0] == "start_total_time_lfact")) {
      first_ = column(args[0] == "start_total_iter" ? "TOTL ITER" : "TOTAL TIME/LFACT");
      if (first_ >= 0) filter_ = StartFilter::notBelow(leadingDouble(args[1]));
    }
  }

  // Row r keeps; a row without the filter's values is dropped.
  bool keeps(const Words& words, std::size_t columns, std::size_t r) const {
    if (!filter_.active()) return true;
    const std::size_t a = r * columns + static_cast<std::size_t>(first_);
    if (a >= words.starts.size()) return false;
    if (!filter_.readsSubStep()) return filter_.passes(words[a]);
    const std::size_t b = r * columns + static_cast<std::size_t>(second_);
    return b < words.starts.size() && filter_.passes(words[a], words[b]);
  }

 private:
  StartFilter filter_;
  long first_ = -1;
  long second_ = -1;
};

}  // namespace

void appendMntrMonitorJson(std::string* json, const std::string& fileName, std::string text,
                           const std::vector<std::string>& filterArgs) {
  std::replace(text.begin(), text.end(), '\0', ' ');
  std::vector<std::string_view> lines = keptLines(text);

  std::string_view name;
  std::string_view additionalInfo = "Not recorded";
  std::size_t h = 1;
  if (!lines.empty()) name = solvarium::trimChars(lines[0], kBlanks);
  if (lines.size() > 1) {
    const std::vector<std::string_view> words = solvarium::splitWords(lines[1], kWhiteSpace);
    if (!words.empty() && words[0] == "KORLEN") {
      additionalInfo = lines[1];
      h = 2;
    }
  }

  Positions positions;
  std::vector<std::string> names;
  std::size_t firstData = lines.size();
  if (h < lines.size()) {
    positions = columnPositions(lines[h]);
    names = firstHeaderNames(lines[h], &positions);
    firstData = h + 1;
    auto column0 = [&](std::size_t line) {
      return leadingDoubleOrNan(slice(lines[line], positions[0], positions[1]));
    };
    if (!names.empty() && h + 1 < lines.size()) {
      double v = column0(h + 1);
      while (v == 0.0) {  // a NaN is data
        ++h;
        if (h >= lines.size() - 1) {
          firstData = lines.size();
          break;
        }
        addHeaderLine(lines[h], &positions, &names);
        firstData = h + 1;
        v = column0(h + 1);
      }
    }
  }
  for (std::string& columnName : names) columnName = cleanName(columnName);

  Words words;
  words.text = text;
  const std::size_t rows = lines.size() - firstData;
  for (std::size_t l = firstData; l < lines.size(); ++l) collectWords(text, lines[l], &words);
  // The lines are not needed any more: free them before the output grows.
  std::vector<std::string_view>().swap(lines);

  const std::size_t columns = names.size();
  const RowFilter filter(filterArgs, names);
  std::vector<bool> kept(rows);
  for (std::size_t r = 0; r < rows; ++r) kept[r] = filter.keeps(words, columns, r);

  json->reserve(json->size() + text.size() + text.size() / 2 + 256);
  *json += "{\n\t\"name\":";
  appendQuotedText(json, name);
  *json += "\n\t,\"file\":";
  appendQuotedText(json, fileName);
  *json += "\n\t,\"description\":\"Solution Monitor\"\n\t,\"additionalInfo\":";
  appendQuotedText(json, additionalInfo);
  *json += "\n\t,\"columnHeaders\":\n\t[\n";
  for (std::size_t i = 0; i < columns; ++i) {
    *json += i > 0 ? "\t\t," : "\t\t";
    appendQuotedText(json, names[i]);
    *json += '\n';
  }
  *json += "\t]\n";
  for (std::size_t c = 0; c < columns; ++c) {
    *json += "\t,";
    appendQuotedText(json, names[c]);
    *json += ":\n\t[\n";
    bool first = true;
    for (std::size_t r = 0; r < rows; ++r) {
      const std::size_t index = r * columns + c;
      if (!kept[r] || index >= words.starts.size()) continue;
      *json += first ? "\t\t" : "\t\t,";
      first = false;
      appendBareValue(json, words[index]);
      *json += '\n';
    }
    *json += "\t]\n";
    const std::size_t last = (rows == 0 ? 0 : rows - 1) * columns + c;
    if (rows > 0 && last < words.starts.size()) {
      *json += "\t,";
      appendQuotedText(json, currentKey(names[c]));
      *json += ':';
      appendBareValue(json, words[last]);
      *json += '\n';
    }
  }
  *json += "}\n";
}

}  // namespace GREND
