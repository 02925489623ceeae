// The end of the process as the low layers see it: the mark "the end has
// begun", after which nothing new is made (no program, no temporary file or
// folder, no printed key), and the files that the end removes.
//
// A thread holds a Making while it checks the mark, makes something and
// registers it, so that the end, once it has set the mark, can wait for
// every making in flight and then undo what is registered: nothing made
// after the check escapes it. The service's exit (service/process_exit.h)
// sets the mark and undoes; any thread may make.
#ifndef SOLVARIUM_PLATFORM_END_REGISTER_H_
#define SOLVARIUM_PLATFORM_END_REGISTER_H_

#include <chrono>
#include <string>

namespace solvarium {
namespace platform {

// Counts the calling thread in for its lifetime, unless the end has begun.
class Making {
 public:
  Making();
  ~Making();
  Making(const Making&) = delete;
  Making& operator=(const Making&) = delete;

  // False once the end has begun: make nothing (see waitForTheEnd()).
  bool allowed() const { return allowed_; }

 private:
  bool allowed_;
};

// Sets the mark; true for the first caller, whose thread is then the one
// that ends the process.
bool beginEnd();

// After beginEnd(): waits until no other thread holds a Making, at most
// until `deadline`. The caller's own Makings are not waited for.
void awaitMakings(std::chrono::steady_clock::time_point deadline);

// Blocks for ever when the end has begun on another thread (which ends the
// process); returns at once on the ending thread or before the end.
void waitForTheEnd();

// A file that the end removes, unlinkat(dirFd, name), while this object
// lives; `dirFd` must stay open as long. Make it under a Making.
class EndFile {
 public:
  EndFile(int dirFd, std::string name);
  ~EndFile();
  EndFile(const EndFile&) = delete;
  EndFile& operator=(const EndFile&) = delete;

 private:
  friend void removeEndFiles();
  const int dirFd_;
  const std::string name_;
};

// Removes the file of every live EndFile. For the end, after awaitMakings().
void removeEndFiles();

}  // namespace platform
}  // namespace solvarium

#endif  // SOLVARIUM_PLATFORM_END_REGISTER_H_
