#include "common/xml_document.h"

#include <ACEXML/common/DefaultHandler.h>
#include <ACEXML/common/InputSource.h>
#include <ACEXML/common/SAXExceptions.h>
#include <ACEXML/parser/parser/Parser.h>
#include <expat.h>

#include <algorithm>
#include <cctype>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/text_words.h"
#include "common/xml_char_stream.h"
#include "platform/thread_stacks.h"

namespace solvarium {
namespace {

const char kUtf8Bom[] = "\xEF\xBB\xBF";
const char kDeclaration[] = "<?xml version=\"1.0\"?>\n";
const char kDoctypeRefused[] = "XML document with a document type declaration is refused";
const char kEntityRefused[] = "XML document with an entity declaration is refused";
// Bytes handed to expat per call, at least and at most (its length argument
// is an int).
const std::size_t kCheckChunk = 1 << 20;
const std::size_t kMaxCheckChunk = std::size_t{1} << 30;

// True when `text` opens with an XML declaration (not a processing
// instruction whose target merely starts with "xml").
bool startsWithDeclaration(std::string_view text) {
  return matchPrefix(text, "<?xml") && text.size() > 5 &&
         (text[5] == ' ' || text[5] == '\t' || text[5] == '\r' || text[5] == '\n');
}

bool equalsIgnoringCase(std::string_view text, std::size_t at, std::string_view lowerWord) {
  if (text.size() - at < lowerWord.size()) return false;
  for (std::size_t i = 0; i < lowerWord.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[at + i])) != lowerWord[i]) return false;
  }
  return true;
}

// The refusal of a "<!DOCTYPE", else of a "<!ENTITY" (any case), that `text`
// holds, read in place; "" when it holds neither.
std::string declarationRefusal(std::string_view text) {
  bool entity = false;
  for (std::size_t at = text.find("<!"); at != std::string_view::npos;
       at = text.find("<!", at + 2)) {
    if (equalsIgnoringCase(text, at + 2, "doctype")) return kDoctypeRefused;
    entity = entity || equalsIgnoringCase(text, at + 2, "entity");
  }
  return entity ? kEntityRefused : "";
}

// State of one well-formedness check.
struct CheckState {
  XML_Parser parser = nullptr;
  std::size_t depth = 0;
  std::size_t namespaces = 0;              // namespace declarations so far
  std::size_t namespaceBytes = 0;          // namespace names in scope
  std::vector<std::size_t> declaredBytes;  // per open element: its share of those
  bool inCdata = false;
  std::size_t closingBrackets = 0;         // ']' that end the CDATA text so far
  std::size_t declarationBytes = 0;        // fed before the text
  std::vector<std::size_t> commentBlanks;  // offsets in the text: see checkComment
  std::string refusal;                     // set by a handler that stopped the parse
};

void stopWith(CheckState* state, const std::string& refusal) {
  if (state->refusal.empty()) state->refusal = refusal;
  XML_StopParser(state->parser, XML_FALSE);
}

void XMLCALL checkStart(void* data, const XML_Char*, const XML_Char** attributes) {
  CheckState* state = static_cast<CheckState*>(data);
  if (++state->depth > kMaxXmlNesting) {
    stopWith(state, "XML document nests elements deeper than " + std::to_string(kMaxXmlNesting) +
                        " levels");
    return;
  }
  // Name and value alternate, up to a null.
  std::size_t declared = 0;
  for (std::size_t count = 0; attributes[2 * count] != nullptr; ++count) {
    if (count == kMaxXmlAttributes) {
      stopWith(state, "XML document has an element with more than " +
                          std::to_string(kMaxXmlAttributes) + " attributes");
      return;
    }
    const std::string_view name(attributes[2 * count]);
    if (name != "xmlns" && !matchPrefix(name, "xmlns:")) continue;
    if (++state->namespaces > kMaxXmlNamespaces) {
      stopWith(state, "XML document has more than " + std::to_string(kMaxXmlNamespaces) +
                          " namespace declarations");
      return;
    }
    declared += std::char_traits<char>::length(attributes[2 * count + 1]);
  }
  state->namespaceBytes += declared;
  state->declaredBytes.push_back(declared);
  if (state->namespaceBytes > kMaxXmlNamespaceBytes) {
    stopWith(state, "XML document has more than " + std::to_string(kMaxXmlNamespaceBytes) +
                        " bytes of namespace names in scope");
  }
}

