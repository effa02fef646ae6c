#include "level_description.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>

namespace lvltool {
namespace {

namespace fs = std::filesystem;

// The first refused statement ends the read; ReadLevelDescription turns this into its error.
struct Refusal {
    std::string message;
    std::size_t line = 0; // 0: the line being read
};

[[noreturn]] void Refuse(std::string message) {
    throw Refusal{std::move(message)};
}

// Longest names the records keep (their fields less the terminator).
constexpr std::size_t kTypeNameLimit = 31;
constexpr std::size_t kPrefixLimit = 31;
constexpr std::size_t kMaxLineLength = 64 * 1024;
// Create blocks and mission text come whole into memory; larger ones are refused.
constexpr std::uintmax_t kMaxIncludedFile = 16 * 1024 * 1024;

char Unescape(char c) {
    switch (c) {
    case 'n':
        return '\n';
    case 't':
        return '\t';
    case '"':
    case '\\':
        return c;
    default:
        Refuse(std::string("unknown escape \\") + c + " in a quoted string");
    }
}

// Words split at blanks; "double quotes" keep blanks and take \n \t \" \\; '#' outside quotes
// starts a comment.
std::vector<std::string> Tokenize(const std::string& line) {
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            std::string text;
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                text.push_back(line[i] == '\\' && i + 1 < line.size() ? Unescape(line[++i])
                                                                      : line[i]);
            }
            if (i == line.size()) {
                Refuse("a quoted string is not closed");
            }
            tokens.push_back(text);
            ++i;
        } else {
            std::size_t end = line.find_first_of(" \t\r#\"", i);
            end = end == std::string::npos ? line.size() : end;
            tokens.push_back(line.substr(i, end - i));
            i = end;
        }
    }
    return tokens;
}

