// kivo's entry point: the usual log-on run ends without Qt; any other run loads the program on Qt,
// which loads the windows only when one opens and the notification only when one is sent.
#if defined(KIVO_QUIET_RUN_WITHOUT_QT)
#include "app/quiet_run.h"
#include "app/run_library_loader.h"

int main(int argc, char** argv) {
    if (kivo::endedQuietly(argc))
        return 0;
    return kivo::runLoadedProgram(argc, argv);
}
#else
#include "app/start.h"
#include "app/window_library_loader.h"

int main(int argc, char** argv) {
    return kivo::kivoMain(argc, argv, kivo::openLoadedWindows, kivo::runLoadedSync,
                          kivo::notifyLoaded);
}
#endif
