#include "common/xml_char_stream.h"

#include <ACEXML/common/Encoding.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace solvarium {

namespace {

const char kBlank = ' ';

}  // namespace

XmlCharStream::XmlCharStream(std::string prefix, const char* text, std::size_t size,
                             std::string systemId, std::vector<std::size_t> blanks)
    : prefix_(std::move(prefix)),
      text_(text),
      size_(size),
      systemId_(std::move(systemId)),
      blanks_(std::move(blanks)) {
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
  resume_ = nullptr;
  nextBlank_ = 0;
  ptr_ = prefix_.data();
  end_ = ptr_ + prefix_.size();
  nextSegment();
}

void XmlCharStream::nextSegment() {
  if (ptr_ != end_) return;
  if (inPrefix_) {
    inPrefix_ = false;
    ptr_ = text_;
  } else if (resume_ != nullptr) {
    ptr_ = resume_;
    resume_ = nullptr;
  } else if (ptr_ != text_ + size_) {  // a piece ends where a blank goes
    resume_ = ptr_;
    ptr_ = &kBlank;
    end_ = ptr_ + 1;
    return;
  } else {
    return;
  }
  end_ = text_ + (nextBlank_ < blanks_.size() ? blanks_[nextBlank_++] : size_);
}

int XmlCharStream::available() { return static_cast<int>(prefix_.size() + size_ + blanks_.size()); }

int XmlCharStream::close() {
  inPrefix_ = false;
  resume_ = nullptr;
  ptr_ = end_ = text_ + size_;
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
