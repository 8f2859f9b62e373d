// The system services on Qt Core: clock, XDG/AppData folders, QLocale and QSettings.
#include "platform/system_services.h"

#include "core/text_encoding.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

namespace kivo {

QString toQt(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

QString toQtShown(const std::string& text) {
    return toQt(shownText(text));
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
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return withSeparator(QDir(base).filePath(QStringLiteral("Velmik Fennaro")));
}

void SystemFolders::makeFolder(const std::string& folder) const {
    QDir().mkpath(toQt(folder));
}

std::vector<std::string> SystemFolders::translationFolders() const {
    // The program's own folder, as the window library is found from it.
    QString program;
    if (const QFileInfo self(QStringLiteral("/proc/self/exe")); self.exists())
        program = self.canonicalPath();
    else if (QCoreApplication::instance())
        program = QCoreApplication::applicationDirPath();
    if (program.isEmpty())
        return {};
    const QDir folder(program);
    return {withSeparator(folder.filePath(QStringLiteral("translations"))),
            withSeparator(
                QDir::cleanPath(folder.filePath(QStringLiteral(KIVO_INSTALLED_TRANSLATIONS))))};
}

std::string SystemLocale::shortDatePattern() const {
    return fromQt(QLocale::system().dateFormat(QLocale::ShortFormat));
}

std::string SystemLocale::dayName(int dayOfWeek) const {
    // Qt counts Monday = 1 .. Sunday = 7.
    const int qtDay = dayOfWeek == 0 ? 7 : dayOfWeek;
    return fromQt(QLocale::system().dayName(qtDay, QLocale::LongFormat));
}

std::string SystemLocale::abbreviatedDayName(int dayOfWeek) const {
    const int qtDay = dayOfWeek == 0 ? 7 : dayOfWeek;
    return fromQt(QLocale::system().dayName(qtDay, QLocale::ShortFormat));
}

std::string SystemLocale::monthName(int month) const {
    return fromQt(QLocale::system().monthName(month, QLocale::LongFormat));
}

std::string SystemLocale::messagesLocale() const {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // An empty variable counts as unset, as the C library counts it.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const QByteArray value = qgetenv(name); !value.isEmpty())
            return value.toStdString();
    return {};
#else
    return fromQt(QLocale::system().name());
#endif
}

namespace {
// Whether the settings files of this user are regular files or absent. QSettings reads them as
// soon as it is made, and a pipe in their place would block the start for ever. Their folder is
// learnt from a settings object of a name nobody uses, which has nothing to read.
bool settingsFilesReadable() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const QSettings probe(QSettings::NativeFormat, QSettings::UserScope,
                          QStringLiteral("kivo-settings-probe"), QStringLiteral("probe"));
    // The probe's file lies in a folder of its own name below the folder of all settings.
    const QDir configFolder(QFileInfo(QFileInfo(probe.fileName()).absolutePath()).absolutePath());
    for (const QString& name :
         {QStringLiteral("Velmik/kivo.conf"), QStringLiteral("Velmik.conf")}) {
        const QFileInfo file(configFolder.filePath(name));
        if (file.exists() && !file.isFile())
            return false;
    }
#endif
    return true;
}
} // namespace

QtSettingsStore::QtSettingsStore() {
    // Without readable files the defaults apply and nothing is written, as without a registry.
    if (settingsFilesReadable())
        settings_ = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                QStringLiteral("Velmik"), QStringLiteral("kivo"));
}

QtSettingsStore::~QtSettingsStore() = default;

bool QtSettingsStore::keyExists() const {
    return settings_ && !settings_->allKeys().isEmpty();
}

std::optional<std::string> QtSettingsStore::readValue(const std::string& name) const {
    const QString key = toQt(name);
    if (!settings_ || !settings_->contains(key))
        return std::nullopt;
    return fromQt(settings_->value(key).toString());
}

bool QtSettingsStore::createKey() {
    return settings_ && settings_->isWritable();
}

bool QtSettingsStore::writeValue(const std::string& name, const std::string& text) {
    if (!settings_)
        return false;
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
    if (!settings_)
        return false;
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

} // namespace kivo
