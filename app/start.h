// The start of the program: whether the run opens any window is decided before anything of the
// GUI is loaded, so that the usual log-on run ends without a display and without the GUI libraries.
#pragma once

#include "app/kivo_app.h"
#include "platform/system_services.h"

#include <string>
#include <utility>
#include <vector>

namespace kivo {

// The desktop's shell, once the window library has joined it; until then nothing is opened.
class LateShell : public Shell {
public:
    Shell* desktop = nullptr;
    void open(const std::string& target) override;
    void run(const std::string& program, const std::string& parameters) override;
};

// The desktop's message boxes, once the window library has joined them. What is said before is
// kept, and shown when they are joined.
class LateMessageBoxes : public MessageBoxes {
public:
    void information(const std::string& text) override;
    void warning(const std::string& text) override;
    void error(const std::string& text) override;
    // A question needs an answer now: before the desktop is joined nobody can give one, and the
    // answer is No.
    bool question(const std::string& text) override;
    // Joins the desktop's message boxes (or parts from them, with nullptr) and shows on them what
    // was said before.
    void join(MessageBoxes* desktop);

private:
    enum class Kind { Information, Warning, Error };
    void say(Kind kind, const std::string& text);

    MessageBoxes* desktop_ = nullptr;
    std::vector<std::pair<Kind, std::string>> pending_;
};

// The platform of a run as it starts: the system services on Qt Core. The window library joins
// the desktop's shell, message boxes and screen resolution once the application exists.
struct StartPlatform {
    SystemClock clock;
    SystemFolders folders;
    SystemLocale locale;
    QtSettingsStore store;
    LateShell shell;
    LateMessageBoxes messages;
    Platform platform{clock, folders, locale, store, shell, messages, 96};
    // Readable whenever a later start asks for the window to come to the front; -1 for never.
    int raiseRequests = -1;
};

// Opens the windows of a run that start() decided on: makes the application on the arguments (Qt
// takes out the options it knows), joins the desktop to `platform`, shows the messages said so far
// and runs the windows of `app` (none when it is null). Returns the exit status.
using WindowsEntry = int (*)(int& argc, char** argv, CKivoApp* app, StartPlatform& platform);

// What a run that must show a window says when there is no display: how to get one, with the
// install command a user other than root runs through sudo.
std::string noDisplayMessage(const std::string& program, bool root);

// The command line as given: the arguments after the program's name, joined by blanks.
std::string commandLineOf(int argc, char** argv);

// The sync of the address book accounts that "kivo --sync" runs (the daily timer does, before the
// day's reminders): no window, no display needed. Returns the exit status.
using SyncEntry = int (*)(int& argc, char** argv, StartPlatform& platform);
inline constexpr const char* kSyncArgument = "--sync";

// Shows the reminders of a run as a desktop notification and waits until it ends, the user acts
// on it, or a later start asks for the window (on `platform.raiseRequests`), which is then the
// setup window. Says what became of it; NotShown when no notification service took it.
using NotifyEntry = NoticeOutcome (*)(int& argc, char** argv, const ReminderNotice& notice,
                                      StartPlatform& platform);

// The whole program: the start and its decision, then the end without a window, or the windows
// through `openWindows`, when the run's reminders go to a notification first through `notify`
// (without it, the window shows them); with "--sync" alone, the sync through `runSync`. Returns
// the exit status.
int kivoMain(int argc, char** argv, WindowsEntry openWindows, SyncEntry runSync = nullptr,
             NotifyEntry notify = nullptr);

} // namespace kivo
