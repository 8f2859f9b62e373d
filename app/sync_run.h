// "kivo --sync": the address book accounts synced without a window, as the daily timer runs it.
// Built into the window library with the network code, which no other run loads.
#pragma once

#include "app/start.h"

namespace kivo {

// Syncs every account into its contacts file in the data folder, the passwords from the desktop's
// keyring, and says one line for each account on the standard error. Status 0 when every account
// synced.
int syncAccounts(int& argc, char** argv, StartPlatform& platform);

} // namespace kivo