void XMLCALL checkEnd(void* data, const XML_Char*) {
  CheckState* state = static_cast<CheckState*>(data);
  --state->depth;
  // After a refusal (expat ends an empty element even so) the counts no longer matter.
  if (!state->refusal.empty()) return;
  state->namespaceBytes -= state->declaredBytes.back();
  state->declaredBytes.pop_back();
}

// Well-formed constructs that ACEXML mis-parses are refused too: it reads a
// CDATA section whose text ends in an odd number of ']' past its end (and
// then forever), and crashes on a processing instruction whose target does
// not start with an ASCII letter, '_' or ':'.
void XMLCALL checkCdataStart(void* data) {
  CheckState* state = static_cast<CheckState*>(data);
  state->inCdata = true;
  state->closingBrackets = 0;
}

void XMLCALL checkCdataEnd(void* data) {
  CheckState* state = static_cast<CheckState*>(data);
  state->inCdata = false;
  if (state->closingBrackets % 2 == 1) {
    stopWith(state, "XML document with a CDATA section ending in an odd number of ']' is refused");
  }
}

void XMLCALL checkText(void* data, const XML_Char* text, int length) {
  CheckState* state = static_cast<CheckState*>(data);
  if (!state->inCdata) return;
  for (int i = 0; i < length; ++i)
    state->closingBrackets = text[i] == ']' ? state->closingBrackets + 1 : 0;
}

void XMLCALL checkProcessingInstruction(void* data, const XML_Char* target, const XML_Char*) {
  const unsigned char first = static_cast<unsigned char>(target[0]);
  if (first >= 0x80) {
    stopWith(static_cast<CheckState*>(data),
             "XML document with a processing instruction whose target does not start with an "
             "ASCII letter is refused");
  }
}

// ACEXML refuses a comment that is empty or whose text starts with '-'; it
// skips every comment whole, so its stream reads a blank after that "<!--".
void XMLCALL checkComment(void* data, const XML_Char* text) {
  CheckState* state = static_cast<CheckState*>(data);
  if (text[0] != '\0' && text[0] != '-') return;
  const XML_Index start = XML_GetCurrentByteIndex(state->parser);  // of the "<!--"
  state->commentBlanks.push_back(static_cast<std::size_t>(start) - state->declarationBytes + 4);
}

void XMLCALL refuseDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  stopWith(static_cast<CheckState*>(data), kDoctypeRefused);
}

void XMLCALL refuseEntity(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                          const XML_Char*, const XML_Char*, const XML_Char*) {
  stopWith(static_cast<CheckState*>(data), kEntityRefused);
}

// Never opens an external entity: any reference to one fails the check.
int XMLCALL refuseExternalEntity(XML_Parser, const XML_Char*, const XML_Char*, const XML_Char*,
                                 const XML_Char*) {
  return XML_STATUS_ERROR;
}

