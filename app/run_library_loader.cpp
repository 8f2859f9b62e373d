// Loading the run library with the C library alone: the program itself links no Qt.
#include "app/run_library_loader.h"

#include "app/run_library.h"

#include <climits>
#include <cstdio>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

namespace kivo {

namespace {

// The folder of the running program, as the window library's loader finds it too.
std::string programFolder(const char* argv0) {
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path = length > 0 ? std::string(self, static_cast<std::size_t>(length)) : argv0;
    if (path.empty() || path.front() != '/') {
        char working[PATH_MAX];
        if (::getcwd(working, sizeof working))
            path = std::string(working) + "/" + path;
    }
    return path.substr(0, path.rfind('/') + 1);
}

std::string runLibraryPath(const char* argv0) {
    const std::string folder = programFolder(argv0);
    const std::string beside = folder + KIVO_RUN_LIBRARY;
    if (::access(beside.c_str(), F_OK) == 0)
        return beside;
    return folder + KIVO_RUN_LIBRARY_DIR "/" KIVO_RUN_LIBRARY;
}

} // namespace

int runLoadedProgram(int argc, char** argv) {
    // Loaded for good: its code runs until the process ends. Its symbols stay its own, so that
    // the copies of kivo's code in the program and in the library never mix.
    void* library = ::dlopen(runLibraryPath(argv[0]).c_str(), RTLD_LAZY | RTLD_LOCAL);
    const auto entry =
        library ? reinterpret_cast<RunLibraryEntry>(::dlsym(library, kRunEntryName)) : nullptr;
    if (!entry) {
        std::fprintf(stderr, "kivo: the program could not be loaded: %s\n", ::dlerror());
        return 1;
    }
    return entry(argc, argv);
}

} // namespace kivo
