// The three stages that fill a BroxStatusReader: scan the working directory
// for runs, make sure each run is read from one place only while the solver
// may be moving it from its run directory to its result file, and read each
// run's state through the run-information reader.
#include "quennet/brox_status.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ace/OS_NS_dirent.h>
#include <ace/OS_NS_sys_stat.h>
#include <ace/OS_NS_unistd.h>

#include <cerrno>
#include <stdexcept>
#include <string_view>

#include "platform/process.h"
#include "quennet/brox_storage_observer.h"
#include "quennet/xoq/error.h"
#include "quennet/xoq/gui_information_reader.h"

namespace {

const char kLockFilePrefix[] = "sm.native_brox_aas.";
const long kConflictPauseMs = 1000;

bool statusReadable(const std::string& path) {
  ACE_stat status;
  return ACE_OS::stat(path.c_str(), &status) == 0;
}

// Text after the last "." of `path` (a view into it); empty when there is none.
std::string_view extensionOf(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  return dot != std::string::npos ? std::string_view(path).substr(dot + 1) : std::string_view();
}

std::string withoutExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  return dot == std::string::npos ? path : path.substr(0, dot);
}

std::runtime_error ambiguousState(const std::string& first, const std::string& second) {
  return std::runtime_error("\n\nAmbiguous state:\n\t" + first + "\n\t" + second +
                            "\nConflict not cleared after one second\n");
}

// Creates the empty lock file `lockPath`, never through a symbolic link nor
// into a FIFO or device: a new file, or one that replaces a plain file of the
// same name (left by an earlier process with our process id). False when it
// cannot be created.
bool createLockFile(const std::string& lockPath) {
  const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  int fd = ::open(lockPath.c_str(), flags, 0666);
  struct stat status;
  if (fd < 0 && errno == EEXIST && ::lstat(lockPath.c_str(), &status) == 0 &&
      S_ISREG(status.st_mode) && ::unlink(lockPath.c_str()) == 0) {
    fd = ::open(lockPath.c_str(), flags, 0666);
  }
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

// Locks run directory `runPath` for reading unless its result file
// `resultPath` has replaced it; a directory and result file that both stay
// present are an ambiguous state.
void checkRunDirectory(BroxStatusReader& reader, const std::string& runPath,
                       const std::string& resultPath) {
  const std::string lockPath = runPath + "/" + reader.lockFileName;
  bool lockCreated = createLockFile(lockPath);
  if (!lockCreated) {
    reader.candidates[runPath] = false;
    solvarium::platform::sleepMilliseconds(kConflictPauseMs);
  }

  if (statusReadable(resultPath)) {
    if (statusReadable(runPath)) {
      // Withdraw the lock so that the solver can finish moving the run.
      if (lockCreated) {
        ACE_OS::unlink(lockPath.c_str());
        lockCreated = false;
      }
      solvarium::platform::sleepMilliseconds(kConflictPauseMs);
      if (statusReadable(runPath)) {
        reader.removeLockFiles();
        throw ambiguousState(runPath, resultPath);
      }
    }
    // The run directory has gone: the run is read from its result file.
    reader.candidates[runPath] = false;
    if (reader.candidates.find(resultPath) == reader.candidates.end()) {
      reader.cursor = reader.candidates.begin();
    }
    reader.candidates[resultPath] = true;
  }

  // The walk may pass a run directory twice; the set records its lock once.
  // Runs come in path order, so a lock usually goes to the end.
  if (lockCreated) reader.lockFiles.emplace_hint(reader.lockFiles.end(), lockPath);
}

// Result file `resultPath` wins over its run directory `runPath`, provided
// the run directory is no longer a run one second later.
void checkResultFile(BroxStatusReader& reader, const std::string& resultPath,
                     const std::string& runPath) {
  BroxStatusReader::CandidateMap::iterator competing = reader.candidates.find(runPath);
  if (competing == reader.candidates.end() || !competing->second) return;
  competing->second = false;
  solvarium::platform::sleepMilliseconds(kConflictPauseMs);
  if (statusReadable(runPath + "/" + xoq::GuiInformationReader::kInformationFileName)) {
    reader.removeLockFiles();
    throw ambiguousState(resultPath, runPath);
  }
}

}  // namespace

BroxStatusReader::BroxStatusReader(const char* dir) : cursor(candidates.end()) {
  xoq::TranslationManager::initialize();
  directory = (dir != nullptr) ? dir : ".";
  lockFileName =
      kLockFilePrefix + std::to_string(solvarium::platform::currentProcessId()) + ".lock";
}

BroxStatusReader::~BroxStatusReader() { removeLockFiles(); }

void BroxStatusReader::process() {
  try {
    candidates.clear();
    cursor = candidates.end();
    scanDirectory(directory, 1);
    resolveConflicts();
    readStatus();
  } catch (...) {
    removeLockFiles();
    throw;
  }
}

void BroxStatusReader::scanDirectory(const std::string& path, int depth) {
  ACE_DIR* listing = ACE_OS::opendir(path.c_str());
  if (listing == nullptr) return;
  while (ACE_DIRENT* entry = ACE_OS::readdir(listing)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string entryPath = path + "/" + name;
    ACE_stat status;
    // An entry that vanished after it was listed is neither run nor result.
    if (ACE_OS::stat(entryPath.c_str(), &status) != 0) continue;

    if (S_ISDIR(status.st_mode)) {
      if (depth > 0) scanDirectory(entryPath, depth - 1);
    } else if (name == xoq::GuiInformationReader::kInformationFileName) {
      if (depth == 0) candidates[path] = true;
    } else if (depth == 1) {
      const std::string_view extension = extensionOf(name);
      if (extension == "res" || extension == "mres") candidates[entryPath] = true;
    }
  }
  ACE_OS::closedir(listing);
}

void BroxStatusReader::resolveConflicts() {
  for (cursor = candidates.begin(); cursor != candidates.end(); ++cursor) {
    if (!cursor->second) continue;
    // Map nodes stay put while the checks add candidates or move the cursor.
    const std::string& path = cursor->first;
    const std::string_view extension = extensionOf(path);
    if (extension == "dir") {
      checkRunDirectory(*this, path, withoutExtension(path) + ".res");
    } else if (extension == "res") {
      checkResultFile(*this, path, withoutExtension(path) + ".dir");
    } else if (extension == "mres") {
      checkResultFile(*this, path, withoutExtension(path));
    } else {
      checkRunDirectory(*this, path, path + ".mres");
    }
  }
}

void BroxStatusReader::readStatus() {
  results.clear();
  // One reader and observer go from run to run.
  BROX::CBroxStorageObserver observer;
  xoq::GuiInformationReader runReader(false, std::string(), std::string());
  runReader.addObserver(&observer);
  for (const CandidateMap::value_type& candidate : candidates) {
    if (!candidate.second) continue;
    const std::string_view extension = extensionOf(candidate.first);
    const bool isDirectory = extension != "res" && extension != "mres";

    runReader.reopen(isDirectory, candidate.first, candidate.first);
    runReader.processNewLines();
    // Candidates come in key order: each result goes to the end of the map.
    results.emplace_hint(results.end(), candidate.first, observer.takeRecord());
  }
}

void BroxStatusReader::removeLockFiles() {
  for (const std::string& lockPath : lockFiles) ACE_OS::unlink(lockPath.c_str());
  lockFiles.clear();
}
