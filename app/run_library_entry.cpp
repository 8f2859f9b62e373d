// The entry of the run library: the program on Qt Core, which loads the window library in turn.
#include "app/run_library.h"
#include "app/start.h"
#include "app/window_library_loader.h"

#include <type_traits>

extern "C" Q_DECL_EXPORT int kivoRun(int argc, char** argv) {
    return kivo::kivoMain(argc, argv, kivo::openLoadedWindows, kivo::runLoadedSync,
                          kivo::notifyLoaded);
}

// The program calls the entry as this type.
static_assert(std::is_same_v<decltype(&kivoRun), kivo::RunLibraryEntry>);
