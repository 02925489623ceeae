// POSIX twin of LoadLibraryA/GetProcAddress/FreeLibrary.
#ifndef SOLVARIUM_PLATFORM_DYNAMIC_LIBRARY_H_
#define SOLVARIUM_PLATFORM_DYNAMIC_LIBRARY_H_

#include <string>

namespace solvarium {
namespace platform {

// Opens a shared library by path. A path without '/' is opened as "./" + path
// so that the file that was checked is the one loaded. Returns null and sets
// `error` to dlerror()'s text on failure. `global` selects RTLD_GLOBAL.
void* openLibrary(const std::string& path, bool global, std::string* error);

// Looks up `name`; null with `error` set when it is missing.
void* findSymbol(void* library, const char* name, std::string* error);

// dlclose(); null is ignored.
void closeLibrary(void* library);

}  // namespace platform
}  // namespace solvarium

#endif  // SOLVARIUM_PLATFORM_DYNAMIC_LIBRARY_H_
