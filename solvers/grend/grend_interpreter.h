// The Grend "aaS." command names and the kind's one error exception.
#ifndef SOLVARIUM_SOLVERS_GREND_GREND_INTERPRETER_H_
#define SOLVARIUM_SOLVERS_GREND_GREND_INTERPRETER_H_

#include <string>
#include <vector>

#include "AAS_CORBA.hh"

namespace GREND {

// The 14 names of the supported-command set, in table order.
const std::vector<std::string>& grendCommandNames();

// EKorlenUnknown with code 1, empty scope and interface name.
AAS_CORBA::GRENDInstant::Exceptions::EKorlenUnknown grendError(const std::string& description,
                                                               const std::string& operation,
                                                               const std::string& moreInfo);

}  // namespace GREND

#endif  // SOLVARIUM_SOLVERS_GREND_GREND_INTERPRETER_H_
