#pragma once

// A small level for the lvltool tests: its description and every file it names, written into
// a scratch directory, and the bytes its compiled files must hold, built from the record
// tables.

#include "level_build.h"
#include "tools_fixture.h"

#include "testkit/bmp_builder.h"
#include "testkit/bytes.h"
#include "testkit/scratch_dir.h"

#include <filesystem>
#include <string>
#include <vector>

namespace lvltest {

inline std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// A 2 x 2 bitmap.
inline std::vector<std::uint8_t> SmallBmp() {
    return testkit::BmpFile(testkit::SimpleImage(2, 2, 24, {0x000000, 0xFFFFFF, 0xFFFFFF, 0}));
}

// The description every test starts from; src/ holds the files it names.
inline std::string DemoDescription() {
    return Lines({
        "# a level for the tests",
        "world 256 wrap",
        "seed 7.5",
        "text \"Reach the beacon.\"",
        "text \"Good \\\"luck\\\".\"",
        "code mission.amx",
        "texture art/hull.bmp",
        "  mipmaps 2",
        "  stage 1",
        "  transparent black",
        "  prefer-32-bit",
        "texture sky.bmp",
        "model art/ship.obj",
        "  type Ship",
        "  module behave/ship.so",
        "  prefix Ship",
        "  scale 1 2 3",
        "  camera-up 0 0 1",
        "  sphere-offset 0.5 0 0",
        "model art/ship.obj   # a second kind sharing the model",
        "  type Wing",
        "  texture-override sky.bmp",
        "  scale 2",
        "sound boom.wav",
        "music theme.mid loop.mid",
        "music calm.mid",
        "trigger time",
        "  spawn Ship",
        "  delay 5",
        "  id 100",
        "  position 10 20 30",
        "  offset 1 2 3",
        "  repeat",
        "  create 01020304 ff",
        "trigger proximity",
        "  spawn 1",
        "  position -100 0 64",
        "  radius 20",
        "  create-file block.bin",
        "trigger armed",
        "  spawn Wing",
        "  delay 2.5",
    });
}

// Writes the demo's files into dir/src and its description as dir/src/demo.txt.
inline void WriteDemoSources(const testkit::ScratchDir& dir) {
    dir.WriteFile("src/art/ship.obj",
                  Bytes(Lines({"mtllib ship.mtl", "v 0 0 0", "v 4 0 0", "v 4 2 0", "v 0 2 1",
                               "usemtl paint", "f 1 2 3 4"})));
    dir.WriteFile("src/art/ship.mtl", Bytes(Lines({"newmtl paint", "map_Kd hull.bmp"})));
    dir.WriteFile("src/art/hull.bmp", SmallBmp());
    dir.WriteFile("src/sky.bmp", SmallBmp());
    dir.WriteFile("src/behave/ship.so", Bytes("not really a module"));
    dir.WriteFile("src/boom.wav", Bytes("boom"));
    dir.WriteFile("src/theme.mid", Bytes("theme"));
    dir.WriteFile("src/loop.mid", Bytes("loop"));
    dir.WriteFile("src/calm.mid", Bytes("calm"));
    dir.WriteFile("src/mission.amx", {0xA0, 0xA1, 0xA2});
    dir.WriteFile("src/block.bin", {0x10, 0x20});
    dir.WriteFile("src/demo.txt", Bytes(DemoDescription()));
}

// Starts from the demo's sources; Build compiles dir/src/demo.txt into dir/out.
class DemoLevelTest : public AccountedTest {
protected:
    void SetUp() override {
        AccountedTest::SetUp();
        WriteDemoSources(m_dir);
    }
    bool Build() {
        return lvltool::BuildLevelFile(m_dir.Path() / "src/demo.txt", m_dir.Path() / "out",
                                       m_summary, m_error);
    }
    // The full lower-case path the engine gives a file of the scratch directory.
    std::string Engine(const std::string& name) const {
        return testkit::Lower(m_dir.EnginePath(name));
    }

    testkit::ScratchDir m_dir;
    lvltool::BuildSummary m_summary;
    lvltool::Diagnostic m_error;
};

// Record images straight from the layout tables.
inline testkit::ByteBuilder& Vector(testkit::ByteBuilder& b, float x, float y, float z) {
    return b.F32(x).F32(y).F32(z);
}

inline testkit::ByteBuilder TableHeader(std::uint32_t id, std::uint32_t count) {
    testkit::ByteBuilder b;
    b.U32(id).U32(0).U32(count).U32(0);
    return b;
}

struct ModelImage {
    const char* type;
    const char* prefix;
    const char* module;
    std::uint32_t textureOverride;
    std::uint32_t uniform;
    float scale;
    float axis[3];
    float cameraUp[3];
    float sphereOffset[3];
};

inline void AppendModel(testkit::ByteBuilder& b, const ModelImage& m) {
    b.Chars(m.type, 32).Chars("ship.vmm", 128).Chars(m.prefix, 32).Chars(m.module, 136);
    b.Chars("", 128).U32(m.textureOverride).Fill(0, 896 + 4).U32(m.uniform).F32(m.scale);
    Vector(b, m.axis[0], m.axis[1], m.axis[2]).Fill(0, 4);
    Vector(b, m.cameraUp[0], m.cameraUp[1], m.cameraUp[2]).Fill(0, 12);
    Vector(b, m.sphereOffset[0], m.sphereOffset[1], m.sphereOffset[2]).Fill(0, 368);
    b.Chars("", 648);
}

} // namespace lvltest
