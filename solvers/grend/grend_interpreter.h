// The Grend "aaS." command interpreter over the kind's state: getters of what
// the solver side announced, the monitor listing and its save to
// "monitor.json", the minute tick and the auto-save period. Every failure is
// the kind's one error exception.
#ifndef SOLVARIUM_SOLVERS_GREND_GREND_INTERPRETER_H_
#define SOLVARIUM_SOLVERS_GREND_GREND_INTERPRETER_H_

#include <string>

#include "AAS_CORBA.hh"
#include "common/state_flags.h"
#include "solvers/grend/grend_state.h"

namespace GREND {

// Answers `command`; `flags` answers "aaS.get_status". Raises EKorlenUnknown
// (code 1) for every failure.
std::string interpretGrendCommand(const std::string& command, GrendState* state,
                                  const solvarium::StateFlags& flags);

// EKorlenUnknown with code 1, empty scope and interface name.
AAS_CORBA::GRENDInstant::Exceptions::EKorlenUnknown grendError(const std::string& description,
                                                               const std::string& operation,
                                                               const std::string& moreInfo);

}  // namespace GREND

#endif  // SOLVARIUM_SOLVERS_GREND_GREND_INTERPRETER_H_
