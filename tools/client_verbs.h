// Verbs of solvarium-client: each verb names an interface of the contract and
// lists the operations a user can call on it. The tables drive both the
// dispatch and usage(), so the two cannot drift apart.
#ifndef SOLVARIUM_TOOLS_CLIENT_VERBS_H_
#define SOLVARIUM_TOOLS_CLIENT_VERBS_H_

#include <omniORB4/CORBA.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "KORLEN_AAS_v1_0_0.hh"

namespace solvarium {
namespace client {

// A failure of the client itself (bad arguments, wrong kind of key, local
// file trouble): printed on stderr, exit code 2.
class ClientError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What every operation needs: the ORB and the object that the key names.
struct ClientContext {
  CORBA::ORB_ptr orb = CORBA::ORB::_nil();
  CORBA::Object_ptr target = CORBA::Object::_nil();
  bool appendNewline = true;  // after a string result (-n turns it off)
};

using OperationArgs = std::vector<std::string>;

struct Operation {
  std::string name;      // IDL operation name, or a client word ("upload"); empty: the verb itself
  std::string argSyntax;  // for usage(), e.g. "LOCAL REMOTE"; "COMMAND..." takes the rest joined
  size_t argCount;       // exact number of arguments (ignored when joinRest)
  bool joinRest;         // all remaining arguments joined with single blanks form one argument
  std::function<void(ClientContext&, const OperationArgs&)> run;
};

struct Verb {
  std::string name;
  std::string what;  // one line for usage()
  std::vector<Operation> operations;
};

std::vector<Verb> solverUnitVerbs();   // "solver-unit"
std::vector<Verb> scriptingVerbs();    // "script", "script-op"
std::vector<Verb> fileSystemVerbs();   // "fs"
std::vector<Verb> kindVerbs();         // "brox", "grend", "talvo"
std::vector<Verb> allVerbs();

// --- helpers shared by the verb files (client_output.cc) ---

// T::_narrow of the target; throws ClientError naming `interfaceName` when nil.
template <class T>
typename T::_ptr_type narrowTarget(const ClientContext& ctx, const char* interfaceName) {
  typename T::_ptr_type typed = T::_narrow(ctx.target);
  if (CORBA::is_nil(typed)) {
    throw ClientError(std::string("the key does not name an object of ") + interfaceName);
  }
  return typed;
}

// A reference that the service handed out: throws ClientError when nil.
void requireReference(CORBA::Object_ptr ref, const char* what);

// A result on stdout by its IDL type, taking ownership of it: text raw plus
// "\n" unless -n, booleans "true"/"false", sequences one item per line,
// references as IOR text or "nil".
void printResult(const ClientContext& ctx, char* text);
void printResult(const ClientContext& ctx, CORBA::Boolean value);
void printResult(const ClientContext& ctx, CORBA::Long value);
void printResult(const ClientContext& ctx, KORLEN_AAS_v1_0_0::Types::CoStrings* items);
void printResult(const ClientContext& ctx, CORBA::Object_ptr ref);

// Strict number parsing of command-line arguments (ClientError on junk).
CORBA::Long parseLong(const std::string& text);
bool parseBoolean(const std::string& text);  // "true"/"false"/"1"/"0"

// An operation's argument from its command-line word, by the IDL parameter type.
template <class A>
A argument(const std::string& word) {
  if constexpr (std::is_same_v<A, CORBA::Long>) {
    return parseLong(word);
  } else if constexpr (std::is_same_v<A, CORBA::Boolean>) {
    return parseBoolean(word);
  } else {
    return word.c_str();
  }
}

// I is an interface class (static members), Obj<I> its object-reference class,
// which carries the operations.
template <class I>
using Obj = std::remove_pointer_t<typename I::_ptr_type>;

// The target narrowed to I, named by its repository id when it is not one.
template <class I>
typename I::_ptr_type narrowById(const ClientContext& ctx) {
  return narrowTarget<I>(ctx, I::_PD_repoId);
}

// The operation `name` that calls `op` with at most one argument on the object
// that Get finds, and prints its result. Arguments are parsed before the
// object is looked up; an argSyntax ending in "..." takes the rest joined.
template <class I, typename I::_ptr_type (*Get)(const ClientContext&) = narrowById<I>, class R,
          class... A>
Operation call(const char* name, const char* argSyntax, R (Obj<I>::*op)(A...)) {
  static_assert(sizeof...(A) <= 1, "one argument at most");
  const std::string syntax = argSyntax;
  const bool joinRest = syntax.size() >= 3 && syntax.compare(syntax.size() - 3, 3, "...") == 0;
  auto run = [op](ClientContext& ctx, const OperationArgs& args) {
    const std::tuple<A...> values{argument<A>(args[0])...};
    typename I::_var_type target = Get(ctx);
    auto invoke = [&](A... a) { return (target.in()->*op)(a...); };
    if constexpr (std::is_void_v<R>) {
      std::apply(invoke, values);
    } else {
      printResult(ctx, std::apply(invoke, values));
    }
  };
  return {name, syntax, sizeof...(A), joinRest, run};
}

}  // namespace client
}  // namespace solvarium

#endif  // SOLVARIUM_TOOLS_CLIENT_VERBS_H_
