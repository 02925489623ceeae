// The shared XML parse helper: declaration handling, refused constructs and
// the parser's error text.
#include "common/xml_document.h"

#include "common/xml_char_stream.h"

#include <ACEXML/common/Attributes.h>
#include <ACEXML/common/DefaultHandler.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// Records element names and one attribute value per element.
class RecordingHandler : public ACEXML_DefaultHandler {
 public:
  void startElement(const ACEXML_Char*, const ACEXML_Char*, const ACEXML_Char* qName,
                    ACEXML_Attributes* atts) override {
    std::string entry = qName;
    if (atts != nullptr && atts->getLength() > 0)
      entry += "=" + std::string(atts->getValue(std::size_t{0}));
    elements.push_back(entry);
  }
  ACEXML_InputSource* resolveEntity(const ACEXML_Char*, const ACEXML_Char* systemId) override {
    resolved.push_back(systemId != nullptr ? systemId : "");
    return nullptr;
  }
  void warning(ACEXML_SAXParseException&) override {}
  std::vector<std::string> elements;
  std::vector<std::string> resolved;
};

std::string nested(std::size_t depth) {
  std::string text;
  for (std::size_t i = 0; i < depth; ++i) text += "<e>";
  for (std::size_t i = 0; i < depth; ++i) text += "</e>";
  return text;
}

TEST(XmlDocumentTest, ParsesWithOrWithoutDeclarationAndBom) {
  for (const std::string& text :
       {std::string("<a x=\"1\"><b x=\"&quot;2&amp;\"/></a>"),
        std::string("<?xml version=\"1.0\"?>\n<a x=\"1\"><b x=\"&quot;2&amp;\"/></a>"),
        std::string("\xEF\xBB\xBF<a x=\"1\"><b x=\"&quot;2&amp;\"/></a>"),
        std::string("\xEF\xBB\xBF<?xml version=\"1.0\"?><a x=\"1\"><!-- <c> --><b "
                    "x=\"&quot;2&amp;\"/></a>")}) {
    RecordingHandler handler;
    std::string error;
    ASSERT_TRUE(solvarium::parseXmlDocument(text, handler, "MyXML", &error)) << text << error;
    EXPECT_EQ(handler.elements, (std::vector<std::string>{"a=1", "b=\"2&"}));
  }
}

TEST(XmlDocumentTest, BrokenDocumentsAreRefusedWithTheirPlace) {
  // Each of these once crashed ACEXML or made it loop forever; with a BOM,
  // and with a declaration, they are refused the same way.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"<a><b></a>", "line 1, column 9): mismatched tag"},
      {"", "line 1, column 1): no element found"},
      {"not xml at all", "line 1, column 1): syntax error"},
      {"<a x=1/>", "line 1, column 6): not well-formed (invalid token)"},
      {"<a><? ?></a>", "line 1, column 6): not well-formed (invalid token)"},
      {"<?\xff?>", "line 1, column 3): not well-formed (invalid token)"},
      {"<a>\n<!--", "line 2, column 1): unclosed token"},
      {"<a><![CDATA[x", "line 1, column 14): unclosed CDATA section"},
      {"<a><?pi x", "line 1, column 4): unclosed token"},
      {"<a><!-- x ---></a>", "line 1, column 13): not well-formed (invalid token)"},
      {"<a>\xc3\x28</a>", "line 1, column 4): not well-formed (invalid token)"},
      {"<a>&e;</a>", "line 1, column 4): undefined entity"},
      {"\xEF\xBB\xBF\xEF\xBB\xBF<a/>", "line 1, column 1): not well-formed (invalid token)"},
  };
  for (const auto& [text, where] : cases) {
    for (const std::string& variant :
         {text, "\xEF\xBB\xBF" + text, "<?xml version=\"1.0\"?>" + text}) {
      RecordingHandler handler;
      std::string error;
      EXPECT_FALSE(solvarium::parseXmlDocument(variant, handler, "MyXML", &error)) << variant;
      EXPECT_EQ(error.rfind("XML document is not well-formed (", 0), 0u) << error;
      EXPECT_TRUE(handler.elements.empty()) << variant;
      if (variant.rfind("<?xml", 0) != 0) {  // a given declaration shifts the columns
        EXPECT_NE(error.find(where), std::string::npos) << variant << ": " << error;
      }
    }
  }
  // A well-formed document that ACEXML refuses keeps ACEXML's message.
  RecordingHandler handler;
  std::string error;
  EXPECT_FALSE(
      solvarium::parseXmlDocument("<?xml version=\"1.1\"?><a/>", handler, "MyXML", &error));
  EXPECT_EQ(error.rfind("ACEXML_SAXParseException: ", 0), 0u) << error;
}

