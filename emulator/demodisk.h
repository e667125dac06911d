// Sample content for a fresh disk: recordings, music and pictures.
#pragma once

#include <filesystem>
#include <string>

#include "emulator/pvroptions.h"

namespace pvrd {

// Fills an empty disk folder (one that holds nothing but empty system folders).
// A disk with content is left as it is, with *skipped set. The recordings are
// made by ffmpeg; without it this fails with a one-line *error.
bool FillDemoDisk(const std::filesystem::path& root, const PvrOptions& options, bool* skipped,
                  std::string* error);

}  // namespace pvrd
