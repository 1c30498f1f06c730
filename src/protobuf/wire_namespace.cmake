# Moves the classes generated from tarvex.proto into the namespace tarvex::wire, so that the
# message classes (Problem, Constraint, Element, ...) do not collide with the model types of
# the same names. Run as: cmake -DFILE=<generated file> -P wire_namespace.cmake
file(READ "${FILE}" text)
string(REPLACE "::tarvex::" "::tarvex::wire::" text "${text}")
string(REPLACE "namespace tarvex {" "namespace tarvex {\nnamespace wire {" text "${text}")
string(REPLACE "}  // namespace tarvex" "}  // namespace wire\n}  // namespace tarvex" text "${text}")
file(WRITE "${FILE}" "${text}")
