#pragma once

#include <cstddef>
#include <string>

// The reader's view of 8-bit text: the character-length table in force and the
// wide-text switch are process-wide (the reader is used from one thread only),
// plus the encoding tests OpenFile and ParseFile rely on.
class XmlEncoding
{
public:
    enum class Utf16 { None, LittleEndian, BigEndian };

    // Length in bytes of the character that starts with each byte value.
    static const unsigned char* CharLengthTable();
    static bool Utf8TableInForce();
    // true: the UTF-8 table, false: the single-byte table.
    static void UseUtf8Table(bool utf8);

    static bool WideTextDetection();
    static void SetWideTextDetection(bool on);

    // Whether bytes (a file's first bytes) should be read as UTF-8.
    static bool GuessUtf8(const unsigned char* bytes, std::size_t count, bool useDeclaration);
    // A byte-order mark, or the zero bytes ASCII-range 16-bit text is full of.
    static Utf16 DetectUtf16(const unsigned char* bytes, std::size_t count);
    // 16-bit units to the local 8-bit encoding; false if a character cannot be
    // represented there or the units are not valid UTF-16.
    static bool Utf16ToLocal8Bit(const unsigned char* bytes, std::size_t count, bool bigEndian, std::string& out);

    static const unsigned char kUtf8Lengths[256];
    static const unsigned char kSingleByteLengths[256];
};
