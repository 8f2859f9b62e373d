// The real platform services on Qt.
#include "platform/desktop_platform.h"

#include <QDate>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>

namespace kivo {

QString toQt(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string fromQt(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

namespace {
std::string withSeparator(const QString& folder) {
    return fromQt(QDir::toNativeSeparators(folder) + QDir::separator());
}
} // namespace

QDate toQDate(Date date) {
    if (!date.ok())
        return QDate();
    return QDate(yearOf(date), monthOf(date), dayOf(date));
}

Date fromQDate(const QDate& date) {
    if (!date.isValid())
        return Date{};
    return Date{std::chrono::year{date.year()},
                std::chrono::month{static_cast<unsigned>(date.month())},
                std::chrono::day{static_cast<unsigned>(date.day())}};
}

Date SystemClock::currentDate() const {
    return fromQDate(QDate::currentDate());
}

std::int64_t SystemClock::currentTime() const {
    return QDateTime::currentSecsSinceEpoch();
}

std::string SystemFolders::workingFolder() const {
    return withSeparator(QDir::currentPath());
}

std::string SystemFolders::userDataFolder() const {
#ifdef Q_OS_WIN
    QString base = qEnvironmentVariable("APPDATA");
    if (base.isEmpty())
        base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#else
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#endif
    return withSeparator(QDir(base).filePath(QStringLiteral("Velmik Fennaro")));
}

void SystemFolders::makeFolder(const std::string& folder) const {
    QDir().mkpath(toQt(folder));
}

std::string SystemLocale::shortDatePattern() const {
    return fromQt(QLocale::system().dateFormat(QLocale::ShortFormat));
}

std::string SystemLocale::dayName(int dayOfWeek) const {
    // Qt counts Monday = 1 .. Sunday = 7.
    const int qtDay = dayOfWeek == 0 ? 7 : dayOfWeek;
    return fromQt(QLocale::system().dayName(qtDay, QLocale::LongFormat));
}

std::string SystemLocale::monthName(int month) const {
    return fromQt(QLocale::system().monthName(month, QLocale::LongFormat));
}

QtSettingsStore::QtSettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            QStringLiteral("Velmik"), QStringLiteral("kivo"))) {}

QtSettingsStore::~QtSettingsStore() = default;

bool QtSettingsStore::keyExists() const {
    return !settings_->allKeys().isEmpty();
}

std::optional<std::string> QtSettingsStore::readValue(const std::string& name) const {
    const QString key = toQt(name);
    if (!settings_->contains(key))
        return std::nullopt;
    return fromQt(settings_->value(key).toString());
}

bool QtSettingsStore::createKey() {
    return settings_->isWritable();
}

bool QtSettingsStore::writeValue(const std::string& name, const std::string& text) {
    const QString key = toQt(name);
    const QString value = toQt(text);
    // A value stored as this very text is left alone, so that a run that changes nothing (a
    // second start on the same day) does not rewrite the file at all.
    const QVariant stored = settings_->value(key);
    if (stored.typeId() == QMetaType::QString && stored.toString() == value)
        return true;
    // Kept in memory until flush(): the file is rewritten once for all nine values, not once each.
    settings_->setValue(key, value);
    return settings_->status() == QSettings::NoError;
}

bool QtSettingsStore::flush() {
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

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

DesktopPlatform::DesktopPlatform()
    : platform_{clock_, folders_, locale_, store_, shell_, messages_, primaryScreenDpi()} {}

} // namespace kivo
