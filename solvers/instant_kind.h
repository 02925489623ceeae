// What the built-in kinds share on their side of the seam (service/
// solver_kind.h): the texts of their generic servants, the watcher's link to
// a kind's own object, the final save that reports its failure and the
// minute tick's auto-save.
#ifndef SOLVARIUM_SOLVERS_INSTANT_KIND_H_
#define SOLVARIUM_SOLVERS_INSTANT_KIND_H_

#include <omniORB4/CORBA.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "service/solver_kind.h"

namespace solvarium {

// A built-in kind's record with its names and texts: chosen by "-solver
// <solverOption>" or a program name containing its server name; the
// generic-servant texts with the kind's solver id and scripting language id,
// access type "instant", the three internal IOR commands and the file-system
// texts that every kind shares. The collaborative unit is the root object's:
// none by default (SolverKindOwner), announced by Talvo and Grend
// (KindServant).
SolverKindRecord instantKindRecord(const std::string& solverOption, const std::string& serverName,
                                   const std::string& solverId, const std::string& languageId);

// "instant_" put before the last path component of the key file name `name`
// (after the last "/" or "\\"): the file that receives the solver unit.
std::string instantTwinName(const std::string& name);

// The watcher's link to a kind's own object of IDL type `Interface`:
// execute() through `execute(reference, command)`, shutdown() through the
// object's `shutdown` operation.
template <typename Interface, typename Execute>
std::function<std::unique_ptr<SolverLink>(CORBA::Object_ptr)> kindObjectLink(Execute execute) {
  class Link : public SolverLink {
   public:
    Link(typename Interface::_ptr_type object, Execute run) : object_(object), run_(run) {}
    void execute(const char* command) override {
      CORBA::String_var answer = run_(object_.in(), command);
    }
    void shutdown() override { object_->shutdown(); }

   private:
    typename Interface::_var_type object_;
    Execute run_;
  };
  return [execute](CORBA::Object_ptr key) -> std::unique_ptr<SolverLink> {
    typename Interface::_ptr_type object = Interface::_narrow(key);
    if (CORBA::is_nil(object)) return nullptr;
    return std::unique_ptr<SolverLink>(new Link(object, execute));
  };
}

// The cause of the exception being handled, for a log line: the text that
// `kind`'s failureText gives, else the name of a CORBA exception, what() of a
// standard one, else `unknown`. Call only inside a catch block.
std::string currentFailureText(const SolverKindRecord* kind = nullptr,
                               const char* unknown = "unknown failure");

// Runs the final save `command` once through kind->run(). A failure is
// appended to "instant_aas.error": a generic error or script error as its
// full name and every member, anything else as an unknown error; its cause
// goes to stderr. False when the save failed.
bool saveWithReport(SolverKind* kind, const char* command);

// The auto-save at the minute tick: counts one minute in `*minutes`; once
// the count reaches `period` (or has passed it: the period was lowered), it
// restarts at 0 and `save` runs. A failing save is not raised: `report` runs
// inside the catch block (and may rethrow).
void tickAutoSave(int32_t* minutes, int32_t period, const std::function<void()>& save,
                  const std::function<void()>& report);

}  // namespace solvarium

#endif  // SOLVARIUM_SOLVERS_INSTANT_KIND_H_
