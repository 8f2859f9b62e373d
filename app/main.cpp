// kivo's entry point: run the day's reminders, loading the windows only when one opens and the
// notification only when one is sent.
#include "app/start.h"
#include "app/window_library_loader.h"

int main(int argc, char** argv) {
    return kivo::kivoMain(argc, argv, kivo::openLoadedWindows, kivo::runLoadedSync,
                          kivo::notifyLoaded);
}
