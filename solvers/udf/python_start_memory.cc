#include "solvers/udf/python_start_memory.h"

#include "service/startup_memory.h"

namespace AAS_UDF {

namespace {

// Python's own allocators, wrapped; each wrapper's context is its original.
PyMemAllocatorEx originals[3];
const PyMemAllocatorDomain kDomains[3] = {PYMEM_DOMAIN_RAW, PYMEM_DOMAIN_MEM, PYMEM_DOMAIN_OBJ};

void* checked(void* block) {
  if (block == nullptr && solvarium::startupMemoryWatched()) solvarium::failStartOutOfMemory();
  return block;
}

const PyMemAllocatorEx& original(void* context) {
  return *static_cast<const PyMemAllocatorEx*>(context);
}

void* watchedMalloc(void* context, std::size_t size) {
  return checked(original(context).malloc(original(context).ctx, size));
}

void* watchedCalloc(void* context, std::size_t count, std::size_t size) {
  return checked(original(context).calloc(original(context).ctx, count, size));
}

void* watchedRealloc(void* context, void* block, std::size_t size) {
  return checked(original(context).realloc(original(context).ctx, block, size));
}

void watchedFree(void* context, void* block) {
  original(context).free(original(context).ctx, block);
}

}  // namespace

void watchPythonStartMemory(const PythonApi& api) {
  for (int i = 0; i < 3; ++i) {
    api.memGetAllocator(kDomains[i], &originals[i]);
    PyMemAllocatorEx watched = {&originals[i], watchedMalloc, watchedCalloc, watchedRealloc,
                                watchedFree};
    api.memSetAllocator(kDomains[i], &watched);
  }
}

}  // namespace AAS_UDF
