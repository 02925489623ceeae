#include "service/startup_memory.h"

#include <sys/mman.h>

#include <atomic>
#include <new>

#include "service/process_exit.h"

namespace solvarium {

namespace {

// Room for the line and the end of the process.
constexpr std::size_t kReserveBytes = 1 << 20;

std::atomic<void*> reserve{nullptr};

void releaseReserve() {
  if (void* block = reserve.exchange(nullptr)) ::munmap(block, kReserveBytes);
}

}  // namespace

void watchStartupMemory() {
  void* block = ::mmap(nullptr, kReserveBytes, PROT_NONE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (block == MAP_FAILED) failStartOutOfMemory();
  reserve = block;
  std::set_new_handler(failStartOutOfMemory);
}

void endStartupMemoryWatch() {
  std::set_new_handler(nullptr);
  releaseReserve();
}

bool startupMemoryWatched() { return std::get_new_handler() == &failStartOutOfMemory; }

void failStartOutOfMemory() {
  std::set_new_handler(nullptr);  // the end's own allocations may fail
  releaseReserve();
  endProcess(kExitStartFailed,
             "Start-up failed: out of memory: raise the limit on address space (ulimit -v) or "
             "free memory");
}

}  // namespace solvarium
