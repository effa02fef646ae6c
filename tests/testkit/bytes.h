#pragma once

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace testkit {

// Builds file images byte by byte in little-endian order, straight from the record tables,
// independently of the engine's own writers.
class ByteBuilder {
public:
    ByteBuilder& U8(std::uint8_t value) {
        m_bytes.push_back(value);
        return *this;
    }
    ByteBuilder& U16(std::uint16_t value) { return Little(value, 2); }
    ByteBuilder& U32(std::uint32_t value) { return Little(value, 4); }
    ByteBuilder& I32(std::int32_t value) { return Little(static_cast<std::uint32_t>(value), 4); }
    ByteBuilder& F32(float value) {
        std::uint32_t bits;
        std::memcpy(&bits, &value, 4);
        return Little(bits, 4);
    }
    // The text followed by NULs up to width bytes (cut to width when longer).
    ByteBuilder& Chars(std::string_view text, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i) {
            m_bytes.push_back(i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0);
        }
        return *this;
    }
    ByteBuilder& Raw(const std::vector<std::uint8_t>& bytes) {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        return *this;
    }
    ByteBuilder& Fill(std::uint8_t value, std::size_t count) {
        m_bytes.insert(m_bytes.end(), count, value);
        return *this;
    }

    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }
    std::size_t Size() const { return m_bytes.size(); }

private:
    ByteBuilder& Little(std::uint32_t value, int count) {
        for (int i = 0; i < count; ++i) {
            m_bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        }
        return *this;
    }

    std::vector<std::uint8_t> m_bytes;
};

// The field of type T at offset in bytes, read raw as the engine reads its records.
template <class T> T FieldAt(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// The text in lower case, as the engine's path functions leave names.
inline std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

} // namespace testkit
