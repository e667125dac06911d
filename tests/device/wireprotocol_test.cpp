#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "device/wireprotocol.h"

namespace {

void SetVariable(const char* name, const std::optional<std::string>& value) {
    if (value) {
        ::setenv(name, value->c_str(), 1);
    } else {
        ::unsetenv(name);
    }
}

std::optional<std::string> Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

}  // namespace

// Both ends of the cable find each other through this one function.
TEST(WireProtocol, DefaultSocketPath) {
    const std::optional<std::string> savedSocket = Variable("TAVRIX_PVR_SOCKET");
    const std::optional<std::string> savedRuntime = Variable("XDG_RUNTIME_DIR");
    const std::string fallback = "/tmp/tavrix-pvr-" + std::to_string(::getuid()) + ".sock";
    struct Row {
        std::optional<std::string> socket;
        std::optional<std::string> runtime;
        std::string path;
    };
    const Row rows[] = {
        {"/srv/pvr.sock", "/run/user/7", "/srv/pvr.sock"},
        {"", "/run/user/7", "/run/user/7/tavrix-pvr.sock"},
        {std::nullopt, "", fallback},
        {std::nullopt, std::nullopt, fallback},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.path);
        SetVariable("TAVRIX_PVR_SOCKET", r.socket);
        SetVariable("XDG_RUNTIME_DIR", r.runtime);
        EXPECT_EQ(wire::DefaultSocketPath(), r.path);
    }
    SetVariable("TAVRIX_PVR_SOCKET", savedSocket);
    SetVariable("XDG_RUNTIME_DIR", savedRuntime);
}
