// The settings-text walk: one pass over a Lisp-like settings list of the
// Talvo solver (an outer list of entries, each a list of properties, each a
// list of a key and its value) that writes a JSON array with one object per
// entry. Parentheses become brackets, braces and members by their depth; a
// property handler (one per kind of list) writes each property.
//
// The output is valid JSON for every input: text outside the expected places
// is dropped, text copied into a string is escaped, separators come only
// between members, open structures are closed at the end, and indentation
// stops growing at 64 levels. The walk never recurses.
#ifndef SOLVARIUM_SOLVERS_TALVO_TALVO_SETTINGS_WALK_H_
#define SOLVARIUM_SOLVERS_TALVO_TALVO_SETTINGS_WALK_H_

#include <cstddef>
#include <functional>
#include <string>

namespace TALVO {

// What a property handler did with its property.
enum class PropertyResult {
  kMember,      // wrote one member and consumed the property
  kNothing,     // consumed the property and wrote nothing
  kOpenString,  // wrote a member name and an open string; the walk copies
                // the rest of the property into it and closes it
};

class SettingsWalk {
 public:
  explicit SettingsWalk(const std::string& text);
  SettingsWalk(const SettingsWalk&) = delete;
  SettingsWalk& operator=(const SettingsWalk&) = delete;

  // Readers for property handlers. A handler is called with the position on
  // the property's "(".
  // The key: up to a blank (consumed) or ")" (left); keyEnd() tells which.
  std::string readKey();
  char keyEnd() const { return keyEnd_; }
  // Up to the next ")" (consumed), blanks dropped, then cleaned.
  std::string readCompactValue();
  // Up to the ")" that closes the property (consumed), nested lists kept;
  // cleaned unless `clean` is false.
  std::string readBalancedValue(bool clean = true);
  // Skips blanks without copying them.
  void skipBlanks();
  // Copies the blanks that follow; when a "(" comes next, `separator` (which
  // holds one ",") is written before the next member.
  void trailer(const char* separator);

  // Output for handlers: begin the property's member (a "," is put before
  // it when the previous member has none), then write its text.
  void beginMember();
  void write(const std::string& text);

  // Drops leading blanks, then leading dots, then blanks again.
  static std::string cleanValue(const std::string& value);

  // Runs the walk with `handler`; answers the JSON text.
  std::string run(const std::function<PropertyResult(SettingsWalk&)>& handler);

 private:
  bool atEnd() const { return pos_ >= text_.size(); }
  void flushPending();
  void dropPendingComma();
  void close(const std::string& text);
  void copyStructural(char c);
  // Copies the text up to the next parenthesis into the open string.
  void copyStringText();
  void openParenthesis(const std::function<PropertyResult(SettingsWalk&)>& handler);
  void closeParenthesis();

  const std::string& text_;
  std::size_t pos_ = 0;
  long depth_ = 0;
  char keyEnd_ = '\0';
  std::string out_;
  std::string pending_;       // whitespace and separators not yet written
  bool pendingComma_ = false;
  bool opened_ = false;       // the outer list has begun
  bool finished_ = false;     // the outer list has ended
  bool inString_ = false;     // copying a property into an open string
  bool entryHasMember_ = false;
  bool listHasEntry_ = false;
};

// The walk of `text` with `handler`; "[]" for an empty text or one without
// an outer list.
std::string walkSettings(const std::string& text,
                         const std::function<PropertyResult(SettingsWalk&)>& handler);

}  // namespace TALVO

#endif  // SOLVARIUM_SOLVERS_TALVO_TALVO_SETTINGS_WALK_H_
