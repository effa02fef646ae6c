#include "level_description.h"
#include "tools_fixture.h"

#include <sstream>
#include <tuple>

namespace {

using lvltool::LevelDescription;

bool Parse(const std::string& text, LevelDescription& level, lvltool::Diagnostic& error) {
    std::istringstream in(text);
    return lvltool::ReadLevelDescription(in, "dir/level.txt", level, error);
}

TEST(LevelDescription, ErrorsNameTheFileAndLine) {
    struct Case {
        std::string text;
        std::string error;
    };
    const std::vector<Case> cases = {
        {Lines({"world 10", "wrold 3"}), "dir/level.txt:2: unknown statement 'wrold'"},
        {Lines({"world 0"}), "dir/level.txt:1: the world size must be above 0"},
        {Lines({"world 10 repeat"}),
         "dir/level.txt:1: 'repeat' after the world size: only 'wrap' may follow it"},
        {Lines({"seed 1"}), "dir/level.txt: no 'world' statement: the level needs its size"},
        {Lines({"world 10", "seed x1"}), "dir/level.txt:2: 'x1' is not a number"},
        {Lines({"world 10", "seed 1 2"}), "dir/level.txt:2: 'seed' takes 1 values, not 2"},
        {Lines({"world 10", "text \"open"}), "dir/level.txt:2: a quoted string is not closed"},
        {Lines({"world 10", "text \"a\\qb\""}),
         "dir/level.txt:2: unknown escape \\q in a quoted string"},
        {Lines({"world 10", "scale 2"}),
         "dir/level.txt:2: 'scale' belongs to a model, not the level"},
        {Lines({"world 10", "texture a.bmp", "radius 2"}),
         "dir/level.txt:3: 'radius' belongs to a trigger, not a texture"},
        {Lines({"world 10", "model a.vmm", "scale 1 2"}),
         "dir/level.txt:3: 'scale' takes one factor or three (x y z), not 2"},
        {Lines({"world 10", "model a.vmm", "type 0123456789012345678901234567890123"}),
         "dir/level.txt:3: a type name has at most 31 characters"},
        {Lines({"world 10", "model a.vmm", "texture-override hull.bmp"}),
         "dir/level.txt:3: no texture 'hull.bmp' in the level"},
        {Lines({"world 10", "texture a.bmp", "  mipmaps -1"}),
         "dir/level.txt:3: '-1' is not a whole number from 0 to 4294967295"},
        {Lines({"world 10", "texture a.bmp", "  transparent grey"}),
         "dir/level.txt:3: 'grey' is not a transparency: none, white or black"},
        {Lines({"world 10", "trigger sometimes"}),
         "dir/level.txt:2: 'sometimes' is not a trigger kind: time, proximity or armed"},
        {Lines({"world 10", "trigger time", "  radius 4"}),
         "dir/level.txt:3: a time trigger has no radius"},
        {Lines({"world 10", "trigger time", "  delay -1"}),
         "dir/level.txt:3: a delay cannot be negative"},
        {Lines({"world 10", "model a.vmm", "trigger time"}),
         "dir/level.txt:3: the trigger has no 'spawn' statement naming the model to create"},
        {Lines({"world 10", "model a.vmm", "trigger time", "  spawn 1"}),
         "dir/level.txt:4: model index 1 is out of range: the level has 1"},
        {Lines({"world 10", "model a.vmm", "trigger time", "  spawn a", "  position 5 0 0"}),
         "dir/level.txt:3: the position lies outside the world: each coordinate must be at "
         "least -5 and below 5"},
        {Lines({"world 10", "trigger time", "  create 0g"}),
         "dir/level.txt:3: '0g' is not hex digits"},
        {Lines({"world 10", "trigger time", "  create 012"}),
         "dir/level.txt:3: '012' is not whole bytes of hex digits"},
        {Lines({"world 10", "text-file none.txt"}), "dir/level.txt:2: cannot read 'dir/none.txt'"},
        {Lines({"world 10", "code a.amx", "code b.amx"}),
         "dir/level.txt:3: the level already has its script code"},
    };
    for (const Case& c : cases) {
        LevelDescription level;
        lvltool::Diagnostic error;
        EXPECT_FALSE(Parse(c.text, level, error)) << c.text;
        EXPECT_EQ(error.Text(), c.error);
    }
}

} // namespace
