// The Brox monitor commands: run the monitor-data program once per run
// directory (or result file) and answer its output as one JSON array.
#include "solvers/brox/brox_monitor_commands.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <stdexcept>

#include "solvers/brox/brox_monitors.h"
#include "solvers/brox/brox_report_plots.h"
#include "solvers/brox/brox_run_status.h"
#include "solvers/brox/brox_storage_commands.h"

namespace BROX {

bool isPositiveInteger(const std::string& text) {
  if (text.empty()) return false;
  bool nonZero = false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    if (c != '0') nonZero = true;
  }
  return nonZero;
}

std::string removeEnclosingQuotes(const std::string& text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
    return text.substr(1, text.size() - 2);
  return text;
}

PersistedDataArguments parsePersistedDataArguments(const std::vector<std::string>& tokens,
                                                   const std::string& commandText) {
  PersistedDataArguments args;
  for (std::size_t i = 1; i < tokens.size(); ++i) {
    const std::string& keyword = tokens[i];
    const bool timeStep = keyword == "start-time-step" || keyword == "end-time-step";
    if (!timeStep && keyword != "session-name" && keyword != "variable-list")
      raiseMonitorArgumentError("Unknown argument:\n" + keyword, commandText, 1);
    if (i + 1 == tokens.size())
      raiseMonitorArgumentError("Missing value for argument:\n" + keyword, commandText, i);
    const std::string& value = tokens[++i];
    if (timeStep) {
      if (!isPositiveInteger(value)) {
        raiseMonitorArgumentError(
            "Invalid value for argument (positive integer expected):\n" + keyword, commandText, i);
      }
      const std::string option = keyword == "start-time-step" ? "-firsttimestep" : "-lasttimestep";
      args.options.push_back(option);
      args.options.push_back(value);
      args.optionsText += " " + option + " " + value + " ";
    } else if (keyword == "session-name") {
      args.hasSession = true;
      args.sessionName = removeEnclosingQuotes(value);
    } else {
      // A value that the program could read as one of its options is refused.
      if (removeEnclosingQuotes(value).compare(0, 1, "-") == 0) {
        raiseMonitorArgumentError("Invalid value for argument:\n" + keyword, commandText, i);
      }
      args.options.push_back("-varlist");
      args.options.push_back(removeEnclosingQuotes(value));
      args.optionsText += " -varlist " + value + " ";
    }
  }
  return args;
}

MonitorLocation locateMonitor(const std::string& source, bool saved,
                              const BroxStatusReader::ResultMap* results) {
  MonitorLocation where;
  where.saved = saved;
  const std::string::size_type slash = source.rfind('/');
  const std::string parent = slash == std::string::npos ? "." : source.substr(0, slash);
  const std::string name = slash == std::string::npos ? source : source.substr(slash + 1);
  where.location = withoutDotSlash(source);

  if (results == nullptr || name.size() < 4) return where;
  const auto run = results->find(saved ? parent + ".mres" : parent);
  if (run == results->end() || !run->second.multiConfig) return where;
  const auto config = run->second.configurations.find(name.substr(0, name.size() - 4));
  if (config == run->second.configurations.end()) return where;
  where.multiConfig = true;
  where.multiConfigName = run->second.name;
  where.multiConfigIndex = config->second;
  return where;
}

namespace {

bool isSavedCommand(const std::vector<std::string>& tokens) {
  if (tokens.empty()) return false;
  const std::string& name = tokens[0];
  return name == "aaS.list_saved_monitors" || name == "aaS.list_saved_monitors_last_values" ||
         name == "aaS.list_saved_monitors_with_persisted_data";
}

// Runs the program for every source; the outputs, keyed by source path, come
// back in ascending path order.
std::map<std::string, std::string> runForSources(BroxMonitors& monitors,
                                                 const std::vector<std::string>& sources,
                                                 bool saved, const std::string& mode,
                                                 const std::vector<std::string>& options,
                                                 const std::string& optionsText) {
  std::map<std::string, std::string> outputs;
  for (const std::string& source : sources) {
    outputs[source] =
        monitors.runMonitorData(mode, source, saved ? ".res" : ".dir", options, optionsText);
  }
  return outputs;
}

// The result of parsing one output; false when the monitor is to be left out.
bool acceptOrRaise(MonitorParse result, const std::string& commandText) {
  switch (result) {
    case MonitorParse::kOk: return true;
    case MonitorParse::kNoData: return false;
    case MonitorParse::kMoreValues: raiseScriptError(commandText, kMoreValuesText);
    case MonitorParse::kLessValues: raiseScriptError(commandText, kLessValuesText);
  }
  return false;
}

// One monitor of the persisted-data answer: its text before the data
// members, and its output read in place.
struct PersistedMonitor {
  std::string head;
  MonitorCsvData data;
};

// A monitor listing without parameters: the JSON array of
// element(location, output) for the program's output in `mode` of every run,
// in path order; an element "" is left out.
template <typename Element>
std::string monitorListing(BroxMonitors& monitors, const Tokens& tokens,
                           const std::string& commandText, const char* mode, Element element) {
  BroxStatusHandle status;
  loadBroxStatusOrRaise(&status, monitors.binDir(), commandText);
  raiseIfParameters(tokens, commandText);
  const bool saved = isSavedCommand(tokens);
  std::string answer;
  MonitorArrayWriter array(&answer);
  for (const auto& entry : runForSources(monitors, runPaths(saved), saved, mode, {}, "")) {
    const std::string text =
        element(locateMonitor(entry.first, saved, &status.reader->results), entry.second);
    if (!text.empty()) array.add(text);
  }
  array.end();
  return answer;
}

}  // namespace

