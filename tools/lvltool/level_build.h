#pragma once

// "lvltool build": a level description compiled into a self-contained directory: the level
// info file, the four element tables, the event file, and every file they name, copied or
// converted next to them and named relative to the level info file.

#include "level_description.h"

#include <filesystem>
#include <string>
#include <vector>

namespace lvltool {

struct BuildSummary {
    std::filesystem::path infoFile;
    std::vector<std::string> warnings;
};

// Writes the level into outDir (created when missing), its files named after levelName.
// False with error; files written before the failure stay.
bool BuildLevel(const LevelDescription& level, const std::string& levelName,
                const std::filesystem::path& outDir, BuildSummary& summary, Diagnostic& error);

// Reads the description file and builds the level named after it.
bool BuildLevelFile(const std::filesystem::path& description, const std::filesystem::path& outDir,
                    BuildSummary& summary, Diagnostic& error);

} // namespace lvltool
