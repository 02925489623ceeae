# Calls the service from another ORB (Combat, pure Tcl IIOP).
# usage: tclsh interop_client.tcl INSTANT_KEY_FILE
# Prints "id=<getSolverId>", "status=<executeToString aaS.get_status>", the
# exception of an unknown command and the question of a command without its
# argument, one per line.
package require combat

# Type information of the operations called, in place of an Interface Repository.
combat::ir add {
  {module {IDL:KORLEN_AAS_v1_0_0:1.0 KORLEN_AAS_v1_0_0 1.0} {
    {module {IDL:KORLEN_AAS_v1_0_0/Types:1.0 Types 1.0} {
      {typedef {IDL:KORLEN_AAS_v1_0_0/Types/CoStrings:1.0 CoStrings 1.0} {sequence string}}
    }}
    {module {IDL:KORLEN_AAS_v1_0_0/Exceptions:1.0 Exceptions 1.0} {
      {exception {IDL:KORLEN_AAS_v1_0_0/Exceptions/EUnknown:1.0 EUnknown 1.0}
        {{code long} {description string} {scope string} {interfaceName string}
         {operation string} {moreInfo string}} {}}
      {exception {IDL:KORLEN_AAS_v1_0_0/Exceptions/EInvalidArgument:1.0 EInvalidArgument 1.0}
        {{code long} {description string} {scope string} {interfaceName string}
         {operation string} {moreInfo string} {position short}} {}}
      {exception {IDL:KORLEN_AAS_v1_0_0/Exceptions/EYesNoQuestion:1.0 EYesNoQuestion 1.0}
        {{questionType long} {questionPromptWithDefaultAnswer string} {defaultAnswer string}
         {questionHelp string} {questionMessage string}} {}}
      {exception {IDL:KORLEN_AAS_v1_0_0/Exceptions/EReadUnquotedString:1.0 EReadUnquotedString 1.0}
        {{questionType long} {questionPrompt string} {defaultAnswer string}
         {questionHelp string} {questionMessage string}} {}}
      {exception {IDL:KORLEN_AAS_v1_0_0/Exceptions/EReadQGenericQuestion:1.0 EReadQGenericQuestion 1.0}
        {{questionType long} {questionPromptWithDefaultAnswer string} {rawDefaultAnswer string}
         {questionHelp string} {questionMessage string}} {}}
      {exception {IDL:KORLEN_AAS_v1_0_0/Exceptions/EMenuGetQuestion:1.0 EMenuGetQuestion 1.0}
        {{questionType long} {questionPrompt string} {questionHelp string} {questionMenu string}} {}}
      {exception {IDL:KORLEN_AAS_v1_0_0/Exceptions/EScriptGenericError:1.0 EScriptGenericError 1.0}
        {{errorType long} {command string} {errorInfo string} {commandOutput string}} {}}
      {exception {IDL:KORLEN_AAS_v1_0_0/Exceptions/ENotSupported:1.0 ENotSupported 1.0}
        {{errorType long} {command string} {errorInfo string}} {}}
    }}
    {module {IDL:KORLEN_AAS_v1_0_0/Solvers:1.0 Solvers 1.0} {
      {interface {IDL:KORLEN_AAS_v1_0_0/Solvers/ICoScripting:1.0 ICoScripting 1.0} {} {
        {operation {IDL:KORLEN_AAS_v1_0_0/Solvers/ICoScripting/executeToString:1.0 executeToString 1.0}
          string {{in command string}}
          {IDL:KORLEN_AAS_v1_0_0/Exceptions/EUnknown:1.0 IDL:KORLEN_AAS_v1_0_0/Exceptions/ENotSupported:1.0
           IDL:KORLEN_AAS_v1_0_0/Exceptions/EInvalidArgument:1.0 IDL:KORLEN_AAS_v1_0_0/Exceptions/EYesNoQuestion:1.0
           IDL:KORLEN_AAS_v1_0_0/Exceptions/EReadUnquotedString:1.0
           IDL:KORLEN_AAS_v1_0_0/Exceptions/EReadQGenericQuestion:1.0
           IDL:KORLEN_AAS_v1_0_0/Exceptions/EMenuGetQuestion:1.0
           IDL:KORLEN_AAS_v1_0_0/Exceptions/EScriptGenericError:1.0}}
        {operation {IDL:KORLEN_AAS_v1_0_0/Solvers/ICoScripting/getStatus:1.0 getStatus 1.0}
          IDL:KORLEN_AAS_v1_0_0/Types/CoStrings:1.0 {}
          {IDL:KORLEN_AAS_v1_0_0/Exceptions/EUnknown:1.0 IDL:KORLEN_AAS_v1_0_0/Exceptions/ENotSupported:1.0}}
      }}
      {interface {IDL:KORLEN_AAS_v1_0_0/Solvers/ICoSolverUnit:1.0 ICoSolverUnit 1.0} {} {
        {operation {IDL:KORLEN_AAS_v1_0_0/Solvers/ICoSolverUnit/getSolverId:1.0 getSolverId 1.0}
          string {}
          {IDL:KORLEN_AAS_v1_0_0/Exceptions/EUnknown:1.0 IDL:KORLEN_AAS_v1_0_0/Exceptions/ENotSupported:1.0}}
        {operation {IDL:KORLEN_AAS_v1_0_0/Solvers/ICoSolverUnit/getCommandScripting:1.0 getCommandScripting 1.0}
          IDL:KORLEN_AAS_v1_0_0/Solvers/ICoScripting:1.0 {}
          {IDL:KORLEN_AAS_v1_0_0/Exceptions/EUnknown:1.0 IDL:KORLEN_AAS_v1_0_0/Exceptions/ENotSupported:1.0}}
      }}
    }}
  }}
}

set argv [eval corba::init $argv]
set keyFile [lindex $argv 0]
set f [open $keyFile r]
set ior [string trim [read $f]]
close $f

set unit [corba::string_to_object $ior]
puts "id=[$unit getSolverId]"
set scripting [$unit getCommandScripting]
puts "status=[$scripting executeToString aaS.get_status]"
puts "flags=[$scripting getStatus]"
if {[catch {$scripting executeToString aaS.nope} err]} {
  puts "error=$err"
}
if {[catch {$scripting executeToString aaS.getenv} err]} {
  puts "question=$err"
}
corba::release $scripting
corba::release $unit
exit 0
