#include "tests/support/outcome.h"

#include "AAS_CORBA.hh"
#include "KORLEN_AAS_v1_0_0.hh"
#include "idl/exception_members.h"

namespace solvarium_test {

std::string Outcome::member(const std::string& name) const {
  auto it = members.find(name);
  return it == members.end() ? std::string("<no member " + name + ">") : it->second;
}

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
  if (o.ok) return os << "answer <" << o.answer << ">";
  os << o.exception << " {";
  for (const auto& kv : o.members) os << " " << kv.first << "=<" << kv.second << ">";
  return os << " }";
}

::testing::AssertionResult isException(const Outcome& o, const std::string& name,
                                       const std::map<std::string, std::string>& members) {
  if (o.ok || o.exception != name)
    return ::testing::AssertionFailure() << "expected " << name << ", got " << o;
  for (const auto& kv : members) {
    auto it = o.members.find(kv.first);
    if (it == o.members.end())
      return ::testing::AssertionFailure() << name << " has no member " << kv.first;
    if (it->second != kv.second)
      return ::testing::AssertionFailure() << name << "." << kv.first << " is <" << it->second
                                           << ">, expected <" << kv.second << ">";
  }
  return ::testing::AssertionSuccess();
}

namespace {

// Member texts by name; absent strings read "<null>".
struct MemberTexts {
  std::map<std::string, std::string>& members;
  void operator()(const char* name, const char* value) const { members[name] = value ? value : "<null>"; }
  void operator()(const char* name, long value) const { members[name] = std::to_string(value); }
};

// Tries one exception type; fills o and returns true on a match.
#define SOLVARIUM_TRY_EXCEPTION(Type, shortName)                           \
  if (const Type* p = dynamic_cast<const Type*>(&e)) {                     \
    o.exception = shortName;                                               \
    solvarium::exception_members::visitMembers(*p, MemberTexts{o.members}); \
    return o;                                                              \
  }

}  // namespace

Outcome describe(const CORBA::Exception& e) {
  Outcome o;
  o.repositoryId = e._rep_id() ? e._rep_id() : "";
  namespace G = KORLEN_AAS_v1_0_0::Exceptions;
  namespace I = KORLEN_AAS_v1_0_0::Instant::Exceptions;
  namespace B = AAS_CORBA::BROXInstant::Exceptions;
  namespace R = AAS_CORBA::GRENDInstant::Exceptions;
  namespace T = AAS_CORBA;
  SOLVARIUM_TRY_EXCEPTION(G::EUnknown, "EUnknown")
  SOLVARIUM_TRY_EXCEPTION(G::EInvalidArgument, "EInvalidArgument")
  SOLVARIUM_TRY_EXCEPTION(G::EYesNoQuestion, "EYesNoQuestion")
  SOLVARIUM_TRY_EXCEPTION(G::EReadUnquotedString, "EReadUnquotedString")
  SOLVARIUM_TRY_EXCEPTION(G::EReadQGenericQuestion, "EReadQGenericQuestion")
  SOLVARIUM_TRY_EXCEPTION(G::EMenuGetQuestion, "EMenuGetQuestion")
  SOLVARIUM_TRY_EXCEPTION(G::EScriptGenericError, "EScriptGenericError")
  SOLVARIUM_TRY_EXCEPTION(G::ENotSupported, "ENotSupported")
  SOLVARIUM_TRY_EXCEPTION(B::EKorlenUnknown, "BROXInstant::EKorlenUnknown")
  SOLVARIUM_TRY_EXCEPTION(B::EKorlenInvalidArgument, "BROXInstant::EKorlenInvalidArgument")
  SOLVARIUM_TRY_EXCEPTION(B::EInstantYesNoQuestion, "BROXInstant::EInstantYesNoQuestion")
  SOLVARIUM_TRY_EXCEPTION(B::EInstantReadUnquotedString, "BROXInstant::EInstantReadUnquotedString")
  SOLVARIUM_TRY_EXCEPTION(B::EInstantReadQGenericQuestion, "BROXInstant::EInstantReadQGenericQuestion")
  SOLVARIUM_TRY_EXCEPTION(B::EInstantMenuGetQuestion, "BROXInstant::EInstantMenuGetQuestion")
  SOLVARIUM_TRY_EXCEPTION(B::EInstantScriptError, "BROXInstant::EInstantScriptError")
  SOLVARIUM_TRY_EXCEPTION(R::EKorlenUnknown, "GRENDInstant::EKorlenUnknown")
  SOLVARIUM_TRY_EXCEPTION(R::EKorlenInvalidArgument, "GRENDInstant::EKorlenInvalidArgument")
  SOLVARIUM_TRY_EXCEPTION(I::EKorlenUnknown, "Instant::EKorlenUnknown")
  SOLVARIUM_TRY_EXCEPTION(I::EKorlenInvalidArgument, "Instant::EKorlenInvalidArgument")
  SOLVARIUM_TRY_EXCEPTION(T::EInstantYesNoQuestion, "AAS_CORBA::EInstantYesNoQuestion")
  SOLVARIUM_TRY_EXCEPTION(T::EInstantReadUnquotedString, "AAS_CORBA::EInstantReadUnquotedString")
  SOLVARIUM_TRY_EXCEPTION(T::EInstantReadQGenericQuestion, "AAS_CORBA::EInstantReadQGenericQuestion")
  SOLVARIUM_TRY_EXCEPTION(T::EInstantMenuGetQuestion, "AAS_CORBA::EInstantMenuGetQuestion")
  SOLVARIUM_TRY_EXCEPTION(T::EInstantTalvoGenericError, "AAS_CORBA::EInstantTalvoGenericError")
  if (const CORBA::SystemException* s = dynamic_cast<const CORBA::SystemException*>(&e)) {
    o.exception = std::string("CORBA::") + s->_name();
    o.members["minor"] = std::to_string(s->minor());
    o.members["completed"] = std::to_string(static_cast<int>(s->completed()));
    return o;
  }
  o.exception = std::string("other:") + e._name();
  return o;
}

Outcome capture(const std::function<std::string()>& f) {
  Outcome o;
  try {
    o.answer = f();
    o.ok = true;
  } catch (const CORBA::Exception& e) {
    o = describe(e);
  }
  return o;
}

}  // namespace solvarium_test
