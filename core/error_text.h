// The reason a failed system call gives, in the words the messages about files show.
#pragma once

#include <cerrno>
#include <cstring>
#include <string>

namespace kivo {

// The text of the last error, never empty even when the library set no errno.
inline std::string errnoText(int error) {
    return std::strerror(error != 0 ? error : EIO);
}

} // namespace kivo
