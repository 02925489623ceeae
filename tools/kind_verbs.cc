// "brox OP", "grend OP", "talvo OP": every operation of the kind units
// ICoBROXUnit, ICoGrendUnit and
// ITalvoExceptionHolder. The key is the kind's own key file.
#include <type_traits>

#include "AAS_CORBA.hh"
#include "tools/client_verbs.h"

namespace solvarium {
namespace client {

namespace {

// The narrowed kind unit, released when the call is done. I is the
// interface class (static members), Obj<I> its object-reference class, which
// carries the operations.
template <class I>
using Obj = std::remove_pointer_t<typename I::_ptr_type>;

template <class I>
class Unit {
 public:
  explicit Unit(const ClientContext& ctx) : ref_(narrowTarget<I>(ctx, I::_PD_repoId)) {}
  ~Unit() { CORBA::release(ref_); }
  Unit(const Unit&) = delete;
  Unit& operator=(const Unit&) = delete;
  Obj<I>* get() const { return ref_; }

 private:
  typename I::_ptr_type ref_;
};

// Operation builders, one per signature.

template <class I>
Operation voidNoArg(const char* name, void (Obj<I>::*op)()) {
  return {name, "", 0, false, [op](ClientContext& ctx, const OperationArgs&) {
            Unit<I> u(ctx);
            (u.get()->*op)();
          }};
}

template <class I>
Operation voidText(const char* name, const char* argSyntax, void (Obj<I>::*op)(const char*)) {
  return {name, argSyntax, 0, true, [op](ClientContext& ctx, const OperationArgs& args) {
            Unit<I> u(ctx);
            (u.get()->*op)(args[0].c_str());
          }};
}

template <class I>
Operation voidBoolean(const char* name, void (Obj<I>::*op)(CORBA::Boolean)) {
  return {name, "true|false", 1, false, [op](ClientContext& ctx, const OperationArgs& args) {
            const bool value = parseBoolean(args[0]);
            Unit<I> u(ctx);
            (u.get()->*op)(value);
          }};
}

template <class I>
Operation stringNoArg(const char* name, char* (Obj<I>::*op)()) {
  return {name, "", 0, false, [op](ClientContext& ctx, const OperationArgs&) {
            Unit<I> u(ctx);
            CORBA::String_var text = (u.get()->*op)();
            printText(ctx, text);
          }};
}

template <class I>
Operation stringText(const char* name, const char* argSyntax, char* (Obj<I>::*op)(const char*)) {
  return {name, argSyntax, 0, true, [op](ClientContext& ctx, const OperationArgs& args) {
            Unit<I> u(ctx);
            CORBA::String_var text = (u.get()->*op)(args[0].c_str());
            printText(ctx, text);
          }};
}

template <class I>
Operation booleanNoArg(const char* name, CORBA::Boolean (Obj<I>::*op)()) {
  return {name, "", 0, false, [op](ClientContext& ctx, const OperationArgs&) {
            Unit<I> u(ctx);
            printBoolean((u.get()->*op)());
          }};
}

template <class I>
Operation longNoArg(const char* name, CORBA::Long (Obj<I>::*op)()) {
  return {name, "", 0, false, [op](ClientContext& ctx, const OperationArgs&) {
            Unit<I> u(ctx);
            printLong((u.get()->*op)());
          }};
}

template <class I>
Operation stringLong(const char* name, const char* argSyntax, char* (Obj<I>::*op)(CORBA::Long)) {
  return {name, argSyntax, 1, false, [op](ClientContext& ctx, const OperationArgs& args) {
            const CORBA::Long value = parseLong(args[0]);
            Unit<I> u(ctx);
            CORBA::String_var text = (u.get()->*op)(value);
            printText(ctx, text);
          }};
}

Verb broxVerb() {
  using I = ::AAS_CORBA::BROXInstant::Solvers::ICoBROXUnit;
  using O = Obj<I>;
  Verb verb{"brox", "ICoBROXUnit of the Brox key (\"aaS_BROXSolvarium.txt\")", {}};
  verb.operations = {
      voidText<I>("addGenericExceptionMessage", "MESSAGE...", &O::addGenericExceptionMessage),
      stringText<I>("executeCommandToString", "COMMAND...", &O::executeCommandToString),
      booleanNoArg<I>("shutdown", &O::shutdown),
  };
  return verb;
}

Verb grendVerb() {
  using I = ::AAS_CORBA::GRENDInstant::Solvers::ICoGrendUnit;
  using O = Obj<I>;
  Verb verb{"grend", "ICoGrendUnit of the Grend key", {}};
  verb.operations = {
      voidText<I>("addGenericExceptionMessage", "MESSAGE...", &O::addGenericExceptionMessage),
      stringText<I>("executeCommandToString", "COMMAND...", &O::executeCommandToString),
      booleanNoArg<I>("shutdown", &O::shutdown),
      stringNoArg<I>("getCoSolverUnitIor", &O::getCoSolverUnitIor),
  };
  return verb;
}

Verb talvoVerb() {
  using I = ::AAS_CORBA::Talvo::ITalvoExceptionHolder;
  using O = Obj<I>;
  Verb verb{"talvo", "ITalvoExceptionHolder of the Talvo key", {}};
  verb.operations = {
      voidText<I>("addGenericErrorExceptionMessage", "MESSAGE...", &O::addGenericErrorExceptionMessage),
      voidNoArg<I>("resetExceptions", &O::resetExceptions),
      longNoArg<I>("getNrErrorExceptions", &O::getNrErrorExceptions),
      stringLong<I>("getErrorExceptionByIndex", "INDEX", &O::getErrorExceptionByIndex),
      stringNoArg<I>("getQuestionType", &O::getQuestionType),
      stringNoArg<I>("getQuestionPrompt", &O::getQuestionPrompt),
      stringNoArg<I>("getQuestionDefaultAnswer", &O::getQuestionDefaultAnswer),
      stringNoArg<I>("getQuestionMenu", &O::getQuestionMenu),
      stringNoArg<I>("getQuestionHelp", &O::getQuestionHelp),
      stringNoArg<I>("getQuestionMsg", &O::getQuestionMsg),
      booleanNoArg<I>("isQuestionYesNo", &O::isQuestionYesNo),
      booleanNoArg<I>("isAasListenerVisited", &O::isAasListenerVisited),
      stringNoArg<I>("getStatus", &O::getStatus),
      stringNoArg<I>("getVisited", &O::getVisited),
      stringText<I>("doInstantCommandToString", "COMMAND...", &O::doInstantCommandToString),
      voidText<I>("setQuestionType", "TEXT...", &O::setQuestionType),
      voidText<I>("setQuestionPrompt", "TEXT...", &O::setQuestionPrompt),
      voidText<I>("setQuestionDefaultAnswer", "TEXT...", &O::setQuestionDefaultAnswer),
      voidText<I>("setQuestionMenu", "TEXT...", &O::setQuestionMenu),
      voidText<I>("setQuestionHelp", "TEXT...", &O::setQuestionHelp),
      voidText<I>("setQuestionMsg", "TEXT...", &O::setQuestionMsg),
      voidBoolean<I>("setQuestionYesNo", &O::setQuestionYesNo),
      booleanNoArg<I>("shutdown", &O::shutdown),
      stringNoArg<I>("getCoSolverUnitIor", &O::getCoSolverUnitIor),
  };
  return verb;
}

}  // namespace

std::vector<Verb> kindVerbs() { return {broxVerb(), grendVerb(), talvoVerb()}; }

}  // namespace client
}  // namespace solvarium
