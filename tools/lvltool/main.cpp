// lvltool: compiles level descriptions into level files and inspects level files.

#include "command_line.h"
#include "engine_messages.h"
#include "level_build.h"
#include "level_info.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using vmmtool::Arguments;
using vmmtool::kFailure;

const char kUsage[] =
    "usage:\n"
    "  lvltool build LEVEL.txt OUT_DIR\n"
    "      Compiles a level description into OUT_DIR: the level info file, the model, music,\n"
    "      sound and texture tables and the event file, named after LEVEL, with every file\n"
    "      they name copied (OBJ models converted) next to them.\n"
    "  lvltool info LEVEL.vlf\n"
    "      Prints the level as the engine reads it and checks every file and field; the exit\n"
    "      status is 1 when something is wrong.\n"
    "  lvltool --help\n";

int UsageError(const std::string& message) {
    return vmmtool::UsageError("lvltool", kUsage, message);
}

int Build(const Arguments& arguments) {
    if (arguments.size() != 2) {
        return UsageError("build takes a level description and an output directory");
    }
    lvltool::BuildSummary summary;
    lvltool::Diagnostic error;
    bool built = lvltool::BuildLevelFile(std::string(arguments[0]), std::string(arguments[1]),
                                         summary, error);
    for (const std::string& warning : summary.warnings) {
        std::fprintf(stderr, "lvltool: warning: %s\n", warning.c_str());
    }
    if (!built) {
        std::fprintf(stderr, "lvltool: %s\n", error.Text().c_str());
        return kFailure;
    }
    std::printf("%s\n", summary.infoFile.string().c_str());
    return 0;
}

int Info(const Arguments& arguments) {
    if (arguments.size() != 1) {
        return UsageError("info takes one level info file");
    }
    std::vector<std::string> problems;
    lvltool::DescribeLevel(std::string(arguments[0]), std::cout, problems);
    std::cout.flush();
    for (const std::string& problem : problems) {
        std::fprintf(stderr, "lvltool: %s\n", problem.c_str());
    }
    return problems.empty() ? 0 : kFailure;
}

} // namespace

int main(int argc, char** argv) {
    vmmtool::SilenceEngineOutput();
    return vmmtool::RunCommand(argc, argv, "lvltool", kUsage, {{"build", &Build}, {"info", &Info}});
}
