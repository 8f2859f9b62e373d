// kivo's entry point: make the application, run the day's reminders, and end.
#include "app/kivo_app.h"
#include "platform/desktop_platform.h"
#include "resources/icons.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Without a display Qt would abort with a message about platform plugins; say what to do instead.
bool displayAvailable() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
#else
    return true;
#endif
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

} // namespace

int main(int argc, char** argv) {
    if (!displayAvailable()) {
        std::fprintf(
            stderr,
            "kivo: no display found (DISPLAY and WAYLAND_DISPLAY are not set); run it in a "
            "desktop session, or under Xvfb: apt-get install xvfb && xvfb-run -a %s\n",
            argv[0]);
        return 1;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kivo"));
    QApplication::setOrganizationName(QStringLiteral("Velmik"));
    kivo::initResources();
    kivo::DesktopPlatform desktop;
    kivo::CKivoApp kivoApp(desktop.platform());
    kivoApp.InitInstance(commandLineOf(argc, argv));
    return 0;
}
