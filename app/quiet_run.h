// The usual log-on run without Qt: no argument, nothing due, the settings as they are. Most runs
// are this one, and it needs neither Qt nor anything that Qt sets up.
#pragma once

namespace kivo {

// Makes the start's decision on the system services without Qt and, when the run opens no window
// and writes nothing, ends it. False, having written nothing, when the run needs anything more: an
// argument, a window, a message, a file or setting to write, or settings, folders or a clock
// that cannot be read here exactly as Qt reads them. The whole run then goes through kivoMain.
bool endedQuietly(int argc);

} // namespace kivo
