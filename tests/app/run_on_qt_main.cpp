// The run on Qt alone, as the kivo program runs it whenever its quiet run without Qt gives way, for
// the test that compares the two.
#include "app/run_library.h"

#include <cstdio>
#include <dlfcn.h>

int main(int argc, char** argv) {
    void* library = ::dlopen(KIVO_RUN_LIBRARY_PATH, RTLD_LAZY | RTLD_LOCAL);
    const auto entry =
        library ? reinterpret_cast<kivo::RunLibraryEntry>(::dlsym(library, kivo::kRunEntryName))
                : nullptr;
    if (!entry) {
        std::fprintf(stderr, "%s\n", ::dlerror());
        return 2;
    }
    return entry(argc, argv);
}
