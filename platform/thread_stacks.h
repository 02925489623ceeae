// What a thread reserves of the address space, which an address-space limit
// (ulimit -v) bounds: every thread gets a small stack and malloc few arenas,
// so that each connection, which has a thread of its own, costs little.
// Work whose stack depth follows its input (the embedded Python, the XML
// parser: one level of recursion per level of nesting) runs on a large stack
// instead, in the calling thread. Any thread may call these.
#ifndef SOLVARIUM_PLATFORM_THREAD_STACKS_H_
#define SOLVARIUM_PLATFORM_THREAD_STACKS_H_

#include <cstddef>
#include <functional>

namespace solvarium {
namespace platform {

// Every thread made from now on (the ORB's included) gets a stack of 256 KiB
// unless its maker asks for a size, and malloc at most 2 arenas (64 MiB of
// address space each) unless MALLOC_ARENA_MAX or GLIBC_TUNABLES says
// otherwise; one large stack is reserved. Sanitizer builds keep the default
// stack, which their larger frames need. Call first, before any thread exists.
void reserveThreadStacks();

// Address space that one more thread reserves: its stack and guard page.
std::size_t threadReservationBytes();

// Address space that malloc's arenas may reserve beside the main heap.
std::size_t arenaReservationBytes();

// Runs `work` in the calling thread on a large stack (8 MiB, as a thread's
// default stack would be) and returns when it has; what it throws is thrown
// on. Runs it in place when already on one, in sanitizer builds, and when no
// large stack can be mapped.
void runOnLargeStack(const std::function<void()>& work);

}  // namespace platform
}  // namespace solvarium

#endif  // SOLVARIUM_PLATFORM_THREAD_STACKS_H_
