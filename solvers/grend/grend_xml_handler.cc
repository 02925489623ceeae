#include "solvers/grend/grend_xml_handler.h"

#include <cstring>
#include <utility>

namespace GREND {

bool isElement(const ACEXML_Char* qName, const char* name) {
  return qName != nullptr && std::strcmp(qName, name) == 0;
}

GrendXmlHandler::GrendXmlHandler(std::string baseName, std::vector<std::string> filter)
    : fileBaseName(std::move(baseName)), filterArgs(std::move(filter)) {}

void GrendXmlHandler::characters(const ACEXML_Char* ch, size_t start, size_t length) {
  if (ch == nullptr || length == 0) return;
  text_.append(ch + start, length);
}

void GrendXmlHandler::writeHead(const char* extension, const char* description) {
  json = "{\n\t\"name\":";
  appendQuotedText(&json, fileBaseName);
  json += "\n\t,\"file\":";
  appendQuotedText(&json, fileBaseName + extension);
  json += "\n\t,\"description\":\"";
  json += description;
  json += "\"\n";
}

bool GrendXmlHandler::appendTo(std::string* out) {
  if (json.empty() || json.back() != '}') return false;
  if (out->empty()) {
    out->swap(json);
  } else {
    *out += json;
  }
  return true;
}

std::string GrendXmlHandler::takeText() {
  const std::size_t begin = text_.find_first_not_of(kWhiteSpace);
  std::string rest;
  if (begin != std::string::npos) {
    // Moved out, not copied: an element's text may be most of the document.
    text_.erase(0, begin);
    rest.swap(text_);
  }
  text_.clear();
  return rest;
}

int32_t GrendXmlHandler::columnKey(const ACEXML_Char* value) {
  if (value == nullptr) return -1;
  const int32_t id = leadingInteger(value);
  return id >= 1 && id <= kMaxColumnId ? id - 1 : -1;
}

std::vector<std::string> GrendXmlHandler::denseNames(const ColumnTable& table) {
  std::vector<std::string> names;
  if (table.empty() || table.rbegin()->first < 0) return names;
  names.resize(static_cast<std::size_t>(table.rbegin()->first) + 1);
  for (const auto& entry : table) {
    if (entry.first >= 0) names[static_cast<std::size_t>(entry.first)] = entry.second;
  }
  return names;
}

std::vector<MonitorColumn> GrendXmlHandler::dealValues(const std::vector<std::string>& names,
                                                       const std::string& text, bool dropPoint) {
  std::vector<MonitorColumn> columns(names.size());
  for (std::size_t k = 0; k < names.size(); ++k) columns[k].name = names[k];
  if (columns.empty()) return columns;
  const std::string_view all(text);
  std::size_t n = 0;
  std::size_t start = all.find_first_not_of(kWhiteSpace);
  while (start != std::string_view::npos) {
    std::size_t end = all.find_first_of(kWhiteSpace, start);
    if (end == std::string_view::npos) end = all.size();
    std::string_view piece = all.substr(start, end - start);
    if (dropPoint && piece.back() == '.') piece.remove_suffix(1);
    columns[n % columns.size()].values.push_back(piece);
    ++n;
    start = all.find_first_not_of(kWhiteSpace, end);
  }
  return columns;
}

}  // namespace GREND
