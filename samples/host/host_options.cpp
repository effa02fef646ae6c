#include "host_options.h"

#include <cstdlib>
#include <cstring>

namespace {

// An option that takes a whole number within bounds.
struct CountOption {
    const char* name;
    int low;
    int high;
    int HostOptions::*field;
};

constexpr CountOption kCountOptions[] = {
    {"--steps", 1, 1000, &HostOptions::steps},
    {"--step-ms", 1, 1000, &HostOptions::stepMilliseconds},
    {"--drones", 1, 100, &HostOptions::drones},
    {"--seconds", 1, 600, &HostOptions::seconds},
    {"--tick-rate", 1, 1000, &HostOptions::ticksPerSecond},
};

bool ParseCount(const char* text, int low, int high, int& value) {
    char* end = nullptr;
    long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < low || parsed > high) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

const CountOption* FindCountOption(const char* name) {
    for (const CountOption& option : kCountOptions) {
        if (std::strcmp(option.name, name) == 0) {
            return &option;
        }
    }
    return nullptr;
}

} // namespace

const char* HostUsage() {
    return "usage: velcore_host [--steps N] [--step-ms MS] [--drones N] [--seconds N]\n"
           "                    [--tick-rate N] [--module PATH] [--no-debug] [--help]\n"
           "  --steps N      timed steps to run (1-1000, default 5)\n"
           "  --step-ms MS   length of one step in milliseconds (1-1000, default 20)\n"
           "  --drones N     entities to spawn from the sample module (1-100, default 3)\n"
           "  --seconds N    seconds of physics ticks in real time (1-600, default 3)\n"
           "  --tick-rate N  physics ticks per second (1-1000, default 50)\n"
           "  --module PATH  the sample drone module (default: the one built with the host)\n"
           "  --no-debug     do not echo the engine's debug output\n";
}

bool ParseHostOptions(int argc, char** argv, HostOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        const CountOption* count = FindCountOption(arg);
        if (std::strcmp(arg, "--help") == 0) {
            options.showHelp = true;
        } else if (std::strcmp(arg, "--no-debug") == 0) {
            options.showDebugOutput = false;
        } else if (count != nullptr && value != nullptr) {
            if (!ParseCount(value, count->low, count->high, options.*(count->field))) {
                error = std::string("bad value for ") + arg + ": " + value;
                return false;
            }
            ++i;
        } else if (std::strcmp(arg, "--module") == 0 && value != nullptr) {
            options.modulePath = value;
            ++i;
        } else {
            error = std::string("unknown or incomplete option: ") + arg;
            return false;
        }
    }
    return true;
}
