// The desktop's services on Qt Widgets: shell, message boxes, screen resolution.
#include "platform/desktop_platform.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QUrl>

namespace kivo {

void DesktopShell::open(const std::string& target) {
    const QString text = toQt(target);
    const QUrl url(text, QUrl::TolerantMode);
    // An address with a scheme ("mailto:", "https:") goes to the desktop's handler; a plain path
    // is a program to start or a document to open.
    if (url.isValid() && url.scheme().size() > 1) {
        QDesktopServices::openUrl(url);
        return;
    }
    const QFileInfo info(text);
    if (info.isFile() && info.isExecutable())
        QProcess::startDetached(text, {});
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(text));
}

void DesktopShell::run(const std::string& program, const std::string& parameters) {
    QProcess::startDetached(toQt(program), QProcess::splitCommand(toQt(parameters)));
}

void DesktopMessageBoxes::information(const std::string& text) {
    QMessageBox::information(nullptr, QStringLiteral("Velmik Fennaro"), toQt(text));
}

void DesktopMessageBoxes::warning(const std::string& text) {
    QMessageBox::warning(nullptr, QStringLiteral("Velmik Fennaro"), toQt(text));
}

void DesktopMessageBoxes::error(const std::string& text) {
    QMessageBox::critical(nullptr, QStringLiteral("Velmik Fennaro"), toQt(text));
}

bool DesktopMessageBoxes::question(const std::string& text) {
    return QMessageBox::question(nullptr, QStringLiteral("Velmik Fennaro"), toQt(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

int primaryScreenDpi() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? qRound(screen->logicalDotsPerInchX()) : 96;
}

} // namespace kivo
