// vmmtool: inspects VMM model files and makes them from Wavefront OBJ files.

#include "command_line.h"
#include "engine_messages.h"
#include "obj_to_model.h"
#include "vmm_info.h"

#include <charconv>
#include <cmath>
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
    "  vmmtool info FILE.vmm\n"
    "      Lists the chunks of a VMM file as the engine's read loop takes them, then the\n"
    "      model as the engine loads it: keyframe range, animations, transform, frames,\n"
    "      materials, attachments, the model boxes and every frame's boxes.\n"
    "  vmmtool make INPUT.obj OUTPUT.vmm [--frames-per-group] [--spin SECONDS]\n"
    "      Converts a Wavefront OBJ file and its MTL materials into a VMM model: one frame\n"
    "      per object (per group when the file has no objects) and material.\n"
    "      --frames-per-group  also one frame per group inside an object\n"
    "      --spin SECONDS      every frame turns once about y over keyframes 0..8, played\n"
    "                          by one looping animation of SECONDS\n"
    "  vmmtool --help\n";

int UsageError(const std::string& message) {
    return vmmtool::UsageError("vmmtool", kUsage, message);
}

int Info(const Arguments& arguments) {
    if (arguments.size() != 1) {
        return UsageError("info takes one file");
    }
    std::string error;
    if (!vmmtool::DescribeVmm(std::string(arguments[0]), std::cout, error)) {
        std::cout.flush();
        std::fprintf(stderr, "vmmtool: %s\n", error.c_str());
        return kFailure;
    }
    return 0;
}

bool ParseSeconds(std::string_view text, float& seconds) {
    auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    return status == std::errc() && end == text.data() + text.size() && std::isfinite(seconds) &&
           seconds > 0.0f;
}

// Splits make's arguments into the two files and the options; false with error.
bool ParseMakeArguments(const Arguments& arguments, std::vector<std::string>& files,
                        vmmtool::MakeOptions& options, std::string& error) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view argument = arguments[i];
        if (argument == "--frames-per-group") {
            options.framesPerGroup = true;
        } else if (argument == "--spin") {
            if (i + 1 == arguments.size() || !ParseSeconds(arguments[++i], options.spinSeconds)) {
                error = "--spin needs a positive number of seconds";
                return false;
            }
        } else if (argument.starts_with("--")) {
            error = "unknown option " + std::string(argument);
            return false;
        } else {
            files.emplace_back(argument);
        }
    }
    if (files.size() != 2) {
        error = "make takes an OBJ file and a VMM file";
        return false;
    }
    return true;
}

int Make(const Arguments& arguments) {
    std::vector<std::string> files;
    vmmtool::MakeOptions options;
    std::string usage;
    if (!ParseMakeArguments(arguments, files, options, usage)) {
        return UsageError(usage);
    }
    vmmtool::MakeSummary summary;
    vmmtool::Diagnostic error;
    bool made = vmmtool::MakeVmm(files[0], files[1], options, summary, error);
    for (const std::string& warning : summary.warnings) {
        std::fprintf(stderr, "vmmtool: warning: %s\n", warning.c_str());
    }
    if (!made) {
        std::fprintf(stderr, "vmmtool: %s\n", error.Text().c_str());
        return kFailure;
    }
    std::printf("%s: %zu frames, %zu vertices, %zu triangles, %zu materials\n", files[1].c_str(),
                summary.frames, summary.vertices, summary.triangles, summary.materials);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    vmmtool::SilenceEngineOutput();
    return vmmtool::RunCommand(argc, argv, "vmmtool", kUsage, {{"info", &Info}, {"make", &Make}});
}
