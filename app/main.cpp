// kivo's entry point: run the day's reminders, loading the windows only when one opens.
#include "app/start.h"
#include "app/windows_loader.h"

int main(int argc, char** argv) {
    return kivo::kivoMain(argc, argv, kivo::openLoadedWindows);
}
