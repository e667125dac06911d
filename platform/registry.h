// Current-user registry keys with string values, kept in the user's
// configuration folder (TAVRIX_CONFIG_DIR moves it).
#pragma once

#include <optional>
#include <string>

namespace platform {

// Keys are written as on Windows ("Software\\Tavrix"); values are strings.
bool RegKeyExists(const std::string& key);
bool RegCreateKey(const std::string& key);
std::optional<std::string> RegReadString(const std::string& key, const std::string& name);
bool RegWriteString(const std::string& key, const std::string& name, const std::string& value);
// The file that holds the registry (for diagnostics and tests).
std::string RegistryFilePath();

}  // namespace platform
