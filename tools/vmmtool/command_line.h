#pragma once

// The command line every tool shares: "TOOL COMMAND ARGUMENTS...", "--help", exit status 2 for
// a wrong command line.

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace vmmtool {

constexpr int kFailure = 1;
constexpr int kUsageError = 2;

using Arguments = std::vector<std::string_view>;

struct Command {
    std::string_view name;
    int (*run)(const Arguments& arguments);
};

inline int UsageError(const char* tool, const char* usage, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n%s", tool, message.c_str(), usage);
    return kUsageError;
}

// Runs the command argv names with the arguments after it.
inline int RunCommand(int argc, char** argv, const char* tool, const char* usage,
                      std::initializer_list<Command> commands) {
    Arguments arguments(argv + 1, argv + argc);
    if (arguments.empty()) {
        return UsageError(tool, usage, "no command");
    }
    std::string_view name = arguments[0];
    arguments.erase(arguments.begin());
    if (name == "--help" || name == "-h" || name == "help") {
        std::printf("%s", usage);
        return 0;
    }
    for (const Command& command : commands) {
        if (command.name == name) {
            return command.run(arguments);
        }
    }
    return UsageError(tool, usage, "unknown command " + std::string(name));
}

} // namespace vmmtool
