// What the program and its window library agree on: the name and the type of the library's entry.
#pragma once

namespace kivo {

class CKivoApp;
struct StartPlatform;

inline constexpr const char* kWindowsEntryName = "kivoOpenWindows";
using WindowsLibraryEntry = int (*)(int* argc, char** argv, CKivoApp* app, StartPlatform* platform);
// The sync of the accounts ("kivo --sync"), which needs the library's network code.
inline constexpr const char* kSyncEntryName = "kivoSyncAccounts";
using SyncLibraryEntry = int (*)(int* argc, char** argv, StartPlatform* platform);

} // namespace kivo
