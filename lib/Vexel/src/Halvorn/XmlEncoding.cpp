#include "Halvorn/XmlEncoding.h"

#include "XmlText.h"

#include <QString>
#include <QTextCodec>

#include <algorithm>
#include <climits>
#include <cstring>

#define VEXEL_XML_ROW(v) v, v, v, v, v, v, v, v, v, v, v, v, v, v, v, v

// 0xC0, 0xC1 and 0xF5 upwards never start a valid sequence: they count as one byte.
const unsigned char XmlEncoding::kUtf8Lengths[256] = {
    0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 0x00
    VEXEL_XML_ROW(1), VEXEL_XML_ROW(1), VEXEL_XML_ROW(1), VEXEL_XML_ROW(1), VEXEL_XML_ROW(1),
    VEXEL_XML_ROW(1), VEXEL_XML_ROW(1),                                    // 0x10 - 0x7F
    VEXEL_XML_ROW(1), VEXEL_XML_ROW(1), VEXEL_XML_ROW(1), VEXEL_XML_ROW(1),  // 0x80 - 0xBF
    1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,  // 0xC0
    VEXEL_XML_ROW(2),                                // 0xD0
    VEXEL_XML_ROW(3),                                // 0xE0
    4, 4, 4, 4, 4, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 0xF0
};

const unsigned char XmlEncoding::kSingleByteLengths[256] = {
    0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    VEXEL_XML_ROW(1), VEXEL_XML_ROW(1), VEXEL_XML_ROW(1), VEXEL_XML_ROW(1), VEXEL_XML_ROW(1),
    VEXEL_XML_ROW(1), VEXEL_XML_ROW(1), VEXEL_XML_ROW(1), VEXEL_XML_ROW(1), VEXEL_XML_ROW(1),
    VEXEL_XML_ROW(1), VEXEL_XML_ROW(1), VEXEL_XML_ROW(1), VEXEL_XML_ROW(1), VEXEL_XML_ROW(1),
};

#undef VEXEL_XML_ROW

namespace {

const unsigned char* gCharLengths = XmlEncoding::kUtf8Lengths;
bool gWideTextDetection = true;

const std::size_t DeclarationWindow = 200;
// Enough of the start to judge by, as the operating system's own test does.
const std::size_t Utf16Window = 512;

bool StartsWithNoCase(const unsigned char* bytes, std::size_t i, std::size_t limit, const char* pattern)
{
    const std::size_t length = std::strlen(pattern);
    return limit - i >= length &&
           XmlText::StartsWithNoCase(reinterpret_cast<const char*>(bytes + i), pattern, length);
}

// What the declaration's encoding says: true unless it names something else than UTF-8.
bool DeclarationSaysUtf8(const unsigned char* bytes, std::size_t count)
{
    const std::size_t window = std::min(count, DeclarationWindow);
    const std::size_t limit = static_cast<std::size_t>(
        std::find(bytes, bytes + window, static_cast<unsigned char>(0)) - bytes);
    static const char keyword[] = "encoding";
    const std::size_t keywordLength = sizeof keyword - 1;
    const unsigned char* found = std::search(bytes, bytes + limit, keyword, keyword + keywordLength);
    if (found == bytes + limit) {
        return true;
    }
    std::size_t i = XmlText::SkipBlanks(bytes, static_cast<std::size_t>(found - bytes) + keywordLength, limit);
    if (i >= limit || bytes[i] != '=') {
        return true;
    }
    i = XmlText::SkipBlanks(bytes, i + 1, limit);
    if (i >= limit || (bytes[i] != '"' && bytes[i] != '\'')) {
        return true;
    }
    i = XmlText::SkipBlanks(bytes, i + 1, limit);
    return StartsWithNoCase(bytes, i, limit, "utf-8") || StartsWithNoCase(bytes, i, limit, "utf8");
}

} // namespace

const unsigned char* XmlEncoding::CharLengthTable()
{
    return gCharLengths;
}

bool XmlEncoding::Utf8TableInForce()
{
    return gCharLengths == kUtf8Lengths;
}

void XmlEncoding::UseUtf8Table(bool utf8)
{
    gCharLengths = utf8 ? kUtf8Lengths : kSingleByteLengths;
}

bool XmlEncoding::WideTextDetection()
{
    return gWideTextDetection;
}

void XmlEncoding::SetWideTextDetection(bool on)
{
    gWideTextDetection = on;
}

bool XmlEncoding::GuessUtf8(const unsigned char* bytes, std::size_t count, bool useDeclaration)
{
    if (!bytes || count < 25) {
        return false;
    }
    if (DetectUtf16(bytes, count) != Utf16::None) {
        return false;
    }
    if (bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        return true;
    }
    for (std::size_t i = 0; i < count;) {
        const unsigned char c = bytes[i];
        if (c == 0) {
            break;
        }
        const std::size_t length = kUtf8Lengths[c];
        // A sequence cut off by the end of the bytes read still counts.
        for (std::size_t k = 1; k < length && i + k < count; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return !useDeclaration || DeclarationSaysUtf8(bytes, count);
}

XmlEncoding::Utf16 XmlEncoding::DetectUtf16(const unsigned char* bytes, std::size_t count)
{
    if (!bytes || count < 2) {
        return Utf16::None;
    }
    if (bytes[0] == 0xFF && bytes[1] == 0xFE) {
        return Utf16::LittleEndian;
    }
    if (bytes[0] == 0xFE && bytes[1] == 0xFF) {
        return Utf16::BigEndian;
    }
    // Mostly ASCII-range characters, each with a zero byte on the same side.
    const std::size_t units = std::min(count, Utf16Window) / 2;
    std::size_t zeroHigh = 0;
    std::size_t zeroLow = 0;
    for (std::size_t i = 0; i < units; ++i) {
        const unsigned char first = bytes[2 * i];
        const unsigned char second = bytes[2 * i + 1];
        if (first != 0 && second == 0) {
            ++zeroHigh;
        } else if (first == 0 && second != 0) {
            ++zeroLow;
        }
    }
    if (zeroHigh * 2 > units) {
        return Utf16::LittleEndian;
    }
    if (zeroLow * 2 > units) {
        return Utf16::BigEndian;
    }
    return Utf16::None;
}

bool XmlEncoding::Utf16ToLocal8Bit(const unsigned char* bytes, std::size_t count, bool bigEndian, std::string& out)
{
    out.clear();
    const std::size_t units = count / 2;
    if (units > static_cast<std::size_t>(INT_MAX)) {
        return false;
    }
    QString text(static_cast<int>(units), Qt::Uninitialized);
    QChar* data = text.data();
    for (std::size_t i = 0; i < units; ++i) {
        const unsigned char first = bytes[2 * i];
        const unsigned char second = bytes[2 * i + 1];
        data[i] = QChar(static_cast<ushort>(bigEndian ? (first << 8) | second : (second << 8) | first));
    }
    // Broken surrogate pairs are not text; codecs would quietly replace them.
    for (std::size_t i = 0; i < units; ++i) {
        if (data[i].isHighSurrogate()) {
            if (i + 1 == units || !data[i + 1].isLowSurrogate()) {
                return false;
            }
            ++i;
        } else if (data[i].isLowSurrogate()) {
            return false;
        }
    }
    QTextCodec* codec = QTextCodec::codecForLocale();
    if (!codec) {
        return false;
    }
    QTextCodec::ConverterState state;
    const QByteArray converted = codec->fromUnicode(text.constData(), text.size(), &state);
    if (state.invalidChars > 0) {
        return false;
    }
    out.assign(converted.constData(), static_cast<std::size_t>(converted.size()));
    return true;
}