TEST(XmlDocumentTest, WellFormedDocumentsThatAcexmlMisreadsAreRefused) {
  // Found by fuzzing: ACEXML reads past a CDATA section ending in an odd
  // number of ']' and grows without end; it crashes on a processing
  // instruction whose target starts with a non-ASCII letter.
  for (const std::string& text :
       {std::string("<a><![CDATA[x]]]></a>"), std::string("<a><![CDATA[]]]></a>"),
        std::string("<a><![CDATA[]\n]]]]]></a>"),
        std::string(
            "<Root><Variables><![CDATA[<Variable>]]]]]]](((]]]]]]]]]]]]]></Variables></Root>"),
        std::string("<a><?\xC3\xA9?></a>"), std::string("<?\xC3\xA9 x?><a/>")}) {
    RecordingHandler handler;
    std::string error;
    EXPECT_FALSE(solvarium::parseXmlDocument(text, handler, "MyXML", &error)) << text;
    EXPECT_NE(error.find(" is refused"), std::string::npos) << error;
    EXPECT_TRUE(handler.elements.empty()) << text;
  }
  for (const std::string& text :
       {std::string("<a><![CDATA[x]]]]></a>"), std::string("<a><![CDATA[]]></a>"),
        std::string("<!----><a><!---x-x--><!----></a><!---->"),
        std::string("<a><?_x ?\?><?:y?><?z?></a>")}) {
    RecordingHandler handler;
    std::string error;
    EXPECT_TRUE(solvarium::parseXmlDocument(text, handler, "MyXML", &error)) << text << error;
    EXPECT_EQ(handler.elements, std::vector<std::string>{"a"});
  }
}

TEST(XmlDocumentTest, DeclarationIsAddedOnceAndOnlyWhenMissing) {
  // A processing instruction named "xml-..." is not a declaration.
  for (const std::string& text :
       {std::string("<?xml-stylesheet href=\"s\"?><a x=\"1\"/>"),
        std::string("\xEF\xBB\xBF<?xml\tversion=\"1.0\"?><a x=\"1\"/>"),
        std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><a x=\"1\"/>")}) {
    RecordingHandler handler;
    std::string error;
    EXPECT_TRUE(solvarium::parseXmlDocument(text, handler, "MyXML", &error)) << text << error;
    EXPECT_EQ(handler.elements, std::vector<std::string>{"a=1"});
  }
  // A second declaration is an error, whether the first was given or added.
  for (const std::string& text : {std::string("<?xml version=\"1.0\"?><?xml version=\"1.0\"?><a/>"),
                                  std::string(" <?xml version=\"1.0\"?><a/>")}) {
    RecordingHandler handler;
    std::string error;
    EXPECT_FALSE(solvarium::parseXmlDocument(text, handler, "MyXML", &error)) << text;
    EXPECT_NE(error.find("XML or text declaration not at start of entity"), std::string::npos)
        << error;
  }
}

TEST(XmlDocumentTest, RefusesDoctypeEntitiesAndNulWithoutParsing) {
  const std::string secret = ::testing::TempDir() + "/xml_document_secret.txt";
  for (const std::string& text :
       {"<!DOCTYPE a SYSTEM \"file://" + secret + "\"><a/>",
        std::string("<?xml version=\"1.0\"?><!doctype a><a/>"),
        std::string("<!ENTITY x \"y\"><a/>"), std::string("<a/>\0<b/>", 9)}) {
    RecordingHandler handler;
    std::string error;
    EXPECT_FALSE(solvarium::parseXmlDocument(text, handler, "MyXML", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(handler.elements.empty());
    EXPECT_TRUE(handler.resolved.empty());
  }
}

TEST(XmlDocumentTest, RefusalNamesTheDeclarationFoundInAnyCase) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"<a><!<!EnTiTy x \"y\"></a>", "entity declaration"},
      {"<a><!ENTITY x \"y\"><!DocType a></a>", "document type declaration"},
      {"<a>&lt;!doctype</a>", ""}};
  for (const auto& entry : cases) {
    RecordingHandler handler;
    std::string error;
    EXPECT_EQ(solvarium::parseXmlDocument(entry.first, handler, "MyXML", &error),
              entry.second.empty())
        << entry.first;
    EXPECT_NE(error.find(entry.second), std::string::npos) << error;
  }
}

