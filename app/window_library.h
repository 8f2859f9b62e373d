// What the program and the libraries it loads agree on: the names and the types of their entries.
#pragma once

#include "engine/reminder_notice.h"

namespace kivo {

class CKivoApp;
struct StartPlatform;

inline constexpr const char* kWindowsEntryName = "kivoOpenWindows";
using WindowsLibraryEntry = int (*)(int* argc, char** argv, CKivoApp* app, StartPlatform* platform);
// The sync of the accounts ("kivo --sync"), which needs the library's network code.
inline constexpr const char* kSyncEntryName = "kivoSyncAccounts";
using SyncLibraryEntry = int (*)(int* argc, char** argv, StartPlatform* platform);
// The notification of the reminders, in a library of its own (kivo-notify), which needs Qt D-Bus
// and nothing of the windows.
inline constexpr const char* kNotifyEntryName = "kivoNotifyReminders";
using NotifyLibraryEntry = NoticeOutcome (*)(int* argc, char** argv, const ReminderNotice* notice,
                                             StartPlatform* platform);

} // namespace kivo
