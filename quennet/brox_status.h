// Run-status snapshot of the Brox runs in one working directory.
//
// This is the one declaration shared by libQuennet.so, which creates, fills
// and destroys a BroxStatusReader, and by the service, which only reads its
// `results` map between get_BroxStatus and release_BroxStatus. Both sides
// must compile it with the same compiler, standard library and settings, so
// keep the layout (fields and their order) unchanged. The service does not
// allocate, modify or free any part of the object, nor call its member
// functions (they are defined, hidden, inside the library only).
#ifndef SOLVARIUM_QUENNET_BROX_STATUS_H_
#define SOLVARIUM_QUENNET_BROX_STATUS_H_

#include <cstdint>
#include <map>
#include <set>
#include <string>

// State of one run as its run information reports it. A new record is empty.
struct StatusRecord {
  std::map<std::string, int32_t> configurations;  // configuration name -> index
  std::string name;                               // the run's name
  bool multiConfig = false;   // the run information's flag text is "True"
  bool completed = false;     // the run has reported its end
  std::string exitReason;     // end reason; empty while the run goes on
};

// Status object: a snapshot filled once by process() and never refreshed.
// While it exists, `lockFiles` lie in the run directories that were read; the
// destructor deletes them. Not thread-safe; one object per caller.
class BroxStatusReader {
 public:
  typedef std::map<std::string, bool> CandidateMap;
  typedef std::map<std::string, StatusRecord> ResultMap;

  // `dir` null means ".". Initialises the run-information translations.
  explicit BroxStatusReader(const char* dir);
  ~BroxStatusReader();
  BroxStatusReader(const BroxStatusReader&) = delete;
  BroxStatusReader& operator=(const BroxStatusReader&) = delete;

  // Scan, resolve conflicts, read every run into `results`. Throws
  // std::exception (e.g. "Ambiguous state") or xoq::Error; on a throw the
  // lock files created so far have already been deleted.
  void process();

  // The stages of process(), public so tests can drive them one by one.
  void scanDirectory(const std::string& path, int depth);
  void resolveConflicts();
  void readStatus();
  void removeLockFiles();

  // Fields, in this order (the layout is shared with the service).
  std::string directory;         // scanned directory; "." when none given
  std::string lockFileName;      // "sm.native_brox_aas.<pid>.lock"
  CandidateMap candidates;       // path -> still to be read
  CandidateMap::iterator cursor; // position of the conflict stage
  std::set<std::string> lockFiles;     // lock files this object created
  ResultMap results;             // run path -> its state; read by the service
};

// Exported entry points of libQuennet.so (extern "C", undecorated names).
// Failures return 1 (whole message in the buffer) or -1 (message cut, or no
// usable buffer); success returns 0. `*messageBuffer` designates a caller
// array of `messageLength` characters, written only on failure.
extern "C" {
typedef int32_t (*ZemvoFn)(const void* argument);
typedef int32_t (*GetBroxStatusFn)(const char* directory,
                                   BroxStatusReader** status,
                                   char** messageBuffer,
                                   int32_t messageLength);
typedef int32_t (*ReleaseBroxStatusFn)(BroxStatusReader** status,
                                       char** messageBuffer,
                                       int32_t messageLength);
}

// Names under which the library exports them.
#define QUENNET_GET_STATUS_SYMBOL "get_BroxStatus"
#define QUENNET_RELEASE_STATUS_SYMBOL "release_BroxStatus"
#define QUENNET_SELF_TEST_SYMBOL "Zemvo"

#endif  // SOLVARIUM_QUENNET_BROX_STATUS_H_
