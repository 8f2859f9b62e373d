// The run's reminders as a desktop notification, and the wait for what the user does with it.
// Built into a library of its own with Qt D-Bus, which only a run that notifies loads.
#pragma once

#include "app/start.h"

namespace kivo {

// The NotifyEntry of the program (see start.h): on Qt Core alone, so that a click can still lead
// to the windows' application afterwards. While it waits it holds the run's single-instance lock
// and uses no processor time.
NoticeOutcome notifyReminders(int& argc, char** argv, const ReminderNotice& notice,
                              StartPlatform& platform);

} // namespace kivo
