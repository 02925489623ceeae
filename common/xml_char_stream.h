// An ACEXML character stream over text that the caller keeps: an optional
// prefix (the XML declaration the gate adds) and then the text itself, read
// in place without a copy. The stream borrows both: they must outlive it.
#ifndef SOLVARIUM_COMMON_XML_CHAR_STREAM_H_
#define SOLVARIUM_COMMON_XML_CHAR_STREAM_H_

#include <ACEXML/common/CharStream.h>

#include <cstddef>
#include <string>

namespace solvarium {

class XmlCharStream : public ACEXML_CharStream {
 public:
  // Reads `prefix` (may be empty), then the `size` chars at `text`; neither
  // holds a NUL. The encoding is found from the first four chars, as ACEXML's
  // own string stream does.
  XmlCharStream(std::string prefix, const char* text, std::size_t size, std::string systemId);
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
  // Moves on to the text when the prefix is used up.
  void nextSegment();

  const std::string prefix_;
  const char* const text_;
  const std::size_t size_;
  const std::string systemId_;
  std::string encoding_;
  const char* ptr_;  // next char of the segment in hand
  const char* end_;  // end of that segment
  bool inPrefix_;
};

}  // namespace solvarium

#endif  // SOLVARIUM_COMMON_XML_CHAR_STREAM_H_
