#include "common/xml_document.h"

#include <ACEXML/common/DefaultHandler.h>
#include <ACEXML/common/InputSource.h>
#include <ACEXML/common/SAXExceptions.h>
#include <ACEXML/common/StrCharStream.h>
#include <ACEXML/parser/parser/Parser.h>

#include <algorithm>
#include <cctype>
#include <exception>

namespace solvarium {
namespace {

const char kUtf8Bom[] = "\xEF\xBB\xBF";
const char kDeclaration[] = "<?xml version=\"1.0\"?>\n";

bool startsWith(const std::string& text, std::size_t at, const char* prefix) {
  return text.compare(at, std::char_traits<char>::length(prefix), prefix) == 0;
}

bool containsIgnoringCase(const std::string& text, const std::string& lowerNeedle) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower.find(lowerNeedle) != std::string::npos;
}

// Deepest element nesting of `text`, counted leniently (a malformed text is
// left to the parser); stops counting once `limit` is passed.
std::size_t elementDepth(const std::string& text, std::size_t limit) {
  std::size_t depth = 0;
  std::size_t deepest = 0;
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    const std::size_t lt = text.find('<', i);
    if (lt == std::string::npos) break;
    const char* closer = nullptr;
    if (startsWith(text, lt, "<!--")) {
      closer = "-->";
    } else if (startsWith(text, lt, "<![CDATA[")) {
      closer = "]]>";
    } else if (startsWith(text, lt, "<?")) {
      closer = "?>";
    } else if (startsWith(text, lt, "<!")) {
      closer = ">";
    }
    if (closer != nullptr) {
      const std::size_t end = text.find(closer, lt + 2);
      if (end == std::string::npos) break;
      i = end + std::char_traits<char>::length(closer);
      continue;
    }
    const bool endTag = startsWith(text, lt, "</");
    // Find the tag's '>' outside quoted attribute values.
    std::size_t j = lt + 1;
    char quote = 0;
    for (; j < n; ++j) {
      const char c = text[j];
      if (quote != 0) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        break;
      }
    }
    if (endTag) {
      if (depth > 0) --depth;
    } else {
      deepest = std::max(deepest, depth + 1);
      if (deepest > limit) return deepest;
      if (j < n && text[j - 1] != '/') ++depth;
    }
    i = j + 1;
  }
  return deepest;
}

}  // namespace

bool parseXmlDocument(const std::string& text, ACEXML_DefaultHandler& handler,
                      const std::string& systemId, std::string* error) {
  std::string failure;
  std::string document = startsWith(text, 0, kUtf8Bom) ? text.substr(3) : text;

  if (document.find('\0') != std::string::npos) {
    failure = "XML document contains a NUL byte";
  } else if (containsIgnoringCase(document, "<!doctype")) {
    failure = "XML document with a document type declaration is refused";
  } else if (containsIgnoringCase(document, "<!entity")) {
    failure = "XML document with an entity declaration is refused";
  } else if (elementDepth(document, kMaxXmlNesting) > kMaxXmlNesting) {
    failure =
        "XML document nests elements deeper than " + std::to_string(kMaxXmlNesting) + " levels";
  }
  if (failure.empty()) {
    if (!startsWith(document, 0, "<?xml")) document.insert(0, kDeclaration);

    ACEXML_StrCharStream* stream = new ACEXML_StrCharStream;
    if (stream->open(document.c_str(), systemId.c_str()) != 0) {
      delete stream;
      failure = "Cannot open the XML text for parsing";
    } else {
      ACEXML_InputSource input(stream);  // owns the stream
      ACEXML_Parser parser;
      parser.setContentHandler(&handler);
      parser.setDTDHandler(&handler);
      parser.setEntityResolver(&handler);
      parser.setErrorHandler(&handler);
      try {
        parser.parse(&input);
      } catch (const ACEXML_SAXException& e) {
        failure = std::string(e.id() != nullptr ? e.id() : "ACEXML_SAXException") + ": " +
                  (e.message() != nullptr ? e.message() : "");
      } catch (const std::exception& e) {
        failure = std::string("XML parse failure: ") + e.what();
      } catch (...) {
        failure = "UNKNOWN EXCEPTION";
      }
    }
  }
  if (failure.empty()) return true;
  if (error != nullptr) *error = failure;
  return false;
}

}  // namespace solvarium
