#include "solvers/talvo/talvo_settings_walk.h"

#include "common/json_text.h"

namespace TALVO {

namespace {

const long kMaxIndent = 64;

// Blanks of a settings text.
bool isSettingsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Blanks that are also JSON whitespace.
bool isJsonSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string tabs(long depth) {
  if (depth < 1) return std::string();
  return std::string(static_cast<std::size_t>(depth < kMaxIndent ? depth : kMaxIndent), '\t');
}

}  // namespace

SettingsWalk::SettingsWalk(const std::string& text) : text_(text) {}

std::string SettingsWalk::cleanValue(const std::string& value) {
  std::size_t i = 0;
  while (i < value.size() && isSettingsBlank(value[i])) ++i;
  while (i < value.size() && value[i] == '.') ++i;
  while (i < value.size() && isSettingsBlank(value[i])) ++i;
  return value.substr(i);
}

std::string SettingsWalk::readKey() {
  keyEnd_ = '\0';
  if (!atEnd() && text_[pos_] == '(') ++pos_;
  std::string key;
  while (!atEnd()) {
    const char c = text_[pos_];
    if (isSettingsBlank(c)) {
      keyEnd_ = c;
      ++pos_;
      break;
    }
    if (c == ')') {
      keyEnd_ = c;
      break;
    }
    key += c;
    ++pos_;
  }
  return key;
}

std::string SettingsWalk::readCompactValue() {
  std::string value;
  while (!atEnd()) {
    const char c = text_[pos_++];
    if (c == ')') break;
    if (!isSettingsBlank(c)) value += c;
  }
  return cleanValue(value);
}

std::string SettingsWalk::readBalancedValue(bool clean) {
  std::string value;
  long counter = 0;
  while (!atEnd()) {
    const char c = text_[pos_++];
    if (c == ')' && ++counter == 1) break;
    if (c == '(') --counter;
    value += c;
  }
  return clean ? cleanValue(value) : value;
}

void SettingsWalk::skipBlanks() {
  while (!atEnd() && isSettingsBlank(text_[pos_])) ++pos_;
}

void SettingsWalk::trailer(const char* separator) {
  while (!atEnd() && isSettingsBlank(text_[pos_])) {
    if (isJsonSpace(text_[pos_])) pending_ += text_[pos_];
    ++pos_;
  }
  if (!atEnd() && text_[pos_] == '(') {
    pending_ += separator;
    pendingComma_ = true;
  }
}

void SettingsWalk::beginMember() {
  if (entryHasMember_ && !pendingComma_) pending_.insert(0, ",");
  flushPending();
  entryHasMember_ = true;
}

void SettingsWalk::write(const std::string& text) {
  flushPending();
  out_ += text;
}

void SettingsWalk::flushPending() {
  out_ += pending_;
  pending_.clear();
  pendingComma_ = false;
}

void SettingsWalk::dropPendingComma() {
  if (!pendingComma_) return;
  const std::size_t comma = pending_.rfind(',');
  if (comma != std::string::npos) pending_.erase(comma, 1);
  pendingComma_ = false;
}

void SettingsWalk::close(const std::string& text) {
  dropPendingComma();
  flushPending();
  out_ += text;
}

void SettingsWalk::copyStructural(char c) {
  if (isJsonSpace(c)) pending_ += c;
  // anything else outside a string has no place in the JSON and is dropped
}

void SettingsWalk::copyStringText() {
  std::size_t end = text_.find_first_of("()", pos_);
  if (end == std::string::npos) end = text_.size();
  // Escaped as one piece, so that a multi-byte character stays whole.
  solvarium::appendJsonEscaped(&out_, std::string_view(text_).substr(pos_, end - pos_));
  pos_ = end;
}

void SettingsWalk::openParenthesis(const std::function<PropertyResult(SettingsWalk&)>& handler) {
  if (inString_) {
    out_ += solvarium::jsonEscape("\n" + tabs(depth_) + "(");
    ++depth_;
    ++pos_;
    return;
  }
  switch (depth_) {
    case 0:
      pending_ += "\n";
      write("[");
      opened_ = true;
      break;
    case 1:
      if (listHasEntry_ && !pendingComma_) pending_.insert(0, ",");
      pending_ += "\n\t";
      write("{");
      listHasEntry_ = true;
      entryHasMember_ = false;
      break;
    default: {  // 2: a property
      pending_ += "\n\t\t";
      const PropertyResult result = handler(*this);
      if (result == PropertyResult::kOpenString) {
        inString_ = true;
        depth_ = 3;
      }
      return;  // the handler has moved the position on
    }
  }
  ++depth_;
  ++pos_;
}

void SettingsWalk::closeParenthesis() {
  ++pos_;
  if (depth_ <= 0) return;  // a ")" before the outer list means nothing
  --depth_;
  if (inString_) {
    out_ += solvarium::jsonEscape(tabs(depth_));
    if (depth_ > 2) {
      out_ += ")";
      return;
    }
    out_ += "\"";
    inString_ = false;
    return;
  }
  if (depth_ == 1) {
    close(tabs(depth_) + "}");
    trailer(",");
  } else {
    close("]");
    finished_ = true;
  }
}

std::string SettingsWalk::run(const std::function<PropertyResult(SettingsWalk&)>& handler) {
  while (!atEnd()) {
    const char c = text_[pos_];
    if (finished_) {
      if (isJsonSpace(c)) out_ += c;
      ++pos_;
    } else if (c == '(') {
      openParenthesis(handler);
    } else if (c == ')') {
      closeParenthesis();
    } else if (inString_) {
      copyStringText();
    } else {
      copyStructural(c);
      ++pos_;
    }
  }
  if (!opened_) return "[]";
  if (!finished_) {
    if (inString_) out_ += "\"";
    if (depth_ >= 2) close("}");
    close("]");
  }
  return out_;
}

std::string walkSettings(const std::string& text,
                         const std::function<PropertyResult(SettingsWalk&)>& handler) {
  SettingsWalk walk(text);
  return walk.run(handler);
}

}  // namespace TALVO
