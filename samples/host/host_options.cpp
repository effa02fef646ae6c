#include "host_options.h"

#include <cstdlib>
#include <cstring>

namespace {

bool ParseCount(const char* text, int low, int high, int& value) {
    char* end = nullptr;
    long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < low || parsed > high) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

} // namespace

const char* HostUsage() {
    return "usage: velcore_host [--steps N] [--step-ms MS] [--drones N] [--module PATH]\n"
           "                    [--no-debug] [--help]\n"
           "  --steps N      timed steps to run (1-1000, default 5)\n"
           "  --step-ms MS   length of one step in milliseconds (1-1000, default 20)\n"
           "  --drones N     entities to spawn from the sample module (1-100, default 3)\n"
           "  --module PATH  the sample drone module (default: the one built with the host)\n"
           "  --no-debug     do not echo the engine's debug output\n";
}

bool ParseHostOptions(int argc, char** argv, HostOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (std::strcmp(arg, "--help") == 0) {
            options.showHelp = true;
        } else if (std::strcmp(arg, "--no-debug") == 0) {
            options.showDebugOutput = false;
        } else if (std::strcmp(arg, "--steps") == 0 && value != nullptr) {
            if (!ParseCount(value, 1, 1000, options.steps)) {
                error = std::string("bad step count: ") + value;
                return false;
            }
            ++i;
        } else if (std::strcmp(arg, "--drones") == 0 && value != nullptr) {
            if (!ParseCount(value, 1, 100, options.drones)) {
                error = std::string("bad drone count: ") + value;
                return false;
            }
            ++i;
        } else if (std::strcmp(arg, "--module") == 0 && value != nullptr) {
            options.modulePath = value;
            ++i;
        } else if (std::strcmp(arg, "--step-ms") == 0 && value != nullptr) {
            if (!ParseCount(value, 1, 1000, options.stepMilliseconds)) {
                error = std::string("bad step length: ") + value;
                return false;
            }
            ++i;
        } else {
            error = std::string("unknown or incomplete option: ") + arg;
            return false;
        }
    }
    return true;
}
