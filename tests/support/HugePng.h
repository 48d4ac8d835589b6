#pragma once

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace VexelTest {

// A PNG whose header claims width x height, 8-bit RGB or RGBA, whose data
// stops after its first rows: what is refused from the header alone is
// tested with a file of a few kilobytes instead of gigabytes.
inline void WriteHugePngHeader(const std::string& path, std::uint32_t width, std::uint32_t height, bool alpha,
                               bool interlaced = false)
{
    using Bytes = std::vector<unsigned char>;
    const auto bigEndian = [](Bytes& bytes, std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            bytes.push_back(static_cast<unsigned char>(value >> shift));
        }
    };
    Bytes file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto chunk = [&](const char* type, const Bytes& data) {
        bigEndian(file, static_cast<std::uint32_t>(data.size()));
        Bytes typed(type, type + 4);
        typed.insert(typed.end(), data.begin(), data.end());
        file.insert(file.end(), typed.begin(), typed.end());
        bigEndian(file, static_cast<std::uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
    };
    Bytes header;
    bigEndian(header, width);
    bigEndian(header, height);
    header.insert(header.end(),
                  {8, static_cast<unsigned char>(alpha ? 6 : 2), 0, 0, static_cast<unsigned char>(interlaced)});
    chunk("IHDR", header);
    // Four rows, each a filter byte and grey pixels.
    const Bytes rows(4 * (1 + std::size_t(width) * (alpha ? 4 : 3)), 0x80);
    Bytes packed(compressBound(static_cast<uLong>(rows.size())));
    uLongf packedSize = static_cast<uLongf>(packed.size());
    if (compress2(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()), 9) != Z_OK) {
        throw std::runtime_error("zlib failed for " + path);
    }
    packed.resize(packedSize);
    chunk("IDAT", packed);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
}

} // namespace VexelTest
