#include "obj_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>

namespace vmmtool {
namespace {

// The first refused line ends a read; the readers turn this into a Diagnostic with the line.
struct Refusal {
    std::string message;
};

[[noreturn]] void Refuse(std::string message) {
    throw Refusal{std::move(message)};
}

// A token as it appears in a message: quoted and cut short, since the input is untrusted.
std::string Quote(std::string_view token) {
    constexpr std::size_t kShown = 40;
    return "'" + std::string(token.substr(0, kShown)) + (token.size() > kShown ? "...'" : "'");
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::vector<std::string_view> Split(std::string_view text) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsSpace(text[i])) {
            ++i;
        }
        std::size_t start = i;
        while (i < text.size() && !IsSpace(text[i])) {
            ++i;
        }
        if (i > start) {
            tokens.push_back(text.substr(start, i - start));
        }
    }
    return tokens;
}

// The text after a statement's keyword, with surrounding blanks removed.
std::string_view RestAfter(std::string_view line, std::string_view keyword) {
    return Trim(
        line.substr(static_cast<std::size_t>(keyword.data() - line.data()) + keyword.size()));
}

// Logical lines: physical lines joined at a trailing backslash, comments removed. Lines are
// read with a bound, so a file without line breaks cannot make one huge allocation.
class LineReader {
public:
    explicit LineReader(std::istream& in) : m_buffer(in.rdbuf()) {}

    bool Next(std::string& line) {
        line.clear();
        m_number = m_next;
        bool any = false;
        while (ReadPhysicalLine(line)) {
            any = true;
            ++m_next;
            std::string_view trimmed = Trim(line);
            if (trimmed.empty() || trimmed.back() != '\\') {
                break;
            }
            line.resize(static_cast<std::size_t>(trimmed.data() - line.data()) + trimmed.size() -
                        1);
            line.push_back(' ');
        }
        line.erase(std::min(line.find('#'), line.size()));
        return any;
    }

    // The line number where the current logical line starts (1-based).
    std::size_t Number() const { return m_number; }

private:
    bool ReadPhysicalLine(std::string& line) {
        if (m_buffer == nullptr) {
            return false;
        }
        bool any = false;
        for (int c = m_buffer->sbumpc(); c != std::char_traits<char>::eof();
             c = m_buffer->sbumpc()) {
            any = true;
            if (c == '\n') {
                return true;
            }
            if (line.size() >= kMaxLineLength) {
                Refuse("line longer than " + std::to_string(kMaxLineLength) + " characters");
            }
            line.push_back(static_cast<char>(c));
        }
        return any;
    }

    std::streambuf* m_buffer;
    std::size_t m_number = 0;
    std::size_t m_next = 1;
};

float ParseFloat(std::string_view token) {
    std::string_view digits = token;
    if (digits.size() > 1 && digits[0] == '+' && digits[1] != '-') {
        digits.remove_prefix(1);
    }
    float value = 0.0f;
    auto [end, status] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (status == std::errc::result_out_of_range ||
        (status == std::errc() && !std::isfinite(value))) {
        Refuse(Quote(token) + " is not a finite number");
    }
    if (status != std::errc() || end != digits.data() + digits.size()) {
        Refuse(Quote(token) + " is not a number");
    }
    return value;
}

long long ParseInteger(std::string_view token) {
    std::string_view digits = token;
    if (digits.size() > 1 && digits[0] == '+' && digits[1] != '-') {
        digits.remove_prefix(1);
    }
    long long value = 0;
    auto [end, status] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (status != std::errc() || end != digits.data() + digits.size()) {
        Refuse(Quote(token) + " is not an index");
    }
    return value;
}

// The numbers after a keyword; between least and most of them.
std::vector<float> ParseNumbers(const std::vector<std::string_view>& tokens, std::size_t least,
                                std::size_t most) {
    std::size_t count = tokens.size() - 1;
    if (count < least || count > most) {
        std::string wanted = least == most ? std::to_string(least)
                                           : std::to_string(least) + " to " + std::to_string(most);
        Refuse(std::string(tokens[0]) + " needs " + wanted + " numbers, not " +
               std::to_string(count));
    }
    std::vector<float> numbers;
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        numbers.push_back(ParseFloat(tokens[i]));
    }
    return numbers;
}