// Checks that `declaration` followed by `text` is one well-formed XML
// document in UTF-8 (whatever its declaration names), without a DTD,
// nested at most kMaxXmlNesting deep, with at most kMaxXmlAttributes
// attributes per element and kMaxXmlNamespaces namespace declarations.
// Returns the refusal text, empty when the document passes; its line numbers
// leave out the lines of `declaration`. Sets `commentBlanks` to the offsets
// in `text` where ACEXML's stream reads a blank.
std::string wellFormednessFailure(const std::string& declaration, std::string_view text,
                                  std::vector<std::size_t>* commentBlanks) {
  std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> owner(XML_ParserCreate("UTF-8"),
                                                                XML_ParserFree);
  if (!owner) return "Cannot check the XML text: out of memory";
  CheckState state;
  state.parser = owner.get();
  state.declarationBytes = declaration.size();
  XML_SetUserData(state.parser, &state);
  XML_SetElementHandler(state.parser, checkStart, checkEnd);
  XML_SetCdataSectionHandler(state.parser, checkCdataStart, checkCdataEnd);
  XML_SetCharacterDataHandler(state.parser, checkText);
  XML_SetProcessingInstructionHandler(state.parser, checkProcessingInstruction);
  XML_SetCommentHandler(state.parser, checkComment);
  XML_SetStartDoctypeDeclHandler(state.parser, refuseDoctype);
  XML_SetEntityDeclHandler(state.parser, refuseEntity);
  XML_SetParamEntityParsing(state.parser, XML_PARAM_ENTITY_PARSING_NEVER);
  XML_SetExternalEntityRefHandler(state.parser, refuseExternalEntity);

  const unsigned long addedLines =
      static_cast<unsigned long>(std::count(declaration.begin(), declaration.end(), '\n'));
  auto failure = [&]() -> std::string {
    if (!state.refusal.empty()) return state.refusal;
    const unsigned long line = XML_GetCurrentLineNumber(state.parser);
    return "XML document is not well-formed (line " +
           std::to_string(line > addedLines ? line - addedLines : 1) + ", column " +
           std::to_string(XML_GetCurrentColumnNumber(state.parser) + 1) +
           "): " + XML_ErrorString(XML_GetErrorCode(state.parser));
  };
  // The declaration and the text are fed in turn: no joined copy is made.
  if (!declaration.empty() &&
      XML_Parse(state.parser, declaration.data(), static_cast<int>(declaration.size()),
                XML_FALSE) != XML_STATUS_OK) {
    return failure();
  }
  // Expat scans a token that a chunk leaves unfinished again from its start
  // with the next chunk: a chunk at least as long as that pending part keeps
  // the work linear in the length of the longest token.
  std::size_t at = 0;
  do {
    const XML_Index parsed = XML_GetCurrentByteIndex(state.parser);
    const std::size_t fed = declaration.size() + at;
    const std::size_t pending = parsed >= 0 ? fed - static_cast<std::size_t>(parsed) : 0;
    const std::size_t length =
        std::min({std::max(kCheckChunk, pending), kMaxCheckChunk, text.size() - at});
    const bool last = at + length == text.size();
    if (XML_Parse(state.parser, text.data() + at, static_cast<int>(length),
                  last ? XML_TRUE : XML_FALSE) != XML_STATUS_OK) {
      return failure();
    }
    at += length;
  } while (at < text.size());
  *commentBlanks = std::move(state.commentBlanks);
  return std::string();
}

// Runs ACEXML over a document that passed the check, read in place from
// `declaration` and `text` with the check's comment blanks; returns the
// failure text, empty on success.
std::string parseChecked(const std::string& declaration, std::string_view text,
                         std::vector<std::size_t> commentBlanks, ACEXML_DefaultHandler& handler,
                         const std::string& systemId) {
  XmlCharStream* stream =
      new XmlCharStream(declaration, text.data(), text.size(), systemId, std::move(commentBlanks));
  if (!stream->ok()) {
    delete stream;
    return "Cannot open the XML text for parsing";
  }
  ACEXML_InputSource input(stream);  // owns the stream
  ACEXML_Parser parser;
  parser.setContentHandler(&handler);
  parser.setDTDHandler(&handler);
  parser.setEntityResolver(&handler);
  parser.setErrorHandler(&handler);
  try {
    // It recurses once per level of nesting.
    platform::runOnLargeStack([&] { parser.parse(&input); });
  } catch (const ACEXML_SAXException& e) {
    return std::string(e.id() != nullptr ? e.id() : "ACEXML_SAXException") + ": " +
           (e.message() != nullptr ? e.message() : "");
  } catch (const std::exception& e) {
    return std::string("XML parse failure: ") + e.what();
  } catch (...) {
    return "UNKNOWN EXCEPTION";
  }
  return std::string();
}

}  // namespace

bool parseXmlDocument(const std::string& text, ACEXML_DefaultHandler& handler,
                      const std::string& systemId, std::string* error) {
  // The text is read in place: the byte-order mark is skipped, the
  // declaration is handed over apart.
  std::string_view document(text);
  if (matchPrefix(document, kUtf8Bom)) document.remove_prefix(3);

  std::string failure = document.find('\0') != std::string_view::npos
                            ? "XML document contains a NUL byte"
                            : declarationRefusal(document);
  if (failure.empty()) {
    const std::string declaration = startsWithDeclaration(document) ? "" : kDeclaration;
    std::vector<std::size_t> commentBlanks;
    failure = wellFormednessFailure(declaration, document, &commentBlanks);
    if (failure.empty()) {
      failure = parseChecked(declaration, document, std::move(commentBlanks), handler, systemId);
    }
  }
  if (failure.empty()) return true;
  if (error != nullptr) *error = failure;
  return false;
}

}  // namespace solvarium
