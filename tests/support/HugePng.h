#pragma once

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace VexelTest {

// A PNG whose header claims width x height, 8-bit RGB or RGBA, and whose data
// stops after four rows: what is refused from the header alone is tested
// with a file of a few hundred bytes instead of gigabytes.
inline void WriteHugePngHeader(const std::string& path, std::uint32_t width, std::uint32_t height, bool alpha,
                               bool interlaced = false)
{
    std::vector<unsigned char> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto put = [&file](std::uint32_t value) {
        file.insert(file.end(), {static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
                                 static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)});
    };
    const auto chunk = [&](const std::string& typeAndData) {
        put(static_cast<std::uint32_t>(typeAndData.size() - 4));
        file.insert(file.end(), typeAndData.begin(), typeAndData.end());
        put(crc32(0, reinterpret_cast<const Bytef*>(typeAndData.data()), static_cast<uInt>(typeAndData.size())));
    };
    const std::uint32_t sides[] = {width, height};
    std::string header = "IHDR";
    for (const std::uint32_t side : sides) {
        header += {char(side >> 24), char(side >> 16), char(side >> 8), char(side)};
    }
    chunk(header + std::string{8, alpha ? '\6' : '\2', 0, 0, interlaced ? '\1' : '\0'});
    const std::string rows(4 * (1 + std::size_t(width) * (alpha ? 4 : 3)), '\x80');
    std::string packed(compressBound(static_cast<uLong>(rows.size())), '\0');
    uLongf packedSize = static_cast<uLongf>(packed.size());
    compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize, reinterpret_cast<const Bytef*>(rows.data()),
              static_cast<uLong>(rows.size()), 9);
    chunk("IDAT" + packed.substr(0, packedSize));
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                                static_cast<std::streamsize>(file.size()));
}

} // namespace VexelTest
