#include "device/wireprotocol.h"

#include <unistd.h>

#include <cstdlib>

namespace wire {

std::string DefaultSocketPath() {
    if (const char* path = std::getenv("TAVRIX_PVR_SOCKET"); path != nullptr && *path != '\0') {
        return path;
    }
    if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir != nullptr && *dir != '\0') {
        return std::string(dir) + "/tavrix-pvr.sock";
    }
    return "/tmp/tavrix-pvr-" + std::to_string(::getuid()) + ".sock";
}

}  // namespace wire
