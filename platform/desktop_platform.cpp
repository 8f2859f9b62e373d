// The desktop's services on Qt Widgets: shell, message boxes, screen resolution.
#include "platform/desktop_platform.h"

#include "platform/dialog_builder.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QTranslator>
#include <QUrl>
#include <memory>

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

namespace {

// A message box belongs to the window the user is working in: it opens centred over it, with its
// icon, and in the dialogs' font.
void showMessage(QMessageBox::Icon icon, const std::string& text) {
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner)
        owner = QApplication::activeWindow();
    QMessageBox box(icon, QStringLiteral("Velmik Fennaro"), toQt(text), QMessageBox::Ok, owner);
    box.setFont(dialogFont());
    if (owner)
        box.setWindowIcon(owner->window()->windowIcon());
    box.exec();
}

} // namespace

void DesktopMessageBoxes::information(const std::string& text) {
    showMessage(QMessageBox::Information, text);
}

void DesktopMessageBoxes::warning(const std::string& text) {
    showMessage(QMessageBox::Warning, text);
}

void DesktopMessageBoxes::error(const std::string& text) {
    showMessage(QMessageBox::Critical, text);
}

bool DesktopMessageBoxes::question(const std::string& text) {
    return QMessageBox::question(nullptr, QStringLiteral("Velmik Fennaro"), toQt(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

int primaryScreenDpi() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? qRound(screen->logicalDotsPerInchX()) : 96;
}

bool installQtTranslations(const std::vector<std::string>& languages) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const std::string& language : languages) {
        // The catalogue of the base modules first; "qt_" is the older one that some languages
        // (Swedish) still have alone. The loader tries "de" itself after "de_DE".
        for (const char* catalogue : {"qtbase_", "qt_"}) {
            auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
            if (translator->load(QLatin1String(catalogue) + QString::fromStdString(language),
                                 folder)) {
                QCoreApplication::installTranslator(translator.release());
                return true;
            }
        }
    }
    return false;
}

} // namespace kivo
