// Ordered command tables of the kinds' "aaS." interpreters. A row names a
// command (or a prefix of it) and its handler; the first row that matches a
// command's first word handles it. "aaS.suggest" and "aaS.implements." are
// answered from the listed rows, so the list and the dispatch cannot drift
// apart.
//
// CommandRow is the usual row; a row type of a kind's own has at least its
// `name` and `kind` members.
#ifndef SOLVARIUM_COMMON_COMMAND_TABLE_H_
#define SOLVARIUM_COMMON_COMMAND_TABLE_H_

#include <cstddef>
#include <set>
#include <string>

namespace solvarium {

enum class RowKind {
  kListed,    // the whole word; "aaS.suggest" lists it
  kUnlisted,  // the whole word; answered, but not listed
  kPrefix,    // the word's beginning; not listed
};

template <typename Handler>
struct CommandRow {
  const char* name;
  Handler handler;
  RowKind kind = RowKind::kListed;
};

// The minute tick that the watcher sends into the kind's interpreter.
inline constexpr char kTickCommand[] = "aaS_internal.tic_one_minute";

// First word of the commands that ask whether "aaS.<name>" is listed.
inline constexpr char kImplementsPrefix[] = "aaS.implements.";

// The first row that matches `word`, or null.
template <typename Row, std::size_t N>
const Row* findCommand(const Row (&rows)[N], const std::string& word) {
  for (const Row& row : rows) {
    if (row.kind == RowKind::kPrefix ? word.rfind(row.name, 0) == 0 : word == row.name) {
      return &row;
    }
  }
  return nullptr;
}

// The names of the listed rows, in byte order.
template <typename Row, std::size_t N>
std::set<std::string> listedCommands(const Row (&rows)[N]) {
  std::set<std::string> names;
  for (const Row& row : rows) {
    if (row.kind == RowKind::kListed) names.insert(row.name);
  }
  return names;
}

// "aaS.suggest": every name followed by "\n".
std::string suggestText(const std::set<std::string>& names);

// "aaS.implements.<name>": "True" when "aaS.<name>" is in `names`, else "False".
const char* implementsAnswer(const std::set<std::string>& names, const std::string& word);

}  // namespace solvarium

#endif  // SOLVARIUM_COMMON_COMMAND_TABLE_H_
