// The shared XML parse helper: declaration handling, refused constructs and
// the parser's error text.
#include "common/xml_document.h"

#include <ACEXML/common/Attributes.h>
#include <ACEXML/common/DefaultHandler.h>
#include <gtest/gtest.h>

#include <string>
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

TEST(XmlDocumentTest, BrokenDocumentsReportTheParserMessage) {
  for (const std::string& text : {std::string("<a><b></a>"), std::string(""),
                                  std::string("not xml at all"), std::string("<a x=1/>")}) {
    RecordingHandler handler;
    std::string error;
    EXPECT_FALSE(solvarium::parseXmlDocument(text, handler, "MyXML", &error)) << text;
    EXPECT_EQ(error.rfind("ACEXML_SAXParseException: ", 0), 0u) << error;
    EXPECT_GT(error.size(), std::string("ACEXML_SAXParseException: ").size());
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

}  // namespace