void BroxMonitors::appendPersistedData(std::string& result, const Tokens& tokens,
                                       const std::string& commandText, bool dataOnly,
                                       const BroxStatusReader::ResultMap& results) {
  writePersistedData(tokens, commandText, dataOnly, results, [&result](std::size_t size) {
    const std::size_t start = result.size();
    result.resize(start + size);
    return &result[start];
  });
}

char* BroxMonitors::persistedDataAnswer(const Tokens& tokens, const std::string& commandText) {
  BroxStatusHandle status;
  loadBroxStatusOrRaise(&status, binDir_, commandText);
  CORBA::String_var answer;
  writePersistedData(tokens, commandText, false, status.reader->results, [&answer](std::size_t size) {
    if (size >= UINT32_MAX) throw std::length_error("Monitor data too large for one answer");
    answer = CORBA::string_alloc(static_cast<CORBA::ULong>(size));
    answer.inout()[size] = '\0';
    return answer.inout();
  });
  return answer._retn();
}

void BroxMonitors::writePersistedData(const Tokens& tokens, const std::string& commandText,
                                      bool dataOnly, const BroxStatusReader::ResultMap& results,
                                      const std::function<char*(std::size_t)>& allocate) {
  const PersistedDataArguments args = parsePersistedDataArguments(tokens, commandText);
  const bool saved = isSavedCommand(tokens);

  std::vector<std::string> sources;
  if (args.hasSession) {
    const std::string source = args.sessionName + (saved ? ".res" : ".dir");
    if (saved && !isFile(source)) raiseScriptError(commandText, "File does not exist:\n" + source);
    if (!saved && !isDirectory(source))
      raiseScriptError(commandText, "Folder does not exist:\n" + source);
    sources.push_back(source);
  } else {
    sources = runPaths(saved);
  }

  const auto outputs =
      runForSources(*this, sources, saved, " ", args.options, args.optionsText);
  // Every output is checked and sized before the answer is allocated; the
  // answer is the array frame of MonitorArrayWriter around the monitors.
  std::vector<PersistedMonitor> monitors;
  std::size_t size = 4;  // "[\n" and "]\n"
  for (const auto& entry : outputs) {
    PersistedMonitor monitor;
    if (!acceptOrRaise(monitor.data.parse(entry.second), commandText)) continue;
    monitor.head =
        persistedDataHead(locateMonitor(entry.first, saved, &results), monitor.data, dataOnly);
    size += (monitors.empty() ? 0 : 2) + monitor.head.size() + monitor.data.arraysSize() +
            std::strlen(kMonitorObjectEnd);
    monitors.push_back(std::move(monitor));
  }

  char* out = put(allocate(size), "[\n");
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    if (i > 0) out = put(out, "\t,");
    std::memcpy(out, monitors[i].head.data(), monitors[i].head.size());
    out += monitors[i].head.size();
    monitors[i].data.writeArrays(out);
    out += monitors[i].data.arraysSize();
    out = put(out, "\t}\n");
  }
  put(out, "]\n");
}

void BroxMonitors::listMonitorsLastValues(std::string& result, const Tokens& tokens,
                                          const std::string& commandText) {
  result += monitorListing(*this, tokens, commandText, "  -lastvaluesonly ",
                           [&](const MonitorLocation& where, const std::string& output) {
                             MonitorTable table;  // an output without any line is left out
                             return acceptOrRaise(parseMonitorTable(output, &table), commandText)
                                        ? lastValuesMonitorJson(where, table)
                                        : std::string();
                           });
}

void BroxMonitors::listMonitors(std::string& result, const Tokens& tokens,
                                const std::string& commandText) {
  result = monitorListing(*this, tokens, commandText, " -showvars ",
                          [](const MonitorLocation& where, const std::string& output) {
                            const std::vector<std::string> names = splitOutputLines(output);
                            // Line breaks only: no variable to show.
                            return names.empty() ? std::string() : monitorNamesJson(where, names);
                          });
}

}  // namespace BROX
