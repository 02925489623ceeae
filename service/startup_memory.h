// Memory that runs out during start-up (at an address-space limit, say).
// Code that never expects an allocation to fail would then crash (ACEXML's
// parser), end through std::terminate (an error path that allocates) or never
// end (the embedded Python): while the service starts, an allocation that
// fails ends the process at once with kExitStartFailed and one line
// "Start-up failed: out of memory: ...", for which a reserve of memory is
// given back first. Once the keys are published, allocations fail as usual.
#ifndef SOLVARIUM_SERVICE_STARTUP_MEMORY_H_
#define SOLVARIUM_SERVICE_STARTUP_MEMORY_H_

namespace solvarium {

// Maps the reserve and watches operator new; call once, first in start-up
// (a reserve that cannot be mapped ends the process as above).
void watchStartupMemory();

// Start-up is over: operator new throws std::bad_alloc again, and the
// reserve is given back.
void endStartupMemoryWatch();

// True from watchStartupMemory() until endStartupMemoryWatch(), or until
// failStartOutOfMemory() has begun the end. Any thread.
bool startupMemoryWatched();

// Ends the process as above: for an allocator that start-up watches besides
// operator new (the embedded Python's).
[[noreturn]] void failStartOutOfMemory();

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_STARTUP_MEMORY_H_
