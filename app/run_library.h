// What the program and its run library agree on: the name and the type of the library's entry.
#pragma once

namespace kivo {

// The whole run on Qt (kivoMain), for every run that the quiet one without Qt does not end.
inline constexpr const char* kRunEntryName = "kivoRun";
using RunLibraryEntry = int (*)(int argc, char** argv);

} // namespace kivo