// The gate's stream reads the declaration, then the caller's text in place.
TEST(XmlDocumentTest, CharStreamJoinsDeclarationAndText) {
  const std::string text = "<a>\xC3\xA9</a>";
  solvarium::XmlCharStream stream("<?x?>", text.data(), text.size(), "id", {});
  ASSERT_TRUE(stream.ok());
  EXPECT_STREQ(stream.getEncoding(), "UTF-8");
  EXPECT_STREQ(stream.getSystemId(), "id");
  EXPECT_EQ(stream.available(), 14);
  char got[32] = {};
  EXPECT_EQ(stream.read(got, 7), 7);
  EXPECT_STREQ(got, "<?x?><a");
  EXPECT_EQ(stream.peek(), '>');
  ACEXML_Char ch = 0;
  EXPECT_EQ(stream.get(ch), 0);
  EXPECT_EQ(stream.peek(), static_cast<int>(static_cast<char>('\xC3')));
  std::string rest;
  while (stream.get(ch) == 0) rest += ch;
  EXPECT_EQ(rest, "\xC3\xA9</a>");
  EXPECT_EQ(stream.peek(), -1);
  stream.rewind();
  EXPECT_EQ(stream.get(ch), 0);
  EXPECT_EQ(ch, '<');
  solvarium::XmlCharStream bare("", text.data(), text.size(), "id", {});
  EXPECT_EQ(bare.peek(), '<');
}

TEST(XmlDocumentTest, NestingLimit) {
  RecordingHandler ok;
  std::string error;
  EXPECT_TRUE(solvarium::parseXmlDocument(nested(solvarium::kMaxXmlNesting), ok, "MyXML", &error))
      << error;
  EXPECT_EQ(ok.elements.size(), solvarium::kMaxXmlNesting);

  RecordingHandler deep;
  EXPECT_FALSE(
      solvarium::parseXmlDocument(nested(solvarium::kMaxXmlNesting + 1), deep, "MyXML", &error));
  EXPECT_NE(error.find("deeper"), std::string::npos) << error;
  EXPECT_TRUE(deep.elements.empty());

  // Unclosed start tags count too: a deep, broken document is never parsed.
  RecordingHandler unclosed;
  std::string opens;
  for (int i = 0; i < 100000; ++i) opens += "<e>";
  EXPECT_FALSE(solvarium::parseXmlDocument(opens, unclosed, "MyXML", &error));
  EXPECT_TRUE(unclosed.elements.empty());

  // Self-closing siblings and '>' inside attribute values do not nest.
  std::string siblings = "<a>";
  for (int i = 0; i < 5000; ++i) siblings += "<b x=\"1>2\"/>";
  siblings += "</a>";
  RecordingHandler flat;
  EXPECT_TRUE(solvarium::parseXmlDocument(siblings, flat, "MyXML", &error)) << error;
  EXPECT_EQ(flat.elements.size(), 5001u);
}

TEST(XmlDocumentTest, AttributeLimit) {
  auto wide = [](std::size_t count) {
    std::string text = "<a><b";
    for (std::size_t i = 0; i < count; ++i) text += " x" + std::to_string(i) + "=\"1\"";
    return text + "/></a>";
  };
  RecordingHandler ok;
  std::string error;
  EXPECT_TRUE(solvarium::parseXmlDocument(wide(solvarium::kMaxXmlAttributes), ok, "MyXML", &error))
      << error;
  EXPECT_EQ(ok.elements, (std::vector<std::string>{"a", "b=1"}));

  // Refused before ACEXML, whose work is quadratic in the count.
  for (std::size_t count : {solvarium::kMaxXmlAttributes + 1, std::size_t{20000}}) {
    RecordingHandler many;
    EXPECT_FALSE(solvarium::parseXmlDocument(wide(count), many, "MyXML", &error));
    EXPECT_EQ(error, "XML document has an element with more than 20 attributes");
    EXPECT_TRUE(many.elements.empty());
  }

  // Namespace declarations are counted over the whole document.
  std::string declared = "<a xmlns=\"u\">";
  for (int i = 1; i < 100; ++i) declared += "<b xmlns:p=\"u\"/>";
  EXPECT_TRUE(solvarium::parseXmlDocument(declared + "</a>", ok, "MyXML", &error)) << error;
  declared += "<b xmlns=\"v\"/></a>";
  EXPECT_FALSE(solvarium::parseXmlDocument(declared, ok, "MyXML", &error));
  EXPECT_EQ(error, "XML document has more than 100 namespace declarations");

  const std::string uri(2048, 'u'), b = "<b xmlns:p=\"" + uri + "\"/>", a = "<a xmlns=\"" + uri;
  EXPECT_TRUE(solvarium::parseXmlDocument(a + "\">" + b + b + "</a>", ok, "MyXML", &error)) << error;
  EXPECT_FALSE(solvarium::parseXmlDocument(a + "u\">" + b + "</a>", ok, "MyXML", &error));
  EXPECT_EQ(error, "XML document has more than 4096 bytes of namespace names in scope");
}

}  // namespace
