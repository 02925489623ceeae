#include "tests/support/expect_throw.h"

#include <cxxabi.h>

#include <cstdlib>
#include <exception>
#include <sstream>

#include "tests/support/outcome.h"

namespace solvarium_test {

std::string currentExceptionText() {
  try {
    throw;
  } catch (const CORBA::Exception& e) {
    std::ostringstream text;
    text << describe(e);
    return text.str();
  } catch (const std::exception& e) {
    return typeName(typeid(e)) + " <" + e.what() + ">";
  } catch (...) {
    return "an exception of an unknown type";
  }
}

std::string typeName(const std::type_info& type) {
  int status = 0;
  char* readable = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  const std::string name = status == 0 && readable != nullptr ? readable : type.name();
  std::free(readable);
  return name;
}

}  // namespace solvarium_test
