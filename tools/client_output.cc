#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "tools/client_verbs.h"

namespace solvarium {
namespace client {

namespace {

void writeOut(const std::string& text) {
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
    throw ClientError("cannot write to standard output");
  }
}

}  // namespace

void requireReference(CORBA::Object_ptr ref, const char* what) {
  if (CORBA::is_nil(ref)) throw ClientError(std::string("the service returned a nil ") + what);
}

void printResult(const ClientContext& ctx, char* text) {
  CORBA::String_var owned = text;
  writeOut(text ? text : "");
  if (ctx.appendNewline) writeOut("\n");
}

void printResult(const ClientContext&, CORBA::Boolean value) {
  writeOut(value ? "true\n" : "false\n");
}

void printResult(const ClientContext&, CORBA::Long value) {
  writeOut(std::to_string(value) + "\n");
}

void printResult(const ClientContext&, KORLEN_AAS_v1_0_0::Types::CoStrings* items) {
  KORLEN_AAS_v1_0_0::Types::CoStrings_var owned = items;
  for (CORBA::ULong i = 0; i < owned->length(); ++i) {
    const char* item = owned[i];
    writeOut(std::string(item ? item : "") + "\n");
  }
}

void printResult(const ClientContext& ctx, CORBA::Object_ptr ref) {
  CORBA::Object_var owned = ref;
  if (CORBA::is_nil(ref)) {
    writeOut("nil\n");
    return;
  }
  CORBA::String_var ior = ctx.orb->object_to_string(ref);
  writeOut(std::string(ior.in()) + "\n");
}

CORBA::Long parseLong(const std::string& text) {
  errno = 0;
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || value < INT32_MIN || value > INT32_MAX) {
    throw ClientError("not a 32-bit integer: \"" + text + "\"");
  }
  return static_cast<CORBA::Long>(value);
}

bool parseBoolean(const std::string& text) {
  if (text == "true" || text == "1") return true;
  if (text == "false" || text == "0") return false;
  throw ClientError("not a boolean (true/false): \"" + text + "\"");
}

}  // namespace client
}  // namespace solvarium
