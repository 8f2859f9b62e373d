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

} // namespace

int openLoadedWindows(int& argc, char** argv, CKivoApp* app, StartPlatform& platform) {
    // Kept loaded until the process ends: the windows' code runs until then.
    QLibrary library(windowsLibraryPath(argv[0]));
    const auto entry = reinterpret_cast<WindowsLibraryEntry>(library.resolve(kWindowsEntryName));
    if (!entry) {
        std::fprintf(stderr, "kivo: the windows could not be loaded: %s\n",
                     library.errorString().toLocal8Bit().constData());
        return 1;
    }
    return entry(&argc, argv, app, &platform);
}

int runLoadedSync(int& argc, char** argv, StartPlatform& platform) {
    QLibrary library(windowsLibraryPath(argv[0]));
    const auto entry = reinterpret_cast<SyncLibraryEntry>(library.resolve(kSyncEntryName));
    if (!entry) {
        std::fprintf(stderr, "kivo: the sync could not be loaded: %s\n",
                     library.errorString().toLocal8Bit().constData());
        return 1;
    }
    return entry(&argc, argv, &platform);
}

} // namespace kivo
