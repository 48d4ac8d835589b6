#pragma once

#include <cstddef>

// The reader's few text rules, kept in one place so the parser, the element
// queries and the encoding guess cannot drift apart: names ignore ASCII letter
// case only, and blanks are space, tab, carriage return and line feed.
namespace XmlText {

inline bool IsBlank(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

inline unsigned char FoldCase(unsigned char c)
{
    return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

// Stops at the terminating 0, which is no blank.
inline const char* SkipBlanks(const char* p)
{
    while (IsBlank(static_cast<unsigned char>(*p))) {
        ++p;
    }
    return p;
}

inline std::size_t SkipBlanks(const unsigned char* bytes, std::size_t i, std::size_t limit)
{
    while (i < limit && IsBlank(bytes[i])) {
        ++i;
    }
    return i;
}

// length bytes of pattern against text; stops early at a difference, so a text
// shorter than the pattern ends at its terminating 0 (the patterns hold none).
inline bool StartsWithNoCase(const char* text, const char* pattern, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        if (FoldCase(static_cast<unsigned char>(text[i])) != FoldCase(static_cast<unsigned char>(pattern[i]))) {
            return false;
        }
    }
    return true;
}

// Two NUL-terminated names.
inline bool EqualNoCase(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        const unsigned char x = FoldCase(static_cast<unsigned char>(*a));
        if (x != FoldCase(static_cast<unsigned char>(*b))) {
            return false;
        }
        if (x == 0) {
            return true;
        }
    }
}

} // namespace XmlText
