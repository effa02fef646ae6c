#pragma once

// "lvltool info": a level as the engine reads it, with the checks a level must pass to load.

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace lvltool {

// Prints the level info record, the mission code and text, every record of the four tables
// with its paths made full as the engine makes them, and the triggers of the event file.
// Every fault found (a file that is missing or refused, a path that does not fit its field
// or that the engine cannot make full, a count the file size does not match, an index out of
// range, a trigger filed in another quadrant than its position's) is added to problems.
// False when the level info file itself cannot be read; the report stops there.
bool DescribeLevel(const std::filesystem::path& infoFile, std::ostream& out,
                   std::vector<std::string>& problems);

} // namespace lvltool
