#include "common/xml_char_stream.h"

#include <ACEXML/common/Encoding.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace solvarium {

XmlCharStream::XmlCharStream(std::string prefix, const char* text, std::size_t size,
                             std::string systemId)
    : prefix_(std::move(prefix)), text_(text), size_(size), systemId_(std::move(systemId)) {
  char first[4] = {0, 0, 0, 0};
  const std::size_t fromPrefix = std::min<std::size_t>(4, prefix_.size());
  std::memcpy(first, prefix_.data(), fromPrefix);
  std::memcpy(first + fromPrefix, text_, std::min(4 - fromPrefix, size_));
  const ACEXML_Char* encoding = ACEXML_Encoding::get_encoding(first);
  if (encoding != nullptr) encoding_ = encoding;
  rewind();
}

XmlCharStream::~XmlCharStream() = default;

void XmlCharStream::rewind() {
  inPrefix_ = true;
  ptr_ = prefix_.data();
  end_ = ptr_ + prefix_.size();
  nextSegment();
}

void XmlCharStream::nextSegment() {
  if (ptr_ == end_ && inPrefix_) {
    inPrefix_ = false;
    ptr_ = text_;
    end_ = text_ + size_;
  }
}

int XmlCharStream::available() { return static_cast<int>(prefix_.size() + size_); }

int XmlCharStream::close() {
  inPrefix_ = false;
  ptr_ = end_;
  return 0;
}

// Same results as ACEXML's string stream: 0 for a char, -1 at the end.
int XmlCharStream::get(ACEXML_Char& ch) {
  if (ptr_ == end_) return -1;
  ch = *ptr_++;
  nextSegment();
  return 0;
}

int XmlCharStream::read(ACEXML_Char* str, std::size_t len) {
  std::size_t done = 0;
  while (done < len && ptr_ != end_) {
    const std::size_t n = std::min(len - done, static_cast<std::size_t>(end_ - ptr_));
    std::memcpy(str + done, ptr_, n);
    ptr_ += n;
    done += n;
    nextSegment();
  }
  return static_cast<int>(done);
}

int XmlCharStream::peek() { return ptr_ == end_ ? -1 : *ptr_; }

const ACEXML_Char* XmlCharStream::getEncoding() {
  return encoding_.empty() ? nullptr : encoding_.c_str();
}

const ACEXML_Char* XmlCharStream::getSystemId() { return systemId_.c_str(); }

}  // namespace solvarium
