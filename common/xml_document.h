// Safe parsing of a whole XML text held in memory with an ACEXML SAX handler.
// Shared by every reader of solver XML (monitor data, metadata, descriptions).
#ifndef SOLVARIUM_COMMON_XML_DOCUMENT_H_
#define SOLVARIUM_COMMON_XML_DOCUMENT_H_

#include <cstddef>
#include <string>

class ACEXML_DefaultHandler;

namespace solvarium {

// Deepest element nesting accepted; the parser recurses once per level.
inline constexpr std::size_t kMaxXmlNesting = 1000;

// Most attributes accepted on one element: ACEXML holds 20 without copying,
// and copies them all for each one more (its work per element then grows
// with the square of the count).
inline constexpr std::size_t kMaxXmlAttributes = 20;

// Most namespace declarations ("xmlns", "xmlns:p" attributes) accepted in a
// document: ACEXML copies every binding in scope for each element that
// declares one.
inline constexpr std::size_t kMaxXmlNamespaces = 100;

// Most bytes of namespace names (the values of the declarations on an
// element and its ancestors) accepted in scope at once: ACEXML's work for
// each prefixed element and attribute grows with them.
inline constexpr std::size_t kMaxXmlNamespaceBytes = 4096;

// Parses `text` with `handler` as content handler, DTD handler, entity
// resolver and error handler, under the system id `systemId`.
//
// Before parsing: a UTF-8 byte-order mark is stripped (once) and an XML
// declaration is prepended unless the text starts with one. A text holding a
// NUL byte, "<!DOCTYPE" or "<!ENTITY" (any case) is refused, and so is any
// document that expat finds not well-formed as UTF-8, whose elements nest
// deeper than kMaxXmlNesting, that has an element with more than
// kMaxXmlAttributes attributes, more than kMaxXmlNamespaces namespace
// declarations or more than kMaxXmlNamespaceBytes of namespace names in scope
// (the check reads any text, and ACEXML what passes, in time linear in its
// size, however long one token is).
// ACEXML loops or crashes on some malformed input and on two well-formed
// constructs, which are refused as well: a CDATA
// section whose text ends in an odd number of ']', and a processing
// instruction whose target starts with a non-ASCII character. Refused texts
// never reach ACEXML, and no external entity is ever opened. A comment that
// is empty or starts with '-', which ACEXML would refuse, reaches it with a
// blank after its "<!--" (ACEXML reports no comment).
//
// Returns true when the parse ended normally. Otherwise returns false and
// sets `error` (when not null) to the failure: a text naming the refused
// construct, "XML document is not well-formed (line L, column C): <reason>",
// or "<exception id>: <message>" for ACEXML's exception. The handler may have
// received callbacks before an ACEXML failure, never before a refusal.
bool parseXmlDocument(const std::string& text, ACEXML_DefaultHandler& handler,
                      const std::string& systemId, std::string* error);

}  // namespace solvarium

#endif  // SOLVARIUM_COMMON_XML_DOCUMENT_H_
