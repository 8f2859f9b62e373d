// The entry of the notification library, which the program loads only when a run's reminders go
// to a desktop notification.
#include "app/notify_run.h"
#include "app/window_library.h"

#include <type_traits>

extern "C" Q_DECL_EXPORT kivo::NoticeOutcome kivoNotifyReminders(int* argc, char** argv,
                                                                 const kivo::ReminderNotice* notice,
                                                                 kivo::StartPlatform* platform) {
    return kivo::notifyReminders(*argc, argv, *notice, *platform);
}

// The program calls the entry as this type.
static_assert(std::is_same_v<decltype(&kivoNotifyReminders), kivo::NotifyLibraryEntry>);
