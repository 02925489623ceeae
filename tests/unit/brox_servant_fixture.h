// The ORB and the servant POA of the unit tests that drive a Brox servant
// directly, as CInstantScripting does.
#ifndef SOLVARIUM_TESTS_UNIT_BROX_SERVANT_FIXTURE_H_
#define SOLVARIUM_TESTS_UNIT_BROX_SERVANT_FIXTURE_H_

#include <omniORB4/CORBA.h>

#include "service/servant_poa.h"

namespace brox_test {

// Made once per process: the ORB, and a single-threaded servant POA with
// implicit activation unless one is set already.
inline CORBA::ORB_ptr servantOrb() {
  static CORBA::ORB_var orb;
  if (CORBA::is_nil(orb.in())) {
    int argc = 0;
    orb = CORBA::ORB_init(argc, nullptr, "omniORB4");
    try {
      PortableServer::POA_var existing = solvarium::servantPoa();
    } catch (const CORBA::BAD_INV_ORDER&) {
      CORBA::Object_var object = orb->resolve_initial_references("RootPOA");
      PortableServer::POA_var root = PortableServer::POA::_narrow(object.in());
      PortableServer::POAManager_var manager = root->the_POAManager();
      CORBA::PolicyList policies;
      policies.length(2);
      policies[0] = root->create_thread_policy(PortableServer::SINGLE_THREAD_MODEL);
      policies[1] = root->create_implicit_activation_policy(PortableServer::IMPLICIT_ACTIVATION);
      PortableServer::POA_var child = root->create_POA("brox_servant_tests", manager.in(), policies);
      solvarium::setServantPoa(child.in());
      manager->activate();
    }
  }
  return orb.in();
}

}  // namespace brox_test

#endif  // SOLVARIUM_TESTS_UNIT_BROX_SERVANT_FIXTURE_H_
