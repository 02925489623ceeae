// Reading one Grend monitor file for the listings: the checks that every
// kind of monitor file shares (null name, in use by the solver, opening a
// regular file inside the monitor folder, size, reading) and the XML readers
// behind the shared XML gate. Every outcome is JSON text appended to the
// caller's answer.
#ifndef SOLVARIUM_SOLVERS_GREND_GREND_MONITOR_FILES_H_
#define SOLVARIUM_SOLVERS_GREND_GREND_MONITOR_FILES_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "service/environment.h"

namespace GREND {

// Monitor-file path -> flag (active, or open for writing by the solver).
using MonitorFileTable = std::map<std::string, bool>;

enum class XmlMonitorKind { kCnd, kGst, kNlh };

// Largest monitor file read; a larger one answers the "Insufficient memory"
// object.
inline constexpr uint64_t kMaxMonitorFileBytes = uint64_t(2) << 30;

// The paths of `active` whose flag is true and that end with `extension`,
// in the table's order, appended to `names`.
void listActiveMonitorFiles(const MonitorFileTable& active, const std::string& extension,
                            std::vector<std::string>* names);

// The file's name without its last four characters (the whole name when it
// is shorter).
std::string monitorBaseName(const std::string& fileName);

// The monitor folder: GREND_DASH_DIR_FOLDER of `environment` with its
// backslashes read as slashes; "" when it is unset or empty.
std::string dashFolderOf(const solvarium::Environment& environment);

// `dashFolder` + "/" + `fileName`, or `fileName` alone when `dashFolder` is "".
std::string inDashFolder(const std::string& dashFolder, const std::string& fileName);

// The real path of the folder that monitor files must lie in: `dashFolder`
// (dashFolderOf() the environment read at start-up), else the working
// directory when it is empty; "" when it cannot be resolved.
std::string monitorFolder(const std::string& dashFolder);

// Reads a ".mntr" file (which must lie in the monitor folder of
// `dashFolder`) and appends its object (or its error object). `fileName` may
// be null. True when a JSON object was appended.
bool readMntrMonitorFile(const MonitorFileTable& open, const std::string& dashFolder,
                         std::string* json, const char* fileName,
                         const std::vector<std::string>& filterArgs);

// Reads a ".cnd", ".gst" or ".nlh" file likewise and appends its object, its
// error object, or nothing when the document does not parse (one line on
// standard error then). True when a JSON object was appended.
bool readXmlMonitorFile(XmlMonitorKind kind, const MonitorFileTable& open,
                        const std::string& dashFolder, std::string* json, const char* fileName,
                        const std::vector<std::string>& filterArgs);

// The XML part alone, over a document's text: appends the handler's object
// and answers true, or answers false and sets `error` when the document is
// refused or does not parse. The text is freed once parsed, before the
// object is written.
bool appendXmlMonitorJson(XmlMonitorKind kind, std::string* json, const std::string& fileName,
                          std::string text, const std::vector<std::string>& filterArgs,
                          std::string* error);

}  // namespace GREND

#endif  // SOLVARIUM_SOLVERS_GREND_GREND_MONITOR_FILES_H_
