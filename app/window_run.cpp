// The windows' half of the program: the application of the GUI and the windows of a run.
#include "app/window_run.h"

#include "app/single_instance.h"
#include "platform/desktop_platform.h"
#include "resources/icons.h"

#include <QWidget>

namespace kivo {

std::unique_ptr<QApplication> makeApplication(int& argc, char** argv) {
    auto application = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kivo"));
    QApplication::setOrganizationName(QStringLiteral("Velmik"));
    // The desktop ties our windows to the menu entry by this name (on Wayland it is the only way),
    // and a message box shown before any window exists still carries the balloons.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.velmik.kivo"));
    initResources();
    QApplication::setWindowIcon(applicationIcon());
    return application;
}

int showWindows(CKivoApp* app, StartPlatform& platform) {
    DesktopShell shell;
    DesktopMessageBoxes messages;
    platform.shell.desktop = &shell;
    platform.platform.screenDpi = primaryScreenDpi();
    const RaiseOnRequest raising(platform.raiseRequests);
    platform.messages.join(&messages);
    if (app)
        app->runWindows();
    platform.messages.join(nullptr);
    platform.shell.desktop = nullptr;
    return 0;
}

int openWindows(int& argc, char** argv, CKivoApp* app, StartPlatform& platform) {
    const std::unique_ptr<QApplication> application = makeApplication(argc, argv);
    // Only here, where a window opens: the run that shows nothing loads no translation.
    installQtTranslations(languagesOfLocale(platform.locale.messagesLocale()));
    return showWindows(app, platform);
}

RaiseOnRequest::RaiseOnRequest(int requests) {
    if (requests < 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(requests, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [requests] {
        takeRaiseRequests(requests);
        // Every window of the run is modal, and only one is open at a time.
        if (QWidget* window = QApplication::activeModalWidget()) {
            if (window->isMinimized())
                window->showNormal();
            window->raise();
            window->activateWindow();
        }
    });
}

} // namespace kivo
