#include "solvers/talvo/talvo_broadcast.h"

#include <vector>

#include "common/kind_rules.h"
#include "common/text_words.h"
#include "service/service_log.h"
#include "solvers/talvo/talvo_text.h"

namespace TALVO {

const char kTranscriptFile[] = "instant_transcript.txt";
const char kDebugFile[] = "broadcast.visited.debug.txt";

namespace {

// The complete groups of a list text: with `innerFirst` a ")" lowers the
// depth before the character is kept (groups without their own parentheses),
// otherwise a "(" raises it first (groups with them). A group counts once its
// closing parenthesis has come.
std::vector<std::string> listGroups(const std::string& text, bool innerFirst) {
  std::vector<std::string> groups;
  std::string current;
  bool open = false;
  int depth = -1;
  // At "(" when `opening`, a group may begin; at ")" otherwise, one may end.
  auto edge = [&](char c, bool opening) {
    if (opening && c == '(' && ++depth == 1) {
      current.clear();
      open = true;
    } else if (!opening && c == ')' && --depth == 0 && open) {
      groups.push_back(current);
      open = false;
    }
  };
  for (char c : text) {
    edge(c, !innerFirst);
    if (depth > 0) current += c;
    edge(c, innerFirst);
  }
  return groups;
}

void setParameter(std::map<std::string, bool>* parameters, const std::string& payload,
                  std::size_t fields) {
  const std::vector<std::string_view> parts = solvarium::splitWords(payload, ":");
  if (parts.size() == fields) (*parameters)[std::string(parts[0])] = true;
}

void applyIteration(const std::string& payload, TalvoState* state) {
  state->currentIteration = decimalValue(payload);
  if (state->currentIteration == 0) {
    state->residualHistory.clear();
  } else if (state->currentIteration < 0) {
    state->inputParameters.clear();
    state->outputParameters.clear();
    state->rpVariables.clear();
    state->residualHistory.clear();
  }
}

void applyVisited(const std::string& payload, TalvoState* state) {
  std::string name = payload;
  if (name == "ti-add-edit-execute-command" || name == "(rpsetvar 'monitor/commands)" ||
      name == "aaslistener") {
    name = "aaslistener";
    state->aasListenerVisited = true;
  }
  state->visitedFlags[name] = true;
}

void applyResoluted(const std::string& name, TalvoState* state) {
  if (name == "aaslistener") state->aasListenerVisited = false;
  state->visitedFlags[name] = false;
}

std::string yesNoValue(const std::string& payload, const char* yes, const char* no) {
  if (payload == "#t") return yes;
  if (payload == "#f") return no;
  return "unknown";
}

void applyResidualBlock(const std::string& payload, TalvoState* state) {
  bool full = true;
  std::string rest = payload;
  if (!solvarium::matchPrefix(payload, "full:", &rest) &&
      solvarium::matchPrefix(payload, "incremental:", &rest)) {
    full = false;
  }
  for (std::string_view line : solvarium::splitWords(rest, "\n\r")) {
    const std::vector<std::string_view> words = solvarium::splitWords(line, " \t");
    std::string current;
    for (std::size_t i = 0; i < words.size(); ++i) {
      if (words[i] == "<Residual") {
        if (i + 1 >= words.size()) break;  // a name-less marker ends the line
        current = std::string(words[++i]);
        if (full) {
          state->residualHistory[current].clear();
        } else {
          state->residualHistory[current];
        }
      } else if (words[i] == "/Residual>") {
        break;
      } else if (!current.empty()) {
        state->residualHistory[current].push_back(floatingValue(std::string(words[i])));
      }
    }
  }
}

void applySolverVariable(const std::string& payload, TalvoState* state) {
  const std::size_t colon = payload.find(':');
  if (colon == std::string::npos) return;
  const std::string name = payload.substr(0, colon);
  const std::string value = payload.substr(colon + 1);
  state->rpVariables[name] = value;
  if (name != "residuals/settings") return;
  state->residualNames.clear();
  for (const std::string& group : listGroups(value, true)) {
    const std::vector<std::string_view> words = solvarium::splitWords(group, kBlanks);
    if (!words.empty()) state->residualNames.emplace_back(words[0]);
  }
}

void applyZoneList(const std::string& payload, TalvoState* state) {
  state->zoneNames.clear();
  if (payload == "():()") return;
  const std::vector<std::string_view> fields = solvarium::splitWords(payload, ":");
  if (fields.size() < 2) return;
  const std::vector<std::string_view> ids = solvarium::splitWords(fields[0], " \t\n\r()");
  const std::vector<std::string_view> names = solvarium::splitWords(fields[1], " \t\n\r()");
  for (std::size_t k = 0; k < ids.size() && k < names.size(); ++k) {
    state->zoneNames[decimalValue(std::string(ids[k]))] = names[k];
  }
}

void applySurfaceList(const std::string& payload, TalvoState* state) {
  state->surfaceNames.clear();
  if (payload == "()") return;
  for (const std::string& group : listGroups(payload, false)) {
    const std::vector<std::string_view> idWords = solvarium::splitWords(group, " \t\n\r()");
    if (idWords.empty()) continue;
    const std::vector<std::string_view> words = solvarium::splitWords(group, " \t\n\r)");
    std::string name;
    for (std::size_t i = 1; i + 1 < words.size(); ++i) {
      if (words[i] == "(name") {
        name = std::string(words[i + 1]);
        break;
      }
    }
    state->surfaceNames[decimalValue(std::string(idWords[0]))] = name;
  }
}

// One message as the rules see it.
struct Message {
  const std::string& text;
  const std::string& payload;  // the text after the rule's prefix
  TalvoState* state;
  solvarium::StateFlags* flags;
};

template <std::string TalvoState::*kField>
void store(const Message& m) {
  m.state->*kField = m.payload;
}

void echo(const Message& m) { solvarium::appendText(kTranscriptFile, m.payload); }

void createParameter(const Message& m) {
  const bool input = !m.flags->has("upload-input-parameters-from-rpvar") ||
                     m.flags->get("upload-input-parameters-from-rpvar");
  setParameter(input ? &m.state->inputParameters : &m.state->outputParameters, m.payload, 3);
}
void deleteInputParameter(const Message& m) { m.state->inputParameters[m.payload] = false; }
void deleteOutputParameter(const Message& m) { m.state->outputParameters[m.payload] = false; }
void addInputParameter(const Message& m) { setParameter(&m.state->inputParameters, m.payload, 2); }
void addOutputParameter(const Message& m) {
  setParameter(&m.state->outputParameters, m.payload, 2);
}

void debug(const Message& m) {
  solvarium::appendText(kDebugFile, "\nMessage:\n" + m.text + "\nEndMessage\n");
}

void errorMessage(const Message& m) { m.flags->clear(); }
void delayedErrorMessage(const Message& m) { m.flags->set("error", true); }

void release(const Message& m) {
  std::string release = "KORLEN Talvo ";
  const std::vector<std::string_view> fields = solvarium::splitWords(m.payload, " \t\n\r()");
  for (std::size_t i = 0; i < fields.size(); ++i) {
    release += (i ? "." : "");
    release += fields[i];
  }
  m.state->release = release;
}

void dimensionality(const Message& m) {
  m.state->dimensionality = yesNoValue(m.payload, "3d", "2d");
}
void precision(const Message& m) { m.state->precision = yesNoValue(m.payload, "dp", "sp"); }

// A rule that needs the payload and the state alone.
template <void (*kApply)(const std::string&, TalvoState*)>
void onPayload(const Message& m) {
  kApply(m.payload, m.state);
}

void startedOrEnded(const Message& m) { solvarium::applyStartedEnded(m.text, m.flags); }
void interrupted(const Message& m) { m.flags->clear(); }

enum class Match {
  kPrefix,      // the message begins with the text; the first such rule decides
  kPrefixGoOn,  // likewise, then the later rules are tried too
  kWhole,       // the whole message
};

struct Rule {
  const char* text;
  void (*apply)(const Message&);
  Match match = Match::kPrefix;
};

// In the order tried. A message that no deciding rule takes is kept as an
// error message. The zone and surface lists go on to the "visited:" rule, so
// their whole text is also marked visited (clients may see it; kept as is).
const Rule kRules[] = {
    {"broadcast::visited:monitor-set-changed:", store<&TalvoState::monitorSetSettings>},
    {"broadcast::visited:plot-set-changed:", store<&TalvoState::plotSetSettings>},
    {"broadcast::visited:report-defn-changed:", store<&TalvoState::reportDefinitionSettings>},
    {"broadcast::echo:", echo},
    {"broadcast::visited:create-parameter-from-persisted-value:", createParameter},
    {"broadcast::visited:delete-input-parameter:", deleteInputParameter},
    {"broadcast::visited:delete-output-parameter:", deleteOutputParameter},
    {"broadcast::visited:add-input-parameter:", addInputParameter},
    {"broadcast::visited:add-output-parameter:", addOutputParameter},
    {"broadcast::visited:debug:", debug},
    {"ErrorMsg:", errorMessage, Match::kPrefixGoOn},
    {"DelayedErrorMsg:", delayedErrorMessage, Match::kPrefixGoOn},
    {"broadcast::release:", release},
    {"broadcast::(rp-3d?):", dimensionality},
    {"broadcast::(rp-double?):", precision},
    {"broadcast::visited:monitors:", onPayload<applyResidualBlock>},
    {"broadcast::visited:iteration-set:", onPayload<applyIteration>},
    {"broadcast::visited:paused-index-set:", store<&TalvoState::pausedIndex>},
    {"broadcast::visited:collaborativecosolverunitior-set:",
     store<&TalvoState::collaborativeSolverUnitIor>},
    {"broadcast::visited:rp-var-value-set:", onPayload<applySolverVariable>},
    {"broadcast::visited:cx-changed:zone-list:", onPayload<applyZoneList>, Match::kPrefixGoOn},
    {"broadcast::visited:cx-var-value-set:cx-surface-list:", onPayload<applySurfaceList>,
     Match::kPrefixGoOn},
    {"broadcast::visited:", onPayload<applyVisited>},
    {"broadcast::resoluted:", onPayload<applyResoluted>},
    {"broadcast::started:", startedOrEnded},
    {"broadcast::ended:", startedOrEnded},
    {"broadcast::interrupted", interrupted, Match::kWhole},
};

}  // namespace

void dispatchTalvoMessage(const std::string& message, TalvoState* state,
                          solvarium::StateFlags* flags) {
  std::string payload;
  for (const Rule& rule : kRules) {
    const bool matched = rule.match == Match::kWhole
                             ? message == rule.text
                             : solvarium::matchPrefix(message, rule.text, &payload);
    if (!matched) continue;
    rule.apply(Message{message, payload, state, flags});
    if (rule.match != Match::kPrefixGoOn) return;
  }
  state->errorMessages.push_back(message);
}

}  // namespace TALVO
