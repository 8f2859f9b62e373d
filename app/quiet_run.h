// The usual log-on run without Qt: no argument, nothing due, the settings as they are but for the
// day of the last run. Most runs are this one, and it needs neither Qt nor anything Qt sets up.
#pragma once

namespace kivo {

// Makes the start's decision on the system services without Qt and, when the run opens no window
// and writes nothing but settings already in the user's file (the day of the last run), ends it,
// writing those as QSettings would. False, having written nothing, when the run needs anything
// more: an argument, a window, a message, a file or another setting to write, or settings,
// folders or a clock that cannot be read here exactly as Qt reads them. The whole run then goes
// through kivoMain.
bool endedQuietly(int argc);

} // namespace kivo
