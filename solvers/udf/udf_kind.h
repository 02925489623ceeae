// Registration of the UDF kind with the solver object and of its
// description reader with the service core.
#ifndef SOLVARIUM_SOLVERS_UDF_UDF_KIND_H_
#define SOLVARIUM_SOLVERS_UDF_UDF_KIND_H_

namespace AAS_UDF {

// Registers the UDF kind's factory (kind 4) and its description reader.
void registerUdfKind();

}  // namespace AAS_UDF

#endif  // SOLVARIUM_SOLVERS_UDF_UDF_KIND_H_
