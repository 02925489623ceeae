#include "solvers/talvo/talvo_broadcast.h"

#include <cstring>
#include <vector>

#include "service/service_log.h"
#include "solvers/talvo/talvo_text.h"

namespace TALVO {

const char kTranscriptFile[] = "instant_transcript.txt";
const char kDebugFile[] = "broadcast.visited.debug.txt";

namespace {

const char kVisited[] = "broadcast::visited:";

bool startsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// The payload after `prefix` when `message` begins with it.
bool matchPrefix(const std::string& message, const char* prefix, std::string* payload) {
  if (!startsWith(message, prefix)) return false;
  *payload = message.substr(std::strlen(prefix));
  return true;
}

// The complete groups of a list text: with `innerFirst` a ")" lowers the
// depth before the character is kept (groups without their own parentheses),
// otherwise a "(" raises it first (groups with them). A group counts once its
// closing parenthesis has come.
std::vector<std::string> listGroups(const std::string& text, bool innerFirst) {
  std::vector<std::string> groups;
  std::string current;
  bool open = false;
  int depth = -1;
  for (char c : text) {
    if (innerFirst) {
      if (c == ')') {
        --depth;
        if (depth == 0 && open) {
          groups.push_back(current);
          open = false;
        }
      }
      if (depth > 0) current += c;
      if (c == '(' && ++depth == 1) {
        current.clear();
        open = true;
      }
    } else {
      if (c == '(' && ++depth == 1) {
        current.clear();
        open = true;
      }
      if (depth > 0) current += c;
      if (c == ')') {
        --depth;
        if (depth == 0 && open) {
          groups.push_back(current);
          open = false;
        }
      }
    }
  }
  return groups;
}

void setParameter(std::map<std::string, bool>* parameters, const std::string& payload,
                  std::size_t fields) {
  const std::vector<std::string> parts = splitAt(payload, ":");
  if (parts.size() == fields) (*parameters)[parts[0]] = true;
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

void applyVisited(std::string name, TalvoState* state) {
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

}  // namespace

void applyResidualBlock(const std::string& payload, TalvoState* state) {
  bool full = true;
  std::string rest = payload;
  if (startsWith(rest, "full:")) {
    rest = rest.substr(5);
  } else if (startsWith(rest, "incremental:")) {
    full = false;
    rest = rest.substr(12);
  }
  for (const std::string& line : splitAt(rest, "\n\r")) {
    const std::vector<std::string> words = splitAt(line, " \t");
    std::string current;
    for (std::size_t i = 0; i < words.size(); ++i) {
      if (words[i] == "<Residual") {
        if (i + 1 >= words.size()) break;  // a name-less marker ends the line
        current = words[++i];
        if (full) {
          state->residualHistory[current].clear();
        } else {
          state->residualHistory[current];
        }
      } else if (words[i] == "/Residual>") {
        break;
      } else if (!current.empty()) {
        state->residualHistory[current].push_back(floatingValue(words[i]));
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
    const std::vector<std::string> words = splitAt(group, kBlanks);
    if (!words.empty()) state->residualNames.push_back(words[0]);
  }
}

void applyZoneList(const std::string& payload, TalvoState* state) {
  state->zoneNames.clear();
  if (payload == "():()") return;
  const std::vector<std::string> fields = splitAt(payload, ":");
  if (fields.size() < 2) return;
  const std::vector<std::string> ids = splitAt(fields[0], " \t\n\r()");
  const std::vector<std::string> names = splitAt(fields[1], " \t\n\r()");
  for (std::size_t k = 0; k < ids.size() && k < names.size(); ++k) {
    state->zoneNames[decimalValue(ids[k])] = names[k];
  }
}

void applySurfaceList(const std::string& payload, TalvoState* state) {
  state->surfaceNames.clear();
  if (payload == "()") return;
  for (const std::string& group : listGroups(payload, false)) {
    const std::vector<std::string> idWords = splitAt(group, " \t\n\r()");
    if (idWords.empty()) continue;
    const std::vector<std::string> words = splitAt(group, " \t\n\r)");
    std::string name;
    for (std::size_t i = 1; i + 1 < words.size(); ++i) {
      if (words[i] == "(name") {
        name = words[i + 1];
        break;
      }
    }
    state->surfaceNames[decimalValue(idWords[0])] = name;
  }
}

void dispatchTalvoMessage(const std::string& message, TalvoState* state, StateFlags* flags) {
  std::string payload;
  if (matchPrefix(message, "broadcast::visited:monitor-set-changed:", &payload)) {
    state->monitorSetSettings = payload;
    return;
  }
  if (matchPrefix(message, "broadcast::visited:plot-set-changed:", &payload)) {
    state->plotSetSettings = payload;
    return;
  }
  if (matchPrefix(message, "broadcast::visited:report-defn-changed:", &payload)) {
    state->reportDefinitionSettings = payload;
    return;
  }
  if (matchPrefix(message, "broadcast::echo:", &payload)) {
    solvarium::appendText(kTranscriptFile, payload);
    return;
  }
  if (matchPrefix(message, "broadcast::visited:create-parameter-from-persisted-value:",
                  &payload)) {
    const bool input = !flags->has("upload-input-parameters-from-rpvar") ||
                       flags->get("upload-input-parameters-from-rpvar");
    setParameter(input ? &state->inputParameters : &state->outputParameters, payload, 3);
    return;
  }
  if (matchPrefix(message, "broadcast::visited:delete-input-parameter:", &payload)) {
    state->inputParameters[payload] = false;
    return;
  }
  if (matchPrefix(message, "broadcast::visited:delete-output-parameter:", &payload)) {
    state->outputParameters[payload] = false;
    return;
  }
  if (matchPrefix(message, "broadcast::visited:add-input-parameter:", &payload)) {
    setParameter(&state->inputParameters, payload, 2);
    return;
  }
  if (matchPrefix(message, "broadcast::visited:add-output-parameter:", &payload)) {
    setParameter(&state->outputParameters, payload, 2);
    return;
  }
  if (startsWith(message, "broadcast::visited:debug:")) {
    solvarium::appendText(kDebugFile, "\nMessage:\n" + message + "\nEndMessage\n");
    return;
  }
  if (startsWith(message, "ErrorMsg:")) flags->clear();
  if (startsWith(message, "DelayedErrorMsg:")) flags->set("error", true);
  if (matchPrefix(message, "broadcast::release:", &payload)) {
    std::string release = "KORLEN Talvo ";
    const std::vector<std::string> fields = splitAt(payload, " \t\n\r()");
    for (std::size_t i = 0; i < fields.size(); ++i) release += (i ? "." : "") + fields[i];
    state->release = release;
    return;
  }
  if (matchPrefix(message, "broadcast::(rp-3d?):", &payload)) {
    state->dimensionality = yesNoValue(payload, "3d", "2d");
    return;
  }
  if (matchPrefix(message, "broadcast::(rp-double?):", &payload)) {
    state->precision = yesNoValue(payload, "dp", "sp");
    return;
  }
  if (matchPrefix(message, "broadcast::visited:monitors:", &payload)) {
    applyResidualBlock(payload, state);
    return;
  }
  if (matchPrefix(message, "broadcast::visited:iteration-set:", &payload)) {
    applyIteration(payload, state);
    return;
  }
  if (matchPrefix(message, "broadcast::visited:paused-index-set:", &payload)) {
    state->pausedIndex = payload;
    return;
  }
  if (matchPrefix(message, "broadcast::visited:collaborativecosolverunitior-set:", &payload)) {
    state->collaborativeSolverUnitIor = payload;
    return;
  }
  if (matchPrefix(message, "broadcast::visited:rp-var-value-set:", &payload)) {
    applySolverVariable(payload, state);
    return;
  }
  if (matchPrefix(message, "broadcast::visited:cx-changed:zone-list:", &payload)) {
    applyZoneList(payload, state);
  }
  if (matchPrefix(message, "broadcast::visited:cx-var-value-set:cx-surface-list:", &payload)) {
    applySurfaceList(payload, state);
  }
  if (matchPrefix(message, kVisited, &payload)) {
    applyVisited(payload, state);
    return;
  }
  if (matchPrefix(message, "broadcast::resoluted:", &payload)) {
    applyResoluted(payload, state);
    return;
  }
  if (matchPrefix(message, "broadcast::started:", &payload)) {
    flags->set(payload, true);
    if (payload == "journaling") flags->set("prejournaling", false);
    return;
  }
  if (matchPrefix(message, "broadcast::ended:", &payload)) {
    flags->set(payload, false);
    return;
  }
  if (message == "broadcast::interrupted") {
    flags->clear();
    return;
  }
  state->errorMessages.push_back(message);
}

}  // namespace TALVO
