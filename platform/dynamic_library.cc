#include "platform/dynamic_library.h"

#include <dlfcn.h>

namespace solvarium {
namespace platform {

void* openLibrary(const std::string& path, bool global, std::string* error) {
  std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  dlerror();
  void* handle = ::dlopen(file.c_str(), RTLD_NOW | (global ? RTLD_GLOBAL : RTLD_LOCAL));
  if (!handle && error) {
    const char* text = dlerror();
    *error = text ? text : "unknown dlopen error";
  }
  return handle;
}

void* findSymbol(void* library, const char* name, std::string* error) {
  dlerror();
  void* symbol = library ? ::dlsym(library, name) : nullptr;
  if (!symbol && error) {
    const char* text = library ? dlerror() : "library not open";
    *error = text ? text : std::string("symbol '") + name + "' is null";
  }
  return symbol;
}

void closeLibrary(void* library) {
  if (library) ::dlclose(library);
}

}  // namespace platform
}  // namespace solvarium