std::vector<std::uint8_t> ReadWholeFile(const fs::path& path) {
    std::error_code code;
    std::uintmax_t size = fs::file_size(path, code);
    std::ifstream in(path, std::ios::binary);
    if (code || !in) {
        Refuse("cannot read '" + path.string() + "'");
    }
    if (size > kMaxIncludedFile) {
        Refuse("'" + path.string() + "' is larger than " + std::to_string(kMaxIncludedFile) +
               " bytes");
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

void AppendHex(const std::string& token, std::vector<std::uint8_t>& bytes) {
    if (token.size() % 2 != 0) {
        Refuse("'" + token + "' is not whole bytes of hex digits");
    }
    for (std::size_t i = 0; i < token.size(); i += 2) {
        int high = HexDigit(token[i]);
        int low = HexDigit(token[i + 1]);
        if (high < 0 || low < 0) {
            Refuse("'" + token + "' is not hex digits");
        }
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
}

// The statement's words after its keyword, with checked conversions.
class Arguments {
public:
    Arguments(const std::vector<std::string>& tokens, const fs::path& directory)
        : m_tokens(tokens), m_directory(directory) {}

    std::size_t Count() const { return m_tokens.size() - 1; }
    const std::string& Keyword() const { return m_tokens[0]; }
    const std::string& Text(std::size_t i) const { return m_tokens[i + 1]; }

    void Expect(std::size_t least, std::size_t most) const {
        if (Count() < least || Count() > most) {
            std::string wanted = least == most
                                     ? std::to_string(least)
                                     : std::to_string(least) + " to " + std::to_string(most);
            Refuse("'" + Keyword() + "' takes " + wanted + " values, not " +
                   std::to_string(Count()));
        }
    }

    float Number(std::size_t i) const {
        const std::string& text = Text(i);
        float value = 0.0f;
        auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (status != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
            Refuse("'" + text + "' is not a number");
        }
        return value;
    }

    std::uint32_t Unsigned(std::size_t i) const {
        const std::string& text = Text(i);
        std::uint32_t value = 0;
        auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (status != std::errc() || end != text.data() + text.size()) {
            Refuse("'" + text + "' is not a whole number from 0 to 4294967295");
        }
        return value;
    }

    Vec3 Vector(std::size_t first) const {
        return {Number(first), Number(first + 1), Number(first + 2)};
    }

    fs::path Path(std::size_t i) const {
        if (Text(i).empty()) {
            Refuse("an empty file name");
        }
        return m_directory / Text(i);
    }

private:
    const std::vector<std::string>& m_tokens;
    const fs::path& m_directory;
};

// A name or index that refers to a texture or model, resolved once the whole file is read.
struct Reference {
    std::size_t line = 0;
    std::string name;
    bool toModel = false;  // a trigger's model, otherwise a model's texture override
    std::size_t owner = 0; // the trigger or model that refers
};

class Parser {
public:
    Parser(const fs::path& file, LevelDescription& level)
        : m_directory(file.parent_path()), m_level(level) {}

    void Statement(const std::vector<std::string>& tokens, std::size_t line);
    // Checks what only the whole file shows.
    void Finish();

private:
    enum class Element { Level, Model, Texture, Trigger };
    using Handler = void (Parser::*)(const Arguments&);
    struct Rule {
        Element element;
        Handler handler;
    };
    static const std::map<std::string, Rule>& Rules();

    ModelEntry& Model() { return m_level.models.back(); }
    TextureEntry& Texture() { return m_level.textures.back(); }
    TriggerEntry& Trigger() { return m_level.triggers.back(); }

    void World(const Arguments& a);
    void Seed(const Arguments& a);
    void Text(const Arguments& a);
    void TextFile(const Arguments& a);
    void Code(const Arguments& a);
    void AddModel(const Arguments& a);
    void AddTexture(const Arguments& a);
    void AddSound(const Arguments& a);
    void AddMusic(const Arguments& a);
    void AddTrigger(const Arguments& a);

    void TypeName(const Arguments& a);
    void Module(const Arguments& a);
    void Prefix(const Arguments& a);
    void TextureOverride(const Arguments& a);
    void Scale(const Arguments& a);
    void CameraUp(const Arguments& a);
    void SphereOffset(const Arguments& a);

    void MipMaps(const Arguments& a);
    void Stage(const Arguments& a);
    void Transparent(const Arguments& a);
    void Prefer32Bit(const Arguments& a);

    void Position(const Arguments& a);
    void Offset(const Arguments& a);
    void Spawn(const Arguments& a);
    void Identifier(const Arguments& a);
    void Delay(const Arguments& a);
    void Radius(const Arguments& a);
    void Repeat(const Arguments& a);
    void Create(const Arguments& a);
    void CreateFile(const Arguments& a);

    void AppendText(const std::string& text);
    std::uint32_t Resolve(const Reference& reference) const;
    void CheckWhole();

    fs::path m_directory;
    LevelDescription& m_level;
    Element m_element = Element::Level;
    std::size_t m_line = 0;
    std::size_t m_worldLine = 0;
    std::vector<std::string> m_textureNames; // as each texture statement wrote its file
    std::vector<Reference> m_references;
};

const std::map<std::string, Parser::Rule>& Parser::Rules() {
    static const std::map<std::string, Rule> rules = {
        {"world", {Element::Level, &Parser::World}},
        {"seed", {Element::Level, &Parser::Seed}},
        {"text", {Element::Level, &Parser::Text}},
        {"text-file", {Element::Level, &Parser::TextFile}},
        {"code", {Element::Level, &Parser::Code}},
        {"model", {Element::Level, &Parser::AddModel}},
        {"texture", {Element::Level, &Parser::AddTexture}},
        {"sound", {Element::Level, &Parser::AddSound}},
        {"music", {Element::Level, &Parser::AddMusic}},
        {"trigger", {Element::Level, &Parser::AddTrigger}},
        {"type", {Element::Model, &Parser::TypeName}},
        {"module", {Element::Model, &Parser::Module}},
        {"prefix", {Element::Model, &Parser::Prefix}},
        {"texture-override", {Element::Model, &Parser::TextureOverride}},
        {"scale", {Element::Model, &Parser::Scale}},
        {"camera-up", {Element::Model, &Parser::CameraUp}},
        {"sphere-offset", {Element::Model, &Parser::SphereOffset}},
        {"mipmaps", {Element::Texture, &Parser::MipMaps}},
        {"stage", {Element::Texture, &Parser::Stage}},
        {"transparent", {Element::Texture, &Parser::Transparent}},
        {"prefer-32-bit", {Element::Texture, &Parser::Prefer32Bit}},
        {"position", {Element::Trigger, &Parser::Position}},
        {"offset", {Element::Trigger, &Parser::Offset}},
        {"spawn", {Element::Trigger, &Parser::Spawn}},
        {"id", {Element::Trigger, &Parser::Identifier}},
        {"delay", {Element::Trigger, &Parser::Delay}},
        {"radius", {Element::Trigger, &Parser::Radius}},
        {"repeat", {Element::Trigger, &Parser::Repeat}},
        {"create", {Element::Trigger, &Parser::Create}},
        {"create-file", {Element::Trigger, &Parser::CreateFile}},
    };
    return rules;
}

const char* ElementName(int element) {
    static const char* const names[] = {"the level", "a model", "a texture", "a trigger"};
    return names[element];
}

void Parser::Statement(const std::vector<std::string>& tokens, std::size_t line) {
    m_line = line;
    auto found = Rules().find(tokens[0]);
    if (found == Rules().end()) {
        Refuse("unknown statement '" + tokens[0] + "'");
    }
    const Rule& rule = found->second;
    if (rule.element == Element::Level) {
        m_element = Element::Level; // an element statement below sets its own
    } else if (rule.element != m_element) {
        Refuse("'" + tokens[0] + "' belongs to " + ElementName(static_cast<int>(rule.element)) +
               ", not " + ElementName(static_cast<int>(m_element)));
    }
    (this->*rule.handler)(Arguments(tokens, m_directory));
}

void Parser::World(const Arguments& a) {
    a.Expect(1, 2);
    m_level.worldSize = a.Number(0);
    if (!(m_level.worldSize > 0.0f)) {
        Refuse("the world size must be above 0");
    }
    if (a.Count() == 2 && a.Text(1) != "wrap") {
        Refuse("'" + a.Text(1) + "' after the world size: only 'wrap' may follow it");
    }
    m_level.wrap = a.Count() == 2;
    m_worldLine = m_line;
}

void Parser::Seed(const Arguments& a) {
    a.Expect(1, 1);
    m_level.seed = a.Number(0);
}

void Parser::AppendText(const std::string& text) {
    if (m_level.hasText) {
        m_level.missionText += '\n';
    }
    m_level.missionText += text;
    m_level.hasText = true;
}

void Parser::Text(const Arguments& a) {
    a.Expect(1, 1);
    AppendText(a.Text(0));
}

void Parser::TextFile(const Arguments& a) {
    a.Expect(1, 1);
    std::vector<std::uint8_t> bytes = ReadWholeFile(a.Path(0));
    AppendText(std::string(bytes.begin(), bytes.end()));
}

void Parser::Code(const Arguments& a) {
    a.Expect(1, 1);
    if (!m_level.codeFile.empty()) {
        Refuse("the level already has its script code");
    }
    m_level.codeFile = a.Path(0);
}

void Parser::AddModel(const Arguments& a) {
    a.Expect(1, 1);
    ModelEntry model;
    model.line = m_line;
    model.file = a.Path(0);
    model.typeName = model.file.stem().string().substr(0, kTypeNameLimit);
    m_level.models.push_back(model);
    m_element = Element::Model;
}

void Parser::AddTexture(const Arguments& a) {
    a.Expect(1, 1);
    m_level.textures.push_back({m_line, a.Path(0)});
    m_textureNames.push_back(a.Text(0));
    m_element = Element::Texture;
}

void Parser::AddSound(const Arguments& a) {
    a.Expect(1, 1);
    m_level.sounds.push_back({m_line, {a.Path(0)}});
}

void Parser::AddMusic(const Arguments& a) {
    a.Expect(1, 2);
    FileEntry music{m_line, {a.Path(0)}};
    if (a.Count() == 2) {
        music.files.push_back(a.Path(1));
    }
    m_level.music.push_back(music);
}

void Parser::AddTrigger(const Arguments& a) {
    a.Expect(1, 1);
    static const std::map<std::string, std::uint32_t> kinds = {
        {"time", 0}, {"armed", 1}, {"proximity", 2}};
    auto kind = kinds.find(a.Text(0));
    if (kind == kinds.end()) {
        Refuse("'" + a.Text(0) + "' is not a trigger kind: time, proximity or armed");
    }
    TriggerEntry trigger;
    trigger.line = m_line;
    trigger.type = kind->second;
    m_level.triggers.push_back(trigger);
    m_element = Element::Trigger;
}

void Parser::TypeName(const Arguments& a) {
    a.Expect(1, 1);
    if (a.Text(0).size() > kTypeNameLimit) {
        Refuse("a type name has at most " + std::to_string(kTypeNameLimit) + " characters");
    }
    Model().typeName = a.Text(0);
}

void Parser::Module(const Arguments& a) {
    a.Expect(1, 1);
    Model().module = a.Path(0);
}

void Parser::Prefix(const Arguments& a) {
    a.Expect(1, 1);
    if (a.Text(0).size() > kPrefixLimit) {
        Refuse("an entry-point prefix has at most " + std::to_string(kPrefixLimit) + " characters");
    }
    Model().prefix = a.Text(0);
}

void Parser::TextureOverride(const Arguments& a) {
    a.Expect(1, 1);
    m_references.push_back({m_line, a.Text(0), false, m_level.models.size() - 1});
}

void Parser::Scale(const Arguments& a) {
    if (a.Count() != 1 && a.Count() != 3) {
        Refuse("'scale' takes one factor or three (x y z), not " + std::to_string(a.Count()));
    }
    Model().uniformScale = a.Count() == 1;
    if (a.Count() == 1) {
        Model().scale = a.Number(0);
    } else {
        Model().axisScale = a.Vector(0);
    }
}

void Parser::CameraUp(const Arguments& a) {
    a.Expect(3, 3);
    Model().cameraUp = a.Vector(0);
}

void Parser::SphereOffset(const Arguments& a) {
    a.Expect(3, 3);
    Model().sphereOffset = a.Vector(0);
}

void Parser::MipMaps(const Arguments& a) {
    a.Expect(1, 1);
    Texture().mipMaps = a.Unsigned(0);
}

void Parser::Stage(const Arguments& a) {
    a.Expect(1, 1);
    Texture().stage = a.Unsigned(0);
}

void Parser::Transparent(const Arguments& a) {
    a.Expect(1, 1);
    static const std::map<std::string, std::uint32_t> kinds = {
        {"none", kOpaque}, {"white", kWhiteTransparent}, {"black", kBlackTransparent}};
    auto kind = kinds.find(a.Text(0));
    if (kind == kinds.end()) {
        Refuse("'" + a.Text(0) + "' is not a transparency: none, white or black");
    }
    Texture().kind = kind->second;
}

void Parser::Prefer32Bit(const Arguments& a) {
    a.Expect(0, 0);
    Texture().prefer32Bit = true;
}

void Parser::Position(const Arguments& a) {
    a.Expect(3, 3);
    Trigger().position = a.Vector(0);
}

void Parser::Offset(const Arguments& a) {
    a.Expect(3, 3);
    Trigger().offset = a.Vector(0);
}

void Parser::Spawn(const Arguments& a) {
    a.Expect(1, 1);
    m_references.push_back({m_line, a.Text(0), true, m_level.triggers.size() - 1});
}

void Parser::Identifier(const Arguments& a) {
    a.Expect(1, 1);
    Trigger().entityId = a.Unsigned(0);
}

void Parser::Delay(const Arguments& a) {
    a.Expect(1, 1);
    Trigger().delay = a.Number(0);
    if (Trigger().delay < 0.0f) {
        Refuse("a delay cannot be negative");
    }
}

void Parser::Radius(const Arguments& a) {
    a.Expect(1, 1);
    if (Trigger().type == 0) {
        Refuse("a time trigger has no radius");
    }
    Trigger().radius = a.Number(0);
    Trigger().useRadius = true;
    if (Trigger().radius < 0.0f) {
        Refuse("a radius cannot be negative");
    }
}

void Parser::Repeat(const Arguments& a) {
    a.Expect(0, 0);
    Trigger().repeat = true;
}

void Parser::Create(const Arguments& a) {
    if (a.Count() == 0) {
        Refuse("'create' needs bytes in hex");
    }
    for (std::size_t i = 0; i < a.Count(); ++i) {
        AppendHex(a.Text(i), Trigger().createBlock);
    }
}

void Parser::CreateFile(const Arguments& a) {
    a.Expect(1, 1);
    std::vector<std::uint8_t> bytes = ReadWholeFile(a.Path(0));
    Trigger().createBlock.insert(Trigger().createBlock.end(), bytes.begin(), bytes.end());
}

// A number is an index; anything else a model's type name or a texture's file as written.
std::uint32_t Parser::Resolve(const Reference& reference) const {
    std::size_t count = reference.toModel ? m_level.models.size() : m_level.textures.size();
    const char* what = reference.toModel ? "model" : "texture";
    std::uint32_t index = 0;
    const std::string& name = reference.name;
    auto [end, status] = std::from_chars(name.data(), name.data() + name.size(), index);
    if (status == std::errc() && end == name.data() + name.size()) {
        if (index >= count) {
            Refuse(std::string(what) + " index " + name + " is out of range: the level has " +
                   std::to_string(count));
        }
        return index;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        if (name == (reference.toModel ? m_level.models[i].typeName : m_textureNames[i])) {
            return i;
        }
    }
    Refuse("no " + std::string(what) + " '" + name + "' in the level");
}

std::string Decimal(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

bool Inside(float value, float half) {
    return value >= -half && value < half;
}

void Parser::Finish() {
    m_line = 0;
    try {
        CheckWhole();
    } catch (Refusal& refusal) {
        refusal.line = m_line;
        throw;
    }
}

void Parser::CheckWhole() {
    if (m_worldLine == 0) {
        Refuse("no 'world' statement: the level needs its size");
    }
    for (const Reference& reference : m_references) {
        m_line = reference.line;
        std::uint32_t index = Resolve(reference);
        if (reference.toModel) {
            m_level.triggers[reference.owner].model = index;
        } else {
            m_level.models[reference.owner].textureOverride = index;
        }
    }
    const float half = m_level.worldSize * 0.5f;
    for (const TriggerEntry& trigger : m_level.triggers) {
        m_line = trigger.line;
        if (trigger.model == kNone) {
            Refuse("the trigger has no 'spawn' statement naming the model to create");
        }
        const Vec3& p = trigger.position;
        if (!Inside(p.x, half) || !Inside(p.y, half) || !Inside(p.z, half)) {
            Refuse("the position lies outside the world: each coordinate must be at least " +
                   Decimal(-half) + " and below " + Decimal(half));
        }
    }
}

} // namespace

bool ReadLevelDescription(std::istream& in, const fs::path& file, LevelDescription& level,
                          Diagnostic& error) {
    level = LevelDescription{};
    level.source = file;
    Parser parser(file, level);
    std::size_t number = 0;
    try {
        for (std::string line; std::getline(in, line);) {
            ++number;
            if (line.size() > kMaxLineLength) {
                Refuse("the line is longer than " + std::to_string(kMaxLineLength) + " characters");
            }
            std::vector<std::string> tokens = Tokenize(line);
            if (!tokens.empty()) {
                parser.Statement(tokens, number);
            }
        }
        number = 0;
        parser.Finish();
        return true;
    } catch (const Refusal& refusal) {
        error = {file.string(), refusal.line != 0 ? refusal.line : number, refusal.message};
        return false;
    }
}

} // namespace lvltool