template <class Item> void Append(std::vector<Item>& items, const Item& item, const char* what) {
    if (items.size() >= kMaxElements) {
        Refuse(std::string("more than ") + std::to_string(kMaxElements) + " " + what);
    }
    items.push_back(item);
}

// A 1-based index, or a negative one counting back from the last of `defined` items.
std::uint32_t ResolveIndex(std::string_view token, std::size_t defined, const char* kind) {
    long long value = ParseInteger(token);
    if (value == 0) {
        Refuse(std::string(kind) + " index 0: indices start at 1");
    }
    long long count = static_cast<long long>(defined);
    long long resolved = value > 0 ? value - 1 : count + value;
    if (resolved < 0 || resolved >= count) {
        Refuse(std::string(kind) + " index " + std::string(token) +
               " is out of range: " + std::to_string(defined) + " defined so far");
    }
    return static_cast<std::uint32_t>(resolved);
}

// Index of name in names, appending it the first time it is seen.
std::uint32_t IndexOfName(std::map<std::string, std::uint32_t>& index,
                          std::vector<std::string>& names, std::string_view name) {
    auto [entry, added] =
        index.try_emplace(std::string(name), static_cast<std::uint32_t>(names.size()));
    if (added) {
        names.emplace_back(name);
    }
    return entry->second;
}

class ObjParser {
public:
    ObjParser(ObjScene& scene, const std::string& fileName) : m_scene(scene), m_fileName(fileName) {
        m_objectIndex[""] = 0;
        m_groupIndex[""] = 0;
    }

    void Statement(std::string_view line, std::size_t number) {
        std::vector<std::string_view> tokens = Split(line);
        if (tokens.empty()) {
            return;
        }
        std::string_view keyword = tokens[0];
        if (keyword == "v") {
            std::vector<float> n = ParseNumbers(tokens, 3, 7); // w or colour values are dropped
            Append(m_scene.positions, Float3{n[0], n[1], n[2]}, "positions (v)");
        } else if (keyword == "vt") {
            std::vector<float> n = ParseNumbers(tokens, 1, 3);
            Append(m_scene.texcoords, Float2{n[0], n.size() > 1 ? n[1] : 0.0f},
                   "texture coordinates (vt)");
        } else if (keyword == "vn") {
            std::vector<float> n = ParseNumbers(tokens, 3, 3);
            Append(m_scene.normals, Float3{n[0], n[1], n[2]}, "normals (vn)");
        } else if (keyword == "f") {
            Face(tokens);
        } else if (keyword == "o") {
            Object(RestAfter(line, keyword));
        } else if (keyword == "g") {
            m_group = IndexOfName(m_groupIndex, m_scene.groups, RestAfter(line, keyword));
        } else if (keyword == "usemtl") {
            UseMaterial(RestAfter(line, keyword), number);
        } else if (keyword == "mtllib") {
            Libraries(tokens, number);
        } else if (keyword != "s") { // smoothing groups: normals are computed smooth anyway
            Skipped(keyword, number);
        }
    }

private:
    void Face(const std::vector<std::string_view>& tokens) {
        std::size_t count = tokens.size() - 1;
        if (count < 3) {
            Refuse("f needs at least 3 corners, not " + std::to_string(count));
        }
        if (count > kMaxPolygonCorners) {
            Refuse("f has " + std::to_string(count) + " corners; at most " +
                   std::to_string(kMaxPolygonCorners) + " are read");
        }
        ObjFace face;
        face.firstCorner = static_cast<std::uint32_t>(m_scene.corners.size());
        face.cornerCount = static_cast<std::uint32_t>(count);
        face.object = m_object;
        face.group = m_group;
        face.material = m_material;
        for (std::size_t i = 1; i < tokens.size(); ++i) {
            Append(m_scene.corners, Corner(tokens[i]), "face corners");
        }
        m_scene.faces.push_back(face);
    }

