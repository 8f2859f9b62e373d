// Loads the window library when a run opens a window, or the notification library when it
// notifies, and hands the run to it.
#pragma once

#include "app/start.h"

namespace kivo {

// The WindowsEntry of the program: loads the window library from beside the program (or from its
// installed place) and calls its entry. A library that cannot be loaded is reported, status 1.
int openLoadedWindows(int& argc, char** argv, CKivoApp* app, StartPlatform& platform);
// The SyncEntry of the program: the same library's sync of the accounts.
int runLoadedSync(int& argc, char** argv, StartPlatform& platform);
// The NotifyEntry of the program: the notification library's. A library that cannot be loaded is
// reported, and the reminder window shows the reminders instead.
NoticeOutcome notifyLoaded(int& argc, char** argv, const ReminderNotice& notice,
                           StartPlatform& platform);

} // namespace kivo
