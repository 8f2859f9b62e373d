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

QString windowsLibraryPath(const char* argv0) {
    const QDir folder(programFolder(argv0));
    const QString name = QStringLiteral(KIVO_WINDOWS_LIBRARY);
    if (QFileInfo::exists(folder.filePath(name)))
        return folder.filePath(name);
    return QDir::cleanPath(folder.filePath(QStringLiteral(KIVO_WINDOWS_LIBRARY_DIR "/") + name));
}

// An entry of the window library, or null after saying on the standard error why `what` could not
// be loaded. The library stays loaded until the process ends: its code runs until then.
template <class Entry> Entry libraryEntry(const char* argv0, const char* name, const char* what) {
    QLibrary library(windowsLibraryPath(argv0));
    const auto entry = reinterpret_cast<Entry>(library.resolve(name));
    if (!entry)
        std::fprintf(stderr, "kivo: the %s could not be loaded: %s\n", what,
                     library.errorString().toLocal8Bit().constData());
    return entry;
}

} // namespace

int openLoadedWindows(int& argc, char** argv, CKivoApp* app, StartPlatform& platform) {
    const auto entry = libraryEntry<WindowsLibraryEntry>(argv[0], kWindowsEntryName, "windows");
    return entry ? entry(&argc, argv, app, &platform) : 1;
}

int runLoadedSync(int& argc, char** argv, StartPlatform& platform) {
    const auto entry = libraryEntry<SyncLibraryEntry>(argv[0], kSyncEntryName, "sync");
    return entry ? entry(&argc, argv, &platform) : 1;
}

} // namespace kivo
