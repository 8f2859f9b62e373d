// Loading the run library, which every run but the quiet log-on run needs.
#pragma once

namespace kivo {

// Loads the run library beside the program (the build tree) or under lib/kivo (installed) and
// runs it on the arguments. Returns its exit status, or 1 after saying on the standard error why
// it could not be loaded.
int runLoadedProgram(int argc, char** argv);

} // namespace kivo
