#include "testkit/png_builder.h"

namespace testkit {
namespace {

void Big32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

std::uint32_t Adler32(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (std::uint8_t byte : bytes) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

} // namespace

std::uint32_t PngCrc(const std::string& type, const std::vector<std::uint8_t>& data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    auto add = [&crc](std::uint8_t byte) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ ((crc & 1) != 0 ? 0xEDB88320u : 0);
        }
    };
    for (char letter : type) {
        add(static_cast<std::uint8_t>(letter));
    }
    for (std::uint8_t byte : data) {
        add(byte);
    }
    return crc ^ 0xFFFFFFFFu;
}

std::vector<std::uint8_t> IhdrData(std::uint32_t width, std::uint32_t height,
                                   std::uint8_t colourType) {
    std::vector<std::uint8_t> data;
    Big32(data, width);
    Big32(data, height);
    // Bit depth 8, colour type, deflate, adaptive filtering, no interlace.
    data.insert(data.end(), {8, colourType, 0, 0, 0});
    return data;
}

std::vector<std::uint8_t> IdatData(std::uint32_t width, std::uint32_t height, int channels,
                                   const std::vector<std::uint8_t>& samples) {
    std::vector<std::uint8_t> raw;
    std::size_t rowBytes = std::size_t{width} * static_cast<std::size_t>(channels);
    for (std::uint32_t row = 0; row < height; ++row) {
        raw.push_back(0);
        raw.insert(raw.end(), samples.begin() + static_cast<long>(row * rowBytes),
                   samples.begin() + static_cast<long>((row + 1) * rowBytes));
    }
    // Deflate with 32 KiB window, no dictionary, header check bits; one final stored block.
    std::vector<std::uint8_t> data = {0x78, 0x01, 0x01};
    auto length = static_cast<std::uint16_t>(raw.size());
    data.insert(data.end(),
                {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                 static_cast<std::uint8_t>(~length), static_cast<std::uint8_t>(~length >> 8)});
    data.insert(data.end(), raw.begin(), raw.end());
    Big32(data, Adler32(raw));
    return data;
}

std::vector<std::uint8_t> PngFile(const std::vector<PngChunk>& chunks) {
    std::vector<std::uint8_t> bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (const PngChunk& chunk : chunks) {
        Big32(bytes, static_cast<std::uint32_t>(chunk.data.size()));
        bytes.insert(bytes.end(), chunk.type.begin(), chunk.type.end());
        bytes.insert(bytes.end(), chunk.data.begin(), chunk.data.end());
        Big32(bytes, PngCrc(chunk.type, chunk.data));
    }
    return bytes;
}

std::vector<std::uint8_t> PngImageFile(std::uint32_t width, std::uint32_t height,
                                       std::uint8_t colourType,
                                       const std::vector<std::uint8_t>& samples) {
    int channels = colourType == kPngRgba ? 4 : 3;
    return PngFile({{"IHDR", IhdrData(width, height, colourType)},
                    {"IDAT", IdatData(width, height, channels, samples)},
                    {"IEND", {}}});
}

} // namespace testkit
