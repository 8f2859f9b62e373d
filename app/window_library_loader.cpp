// Loading the window library, which only a run that opens a window needs.
#include "app/window_library_loader.h"

#include "app/window_library.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <cstdio>

namespace kivo {

namespace {

// The folder of the running program: beside it lies the window library in the build tree, and
// from it the installed one is found.
QString programFolder(const char* argv0) {
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    if (self.exists())
        return self.canonicalPath();
    return QFileInfo(QString::fromLocal8Bit(argv0)).absolutePath();
}

// A library of the program's: beside it in the build tree, else in its installed place.
QString libraryPath(const char* argv0, const QString& name) {
    const QDir folder(programFolder(argv0));
    if (QFileInfo::exists(folder.filePath(name)))
        return folder.filePath(name);
    return QDir::cleanPath(folder.filePath(QStringLiteral(KIVO_LIBRARY_DIR "/") + name));
}

// An entry of a library of the program's, or null after saying on the standard error why `what`
// could not be loaded. The library stays loaded until the process ends: its code runs until then.
template <class Entry>
Entry libraryEntry(const char* argv0, const char* file, const char* name, const char* what) {
    QLibrary library(libraryPath(argv0, QString::fromLatin1(file)));
    const auto entry = reinterpret_cast<Entry>(library.resolve(name));
    if (!entry)
        std::fprintf(stderr, "kivo: the %s could not be loaded: %s\n", what,
                     library.errorString().toLocal8Bit().constData());
    return entry;
}

} // namespace

int openLoadedWindows(int& argc, char** argv, CKivoApp* app, StartPlatform& platform) {
    const auto entry = libraryEntry<WindowsLibraryEntry>(argv[0], KIVO_WINDOWS_LIBRARY,
                                                         kWindowsEntryName, "windows");
    return entry ? entry(&argc, argv, app, &platform) : 1;
}

int runLoadedSync(int& argc, char** argv, StartPlatform& platform) {
    const auto entry =
        libraryEntry<SyncLibraryEntry>(argv[0], KIVO_WINDOWS_LIBRARY, kSyncEntryName, "sync");
    return entry ? entry(&argc, argv, &platform) : 1;
}

NoticeOutcome notifyLoaded(int& argc, char** argv, const ReminderNotice& notice,
                           StartPlatform& platform) {
    const auto entry = libraryEntry<NotifyLibraryEntry>(argv[0], KIVO_NOTIFY_LIBRARY,
                                                        kNotifyEntryName, "notification");
    return entry ? entry(&argc, argv, &notice, &platform) : NoticeOutcome::NotShown;
}

} // namespace kivo