    // "v", "v/vt", "v//vn" or "v/vt/vn".
    ObjCorner Corner(std::string_view token) const {
        std::string_view parts[3];
        std::size_t count = 0;
        std::size_t start = 0;
        for (std::size_t i = 0; i <= token.size(); ++i) {
            if (i == token.size() || token[i] == '/') {
                if (count == 3) {
                    Refuse("face corner " + Quote(token) + " has more than 3 parts");
                }
                parts[count++] = token.substr(start, i - start);
                start = i + 1;
            }
        }
        if (parts[0].empty()) {
            Refuse("face corner " + Quote(token) + " has no position index");
        }
        ObjCorner corner;
        corner.position = ResolveIndex(parts[0], m_scene.positions.size(), "position");
        if (!parts[1].empty()) {
            corner.texcoord =
                ResolveIndex(parts[1], m_scene.texcoords.size(), "texture coordinate");
        }
        if (!parts[2].empty()) {
            corner.normal = ResolveIndex(parts[2], m_scene.normals.size(), "normal");
        }
        return corner;
    }

    void Object(std::string_view name) {
        if (name.empty()) {
            Refuse("o needs a name");
        }
        m_scene.hasObjectStatements = true;
        m_object = IndexOfName(m_objectIndex, m_scene.objects, name);
        m_group = 0;
    }

    void UseMaterial(std::string_view name, std::size_t number) {
        if (name.empty()) {
            Refuse("usemtl needs a material name");
        }
        auto [entry, added] = m_materialIndex.try_emplace(
            std::string(name), static_cast<std::uint32_t>(m_scene.materials.size()));
        if (added) {
            m_scene.materials.push_back({std::string(name), number});
        }
        m_material = entry->second;
    }

    void Libraries(const std::vector<std::string_view>& tokens, std::size_t number) {
        if (tokens.size() < 2) {
            Refuse("mtllib needs a file name");
        }
        for (std::size_t i = 1; i < tokens.size(); ++i) {
            if (m_libraryNames.insert(std::string(tokens[i])).second) {
                m_scene.libraries.push_back({std::string(tokens[i]), number});
            }
        }
    }

    void Skipped(std::string_view keyword, std::size_t number) {
        constexpr std::size_t kMaxNotes = 16;
        if (m_skipped.size() < kMaxNotes && m_skipped.insert(std::string(keyword)).second) {
            m_scene.warnings.push_back(
                {m_fileName, number, Quote(keyword) + " statements are not converted"});
        }
    }

    ObjScene& m_scene;
    const std::string& m_fileName;
    std::uint32_t m_object = 0;
    std::uint32_t m_group = 0;
    std::uint32_t m_material = kAbsent;
    std::map<std::string, std::uint32_t> m_objectIndex;
    std::map<std::string, std::uint32_t> m_groupIndex;
    std::map<std::string, std::uint32_t> m_materialIndex;
    std::set<std::string> m_libraryNames;
    std::set<std::string> m_skipped;
};

// One colour: r g b, or a single value for all three.
Float3 ParseColour(const std::vector<std::string_view>& tokens) {
    if (tokens.size() > 1 && (tokens[1] == "spectral" || tokens[1] == "xyz")) {
        Refuse(std::string(tokens[0]) + " " + std::string(tokens[1]) +
               " colours are not supported; give r g b");
    }
    std::vector<float> n = ParseNumbers(tokens, 1, 3);
    if (n.size() == 2) {
        Refuse(std::string(tokens[0]) + " needs 1 or 3 numbers, not 2");
    }
    return n.size() == 1 ? Float3{n[0], n[0], n[0]} : Float3{n[0], n[1], n[2]};
}

// Arguments each texture-map option takes; -o, -s and -t take one to three numbers.
int OptionArguments(std::string_view option) {
    static const std::map<std::string_view, int> kOptions = {
        {"-blendu", 1}, {"-blendv", 1}, {"-cc", 1},      {"-clamp", 1}, {"-bm", 1},
        {"-boost", 1},  {"-texres", 1}, {"-imfchan", 1}, {"-type", 1},  {"-mm", 2},
        {"-o", 3},      {"-s", 3},      {"-t", 3}};
    auto found = kOptions.find(option);
    if (found == kOptions.end()) {
        Refuse("unknown texture option " + Quote(option));
    }
    return found->second;
}

bool IsNumber(std::string_view token) {
    try {
        ParseFloat(token);
        return true;
    } catch (const Refusal&) {
        return false;
    }
}

