// An ACEXML character stream over text that the caller keeps: an optional
// prefix (the XML declaration the gate adds) and then the text itself, read
// in place without a copy, with a blank read in at given offsets (after the
// "<!--" of comments that ACEXML cannot read otherwise). The stream borrows
// the text: it must outlive it.
#ifndef SOLVARIUM_COMMON_XML_CHAR_STREAM_H_
#define SOLVARIUM_COMMON_XML_CHAR_STREAM_H_

#include <ACEXML/common/CharStream.h>

#include <cstddef>
#include <string>
#include <vector>

namespace solvarium {

class XmlCharStream : public ACEXML_CharStream {
 public:
  // Reads `prefix` (may be empty), then the `size` chars at `text`, with a
  // blank before the char at each offset of `blanks` (ascending, inside the
  // text, none 0); neither holds a NUL. The encoding is found from the first
  // four chars, as ACEXML's own string stream does.
  XmlCharStream(std::string prefix, const char* text, std::size_t size, std::string systemId,
                std::vector<std::size_t> blanks);
  ~XmlCharStream() override;

  // False when ACEXML cannot tell the encoding of the first chars.
  bool ok() const { return !encoding_.empty(); }

  int available() override;
  int close() override;
  int get(ACEXML_Char& ch) override;
  int read(ACEXML_Char* str, std::size_t len) override;
  int peek() override;
  void rewind() override;
  const ACEXML_Char* getEncoding() override;
  const ACEXML_Char* getSystemId() override;

 private:
  // Moves on to the next segment when the one in hand is used up: the
  // prefix, then pieces of the text with a blank between them.
  void nextSegment();

  const std::string prefix_;
  const char* const text_;
  const std::size_t size_;
  const std::string systemId_;
  const std::vector<std::size_t> blanks_;
  std::string encoding_;
  const char* ptr_;  // next char of the segment in hand
  const char* end_;  // end of that segment
  bool inPrefix_;
  const char* resume_;     // in a blank: where the text goes on; else null
  std::size_t nextBlank_;  // index in blanks_ of the next piece's end
};

}  // namespace solvarium

#endif  // SOLVARIUM_COMMON_XML_CHAR_STREAM_H_
