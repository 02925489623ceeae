#include "platform/thread_stacks.h"

#include <malloc.h>
#include <pthread.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <vector>

#include "platform/sanitized_build.h"

namespace solvarium {
namespace platform {

namespace {

// Sanitizers keep their own view of each stack (a switch would confuse
// them), and their frames need glibc's large stacks.
constexpr bool kSmallStacks = !kSanitizedBuild;

constexpr std::size_t kThreadStackBytes = 256 * 1024;
constexpr std::size_t kLargeStackBytes = 8 * 1024 * 1024;
constexpr int kMallocArenas = 2;
// glibc reserves each arena beside the main heap as one 64 MiB block.
constexpr std::size_t kArenaBytes = 64 * 1024 * 1024;

std::size_t pageBytes() { return static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)); }

// Large stacks, each below a guard page; mapped when none is free, never
// unmapped (as many as ever ran at once).
std::mutex stacksLock;
std::vector<char*> freeStacks;  // guarded by stacksLock

char* takeLargeStack() {
  {
    const std::lock_guard<std::mutex> hold(stacksLock);
    if (!freeStacks.empty()) {
      char* stack = freeStacks.back();
      freeStacks.pop_back();
      return stack;
    }
  }
  void* block = ::mmap(nullptr, kLargeStackBytes + pageBytes(), PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
  if (block == MAP_FAILED) return nullptr;
  ::mprotect(block, pageBytes(), PROT_NONE);
  return static_cast<char*>(block) + pageBytes();
}

void giveBackLargeStack(char* stack) {
  const std::lock_guard<std::mutex> hold(stacksLock);
  freeStacks.push_back(stack);
}

// The work that this thread runs on a large stack now, if any.
struct StackSwitch {
  const std::function<void()>* work;
  std::exception_ptr failure;
  ucontext_t caller;
  ucontext_t large;
};
thread_local StackSwitch* onLargeStack = nullptr;

void runSwitchedWork() {
  StackSwitch* current = onLargeStack;
  try {
    (*current->work)();
  } catch (...) {
    current->failure = std::current_exception();
  }
}  // back to current->caller (uc_link)

}  // namespace

void reserveThreadStacks() {
  if (!kSmallStacks) return;
  pthread_attr_t attributes;
  if (::pthread_attr_init(&attributes) == 0) {
    ::pthread_attr_setstacksize(&attributes, kThreadStackBytes);
    ::pthread_setattr_default_np(&attributes);
    ::pthread_attr_destroy(&attributes);
  }
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  if (std::getenv("MALLOC_ARENA_MAX") == nullptr &&
      (tunables == nullptr || std::strstr(tunables, "arena_max") == nullptr)) {
    ::mallopt(M_ARENA_MAX, kMallocArenas);
  }
  if (char* stack = takeLargeStack()) giveBackLargeStack(stack);
}

std::size_t threadReservationBytes() {
  pthread_attr_t attributes;
  std::size_t stack = 0;
  std::size_t guard = 0;
  if (::pthread_getattr_default_np(&attributes) == 0) {
    ::pthread_attr_getstacksize(&attributes, &stack);
    ::pthread_attr_getguardsize(&attributes, &guard);
    ::pthread_attr_destroy(&attributes);
  }
  return stack + guard;
}

std::size_t arenaReservationBytes() {
  const char* set = std::getenv("MALLOC_ARENA_MAX");
  const long arenas = set != nullptr ? std::atol(set) : kMallocArenas;
  return arenas > 1 ? static_cast<std::size_t>(arenas - 1) * kArenaBytes : 0;
}

void runOnLargeStack(const std::function<void()>& work) {
  char* stack = kSmallStacks && onLargeStack == nullptr ? takeLargeStack() : nullptr;
  if (stack == nullptr) {
    work();
    return;
  }
  StackSwitch current{&work, nullptr, {}, {}};
  ::getcontext(&current.large);
  current.large.uc_stack.ss_sp = stack;
  current.large.uc_stack.ss_size = kLargeStackBytes;
  current.large.uc_link = &current.caller;
  ::makecontext(&current.large, runSwitchedWork, 0);
  onLargeStack = &current;
  ::swapcontext(&current.caller, &current.large);
  onLargeStack = nullptr;
  giveBackLargeStack(stack);
  if (current.failure) std::rethrow_exception(current.failure);
}

}  // namespace platform
}  // namespace solvarium
