#include "solvers/talvo/talvo_report_file_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

#include "common/confined_file.h"
#include "common/confined_path.h"
#include "common/diagnostics.h"
#include "common/json_text.h"
#include "solvers/talvo/talvo_text.h"

namespace TALVO {

namespace {

bool isLineEnd(char c) { return c == '\n' || c == '\r'; }
bool isWordBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The next non-empty line from `*at`; `*at` moves past it.
bool nextLine(const std::string& text, std::size_t end, std::size_t* at, std::string* line) {
  std::size_t i = *at;
  while (i < end && isLineEnd(text[i])) ++i;
  if (i >= end) return false;
  std::size_t stop = i;
  while (stop < end && !isLineEnd(text[stop])) ++stop;
  *line = text.substr(i, stop - i);
  *at = stop;
  return true;
}

std::string trimmed(const std::string& text, const char* leading, const char* trailing) {
  const std::size_t begin = text.find_first_not_of(leading);
  if (begin == std::string::npos) return std::string();
  const std::size_t end = text.find_last_not_of(trailing);
  if (end == std::string::npos || end < begin) return std::string();
  return text.substr(begin, end - begin + 1);
}

// Column names of a header: the character after each closing quote ends a
// column; the rest at the end is the last one.
std::vector<std::string> headerColumns(const std::string& header) {
  std::vector<std::string> columns;
  std::string current;
  std::size_t quotes = 0;
  bool afterClosingQuote = false;
  for (char c : header) {
    if (afterClosingQuote) {
      columns.push_back(current);
      current.clear();
      afterClosingQuote = false;
      continue;
    }
    current += c;
    if (c == '"') afterClosingQuote = ++quotes % 2 == 0;
  }
  if (!current.empty()) columns.push_back(current);
  for (std::string& column : columns) column = trimmed(column, " \t", " \t");
  return columns;
}

// The leading integer of a word (saturated), without copying it.
int64_t leadingInteger(const char* word, std::size_t size) {
  std::size_t i = 0;
  bool negative = false;
  if (i < size && (word[i] == '+' || word[i] == '-')) negative = word[i++] == '-';
  int64_t value = 0;
  for (; i < size && word[i] >= '0' && word[i] <= '9'; ++i) {
    if (value < (int64_t(1) << 40)) value = value * 10 + (word[i] - '0');
  }
  return negative ? -value : value;
}

}  // namespace

ReportFilePosition reportFilePosition(const TalvoState& state, int32_t startIteration,
                                      int32_t startTimeStep) {
  ReportFilePosition position;
  position.currentIteration = state.currentIteration;
  auto timeStep = state.rpVariables.find("time-step");
  if (timeStep != state.rpVariables.end()) {
    position.hasTimeStep = true;
    position.timeStep = timeStep->second;
  }
  position.startIteration = startIteration;
  position.startTimeStep = startTimeStep;
  return position;
}

std::string parseReportFile(const std::string& content, const ReportFilePosition& position) {
  // The content ends at its first zero byte, as a C string would.
  const std::size_t end = std::min(content.size(), std::strlen(content.c_str()));
  std::size_t at = 0;
  std::string name, title, header;
  if (!nextLine(content, end, &at, &name) || !nextLine(content, end, &at, &title) ||
      !nextLine(content, end, &at, &header)) {
    return std::string();
  }
  header = trimmed(header, " \t(", " \t)");
  if (header.find('"') == std::string::npos) return std::string();
  const std::vector<std::string> names = headerColumns(header);
  if (names.empty()) return std::string();

  const bool iterationAxis = names[0] == "\"Iteration\"";
  const int64_t currentTimeStep =
      position.hasTimeStep ? decimalValue(position.timeStep) : -1;
  std::vector<std::string> columns(names.size());
  std::vector<bool> empty(names.size(), true);
  std::string headerList;
  for (std::size_t k = 0; k < names.size(); ++k) {
    columns[k] = jsonRequote(names[k]) + ":[";
    headerList += (k ? "," : "") + jsonRequote(names[k]);
  }

  bool rowPasses = false;
  std::size_t word = 0;
  std::size_t i = at;
  while (i < end) {
    while (i < end && isWordBlank(content[i])) ++i;
    if (i >= end) break;
    std::size_t stop = i;
    while (stop < end && !isWordBlank(content[stop])) ++stop;
    const std::size_t column = word % names.size();
    if (column == 0) {
      const int64_t row = leadingInteger(content.data() + i, stop - i);
      if (iterationAxis) {
        rowPasses = row >= position.startIteration && row <= position.currentIteration;
      } else {
        rowPasses = row >= position.startTimeStep &&
                    (currentTimeStep == -1 || row <= currentTimeStep);
      }
    }
    if (rowPasses) {
      const std::string text = content.substr(i, stop - i);
      if (!empty[column]) columns[column] += ',';
      columns[column] += jsonNumberOrString(text);
      empty[column] = false;
    }
    ++word;
    i = stop;
  }

  std::string persisted = "\t\t{\n\t\t\t\"name\":" + jsonRequote(name) + ",\n";
  persisted += "\t\t\t\"title\":" + solvarium::jsonQuote(title) + ",\n";
  persisted += "\t\t\t\"currentIterationNo\":" + std::to_string(position.currentIteration) + ",\n";
  if (position.hasTimeStep) {
    persisted += "\t\t\t\"currentTimeStep\":" + jsonNumberOrString(position.timeStep) + ",\n";
  }
  persisted += "\t\t\t\"header\":[" + headerList + "]\n";
  for (std::string& column : columns) {
    persisted += "\t\t\t,";
    persisted += column;
    persisted += "]\n";
    std::string().swap(column);
  }
  persisted += "\t\t}\n";
  return persisted;
}

namespace {

// A report file that memory cannot hold reads as no file; the cause is logged.
std::string noData(const std::string& name, const std::exception& e) {
  solvarium::diagnostic("Talvo report file '%s': %s\n", name.c_str(), e.what());
  return std::string();
}

}  // namespace

std::string readReportFile(const std::string& name, const ReportFilePosition& position) {
  std::string content;
  const solvarium::FileStatus read =
      solvarium::readConfinedFile(solvarium::workingDirectory(), name, &content);
  // A file that shrank while it was read is taken as read.
  const bool shrank = read.code == solvarium::FileStatus::kReadFailed && read.error == 0;
  if (!read.ok() && !shrank) {
    if (read.error != ENOENT) {
      solvarium::diagnostic("Talvo report file: %s\n", read.message.c_str());
    }
    return std::string();
  }
  if (content.empty()) return std::string();
  try {
    return parseReportFile(content, position);
  } catch (const std::bad_alloc& e) {
    return noData(name, e);
  } catch (const std::length_error& e) {
    return noData(name, e);
  }
}

}  // namespace TALVO