// The file name of a texture statement: what follows its options, blanks inside kept.
std::string ParseTextureName(std::string_view line, const std::vector<std::string_view>& tokens) {
    std::size_t i = 1;
    while (i < tokens.size() && tokens[i].size() > 1 && tokens[i][0] == '-' &&
           !IsNumber(tokens[i])) {
        std::string_view option = tokens[i++];
        int arguments = OptionArguments(option);
        bool upToThree = option == "-o" || option == "-s" || option == "-t";
        for (int taken = 0; taken < arguments && i < tokens.size(); ++taken) {
            if (upToThree && taken > 0 && !IsNumber(tokens[i])) {
                break;
            }
            ++i;
        }
    }
    if (i >= tokens.size()) {
        Refuse(std::string(tokens[0]) + " needs a file name");
    }
    return std::string(Trim(line.substr(static_cast<std::size_t>(tokens[i].data() - line.data()))));
}

class MtlParser {
public:
    explicit MtlParser(MtlLibrary& library) : m_library(library) {}

    void Statement(std::string_view line) {
        std::vector<std::string_view> tokens = Split(line);
        if (tokens.empty()) {
            return;
        }
        std::string_view keyword = tokens[0];
        if (keyword == "newmtl") {
            std::string_view name = RestAfter(line, keyword);
            if (name.empty()) {
                Refuse("newmtl needs a material name");
            }
            m_current = &(m_library[std::string(name)] = MtlMaterial{});
        } else if (keyword == "Kd") {
            Current(keyword).diffuse = ParseColour(tokens);
        } else if (keyword == "Ka") {
            Current(keyword).ambient = ParseColour(tokens);
        } else if (keyword == "Ks") {
            Current(keyword).specular = ParseColour(tokens);
        } else if (keyword == "Ns") {
            Current(keyword).power = ParseNumbers(tokens, 1, 1)[0];
        } else if (keyword == "d") {
            Current(keyword).alpha = ParseNumbers(WithoutHalo(tokens), 1, 1)[0];
        } else if (keyword == "Tr") {
            Current(keyword).alpha = 1.0f - ParseNumbers(tokens, 1, 1)[0];
        } else if (keyword == "map_Kd") {
            Current(keyword).diffuseTexture = ParseTextureName(line, tokens);
        }
        // Other statements (illum, Ni, Ke, further maps...) have no place in the engine's
        // material and are skipped.
    }

private:
    MtlMaterial& Current(std::string_view keyword) {
        if (m_current == nullptr) {
            Refuse(std::string(keyword) + " before any newmtl");
        }
        return *m_current;
    }

    static std::vector<std::string_view> WithoutHalo(std::vector<std::string_view> tokens) {
        if (tokens.size() > 1 && tokens[1] == "-halo") {
            tokens.erase(tokens.begin() + 1);
        }
        return tokens;
    }

    MtlLibrary& m_library;
    MtlMaterial* m_current = nullptr;
};

// Runs statement over every logical line; a refusal becomes error with the line number.
template <class Handle>
bool ReadLines(std::istream& in, const std::string& fileName, Diagnostic& error,
               const Handle& statement) {
    LineReader reader(in);
    try {
        std::string line;
        while (reader.Next(line)) {
            statement(line, reader.Number());
        }
        return true;
    } catch (const Refusal& refusal) {
        error = Diagnostic{fileName, reader.Number(), refusal.message};
        return false;
    }
}

} // namespace

std::string Diagnostic::Text() const {
    return line == 0 ? file + ": " + message : file + ":" + std::to_string(line) + ": " + message;
}

bool ReadObj(std::istream& in, const std::string& fileName, ObjScene& scene, Diagnostic& error) {
    scene = ObjScene{};
    ObjParser parser(scene, fileName);
    return ReadLines(in, fileName, error, [&parser](std::string_view line, std::size_t number) {
        parser.Statement(line, number);
    });
}

bool ReadMtl(std::istream& in, const std::string& fileName, MtlLibrary& library,
             Diagnostic& error) {
    MtlParser parser(library);
    return ReadLines(in, fileName, error,
                     [&parser](std::string_view line, std::size_t) { parser.Statement(line); });
}

} // namespace vmmtool
