// The start of the program, on Qt Core alone: the run's decision, then the quiet end or the
// windows.
#include "app/start.h"

#include "app/single_instance.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace kivo {

namespace {

void printNoDisplay(const char* program) {
#if defined(Q_OS_UNIX)
    const bool root = geteuid() == 0;
#else
    const bool root = false;
#endif
    std::fputs(noDisplayMessage(program, root).c_str(), stderr);
}

// Without a display Qt would abort with a message about platform plugins; say what to do instead.
// A platform named on the command line ("-platform offscreen") is a display as good as any.
bool displayAvailable(int argc, char** argv) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
#else
    (void)argc;
    (void)argv;
    return true;
#endif
}

} // namespace

void LateShell::open(const std::string& target) {
    if (desktop)
        desktop->open(target);
}

void LateShell::run(const std::string& program, const std::string& parameters) {
    if (desktop)
        desktop->run(program, parameters);
}

void LateMessageBoxes::information(const std::string& text) {
    say(Kind::Information, text);
}

void LateMessageBoxes::warning(const std::string& text) {
    say(Kind::Warning, text);
}

void LateMessageBoxes::error(const std::string& text) {
    say(Kind::Error, text);
}

bool LateMessageBoxes::question(const std::string& text) {
    return desktop_ && desktop_->question(text);
}

void LateMessageBoxes::say(Kind kind, const std::string& text) {
    if (!desktop_) {
        pending_.emplace_back(kind, text);
        return;
    }
    switch (kind) {
    case Kind::Information:
        desktop_->information(text);
        break;
    case Kind::Warning:
        desktop_->warning(text);
        break;
    case Kind::Error:
        desktop_->error(text);
        break;
    }
}

void LateMessageBoxes::join(MessageBoxes* desktop) {
    desktop_ = desktop;
    if (!desktop_)
        return;
    auto pending = std::move(pending_);
    pending_.clear();
    for (const auto& [kind, text] : pending)
        say(kind, text);
}

std::string noDisplayMessage(const std::string& program, bool root) {
    return "kivo: no display found (DISPLAY and WAYLAND_DISPLAY are not set); run it in a desktop "
           "session, or under Xvfb: " +
           std::string(root ? "" : "sudo ") + "apt-get install xvfb && xvfb-run -a " + program +
           "\n";
}

std::string commandLineOf(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            line += ' ';
        line += argv[i];
    }
    return line;
}

int kivoMain(int argc, char** argv, WindowsEntry openWindows, SyncEntry runSync,
             NotifyEntry notify) {
    // Taken before the application of the GUI exists, which takes the options it knows ("-style
    // Fusion") out of the arguments: any argument at all opens the setup window.
    const std::string commandLine = commandLineOf(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Velmik"));
    QCoreApplication::setApplicationName(QStringLiteral("kivo"));

    StartPlatform platform;
    // The sync writes only the accounts' own files, each at once, so it runs beside any other
    // kivo and takes no part in the one-window rule.
    if (runSync && commandLine == kSyncArgument)
        return runSync(argc, argv, platform);
    // Before the lock is taken, so that no later start can ask before this one listens.
    platform.raiseRequests = listenForRaiseRequests();
    SingleInstance instance;
    if (!instance.acquire()) {
        // Another kivo runs. The daily run (the log-on's or the timer's) is its business alone; a
        // start with an argument (the menu's) brings that kivo's window to the front, or ends its
        // wait on a notification with the setup window, unless it is a run without a window that
        // ends in a moment and then gives way to this one.
        if (commandLine.empty() || commandLine == kTimerArgument)
            return 0;
        const bool asked = instance.askHolderToRaise();
        if (!instance.acquire(std::chrono::seconds(1))) {
            if (asked)
                return 0;
            platform.messages.information("kivo is already open.");
            if (!displayAvailable(argc, argv)) {
                printNoDisplay(argv[0]);
                return 1;
            }
            return openWindows(argc, argv, nullptr, platform);
        }
    }

    CKivoApp app(platform.platform);
    const StartDecision decision = app.start(commandLine);
    if (!decision.opensWindow()) {
        app.endWithoutWindows();
        return 0;
    }
    // The reminder window is what a click on the notification, or its absence, leads to.
    if (!displayAvailable(argc, argv)) {
        printNoDisplay(argv[0]);
        return 1;
    }
    if (decision.byNotice && notify) {
        const NoticeOutcome outcome = notify(argc, argv, app.reminderNotice(), platform);
        app.noticeAnswered(outcome);
        if (outcome == NoticeOutcome::Ended) {
            app.endWithoutWindows();
            return 0;
        }
    }
    return openWindows(argc, argv, &app, platform);
}

} // namespace kivo
