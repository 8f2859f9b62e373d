// The entry of the window library, which the program loads only when a window opens.
#include "app/sync_run.h"
#include "app/window_library.h"
#include "app/window_run.h"

#include <type_traits>

extern "C" Q_DECL_EXPORT int kivoOpenWindows(int* argc, char** argv, kivo::CKivoApp* app,
                                             kivo::StartPlatform* platform) {
    return kivo::openWindows(*argc, argv, app, *platform);
}

extern "C" Q_DECL_EXPORT int kivoSyncAccounts(int* argc, char** argv,
                                              kivo::StartPlatform* platform) {
    return kivo::syncAccounts(*argc, argv, *platform);
}

// The program calls the entries as these types.
static_assert(std::is_same_v<decltype(&kivoOpenWindows), kivo::WindowsLibraryEntry>);
static_assert(std::is_same_v<decltype(&kivoSyncAccounts), kivo::SyncLibraryEntry>);
