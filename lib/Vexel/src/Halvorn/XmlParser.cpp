#include "XmlParser.h"

#include "Halvorn/XmlElement.h"
#include "Halvorn/XmlEncoding.h"
#include "XmlDocument.h"

#include <climits>
#include <cstdint>
#include <cstring>

namespace {

struct ClearSection
{
    const char* opener;
    std::size_t openerLength;
    const char* closer;
    std::size_t closerLength;
};

// Tried in this order; openers ignore letter case, closers do not.
const ClearSection ClearSections[] = {
    {"<![CDATA[", 9, "]]>", 3},
    {"<PRE>", 5, "</PRE>", 6},
    {"<Script>", 8, "</Script>", 9},
    {"<!--", 4, "-->", 3},
    {"<!DOCTYPE", 9, ">", 1},
};

struct Entity
{
    const char* name;  // after the "&", with its ";"
    std::size_t length;
    char value;
};

const Entity Entities[] = {
    {"amp;", 4, '&'}, {"lt;", 3, '<'}, {"gt;", 3, '>'}, {"quot;", 5, '"'}, {"apos;", 5, '\''},
};

enum : unsigned char { SpaceClass = 1, StopClass = 2, SlashClass = 4, EndNameClass = 8 };

struct CharClasses
{
    unsigned char value[256];
    unsigned char fold[256];

    CharClasses() : value(), fold()
    {
        for (const unsigned char c : {' ', '\t', '\r', '\n'}) {
            value[c] = SpaceClass | StopClass | EndNameClass;
        }
        for (const unsigned char c : {'<', '>', '='}) {
            value[c] = StopClass | EndNameClass;
        }
        value[0] = StopClass;
        value[static_cast<unsigned char>('/')] = SlashClass | EndNameClass;
        for (int c = 0; c < 256; ++c) {
            fold[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
    }
};

const CharClasses Classes;

inline unsigned char Byte(const char* p)
{
    return static_cast<unsigned char>(*p);
}

inline bool IsSpace(unsigned char c)
{
    return (Classes.value[c] & SpaceClass) != 0;
}

inline const char* SkipSpace(const char* p)
{
    while (IsSpace(Byte(p))) {
        ++p;
    }
    return p;
}

inline const char* TrimEnd(const char* start, const char* end)
{
    while (end > start && IsSpace(Byte(end - 1))) {
        --end;
    }
    return end;
}

// Compares length bytes of pattern with text, ignoring ASCII letter case; stops
// at the text's terminating 0 since the patterns hold none.
inline bool StartsWithNoCase(const char* text, const char* pattern, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        if (Classes.fold[Byte(text + i)] != Classes.fold[Byte(pattern + i)]) {
            return false;
        }
    }
    return true;
}

inline bool StartsWith(const char* text, const char* pattern, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] != pattern[i]) {
            return false;
        }
    }
    return true;
}

// The element's name against the text of an end tag (or a pending one).
bool EndTagMatches(const XmlNode* node, const char* text)
{
    if (!node->mName) {
        return false;
    }
    const std::size_t length = static_cast<std::size_t>(node->mNameLength);
    return StartsWithNoCase(text, node->mName, length) && (Classes.value[Byte(text + length)] & EndNameClass) != 0;
}

int DigitValue(unsigned char c, unsigned base)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (base == 16) {
        const unsigned char lower = Classes.fold[c];
        if (lower >= 'a' && lower <= 'f') {
            return lower - 'a' + 10;
        }
    }
    return -1;
}

const std::size_t InitialScratch = 64;

} // namespace

XmlParser::XmlParser(const char* text, std::size_t length, const unsigned char* charLengths, bool utf8)
    : mBegin(text),
      mEnd(text + length),
      mLengths(charLengths),
      mUtf8(utf8),
      mSingleByte(charLengths == XmlEncoding::kSingleByteLengths)
{
}

XmlNode* XmlParser::Parse()
{
    // Names and texts take at most the text's size; nodes usually less again.
    const std::size_t length = static_cast<std::size_t>(mEnd - mBegin);
    mDocument = XmlDocument::Create(length + length / 2);
    mFrames.reserve(16);
    mChildren.reserve(InitialScratch);
    mTexts.reserve(InitialScratch);
    mClears.reserve(InitialScratch);
    mAttributes.reserve(InitialScratch);

    XmlNode* top = XmlNode::Create(mDocument, nullptr, nullptr, 0, false);
    PushFrame(top);
    ParseContent();
    // After an error the open elements are completed as they stand, so the
    // tree can be released (or, for a warning, returned) in one piece.
    while (!mFrames.empty()) {
        EndElement();
    }
    return top;
}

void XmlParser::ErrorPosition(int& line, int& column) const
{
    const char* position = mCode == 1 ? mWarningPosition : mErrorPosition;
    long long lines = 1;
    long long columns = 1;
    if (position) {
        for (const char* q = mBegin; q < position && q < mEnd; q = Next(q)) {
            if (*q == '\n') {
                ++lines;
                columns = 1;
            } else {
                ++columns;
            }
        }
    }
    line = lines > INT_MAX ? INT_MAX : static_cast<int>(lines);
    column = columns > INT_MAX ? INT_MAX : static_cast<int>(columns);
}

const char* XmlParser::Next(const char* p) const
{
    // Whole characters, but never past the terminating 0, whatever the lead byte claims.
    const std::size_t length = mLengths[Byte(p)];
    const std::size_t left = static_cast<std::size_t>(mEnd - p);
    return p + (length < left ? length : left);
}

XmlParser::Token XmlParser::NextToken(const char* p) const
{
    p = SkipSpace(p);
    switch (*p) {
    case '\0':
        return {TokenType::End, p, p, -1};
    case '<': {
        const int clear = MatchClearOpener(p);
        if (clear >= 0) {
            return {TokenType::Clear, p, p + ClearSections[clear].openerLength, clear};
        }
        if (p[1] == '/') {
            return {TokenType::EndTagStart, p, p + 2, -1};
        }
        if (p[1] == '?') {
            return {TokenType::DeclarationStart, p, p + 2, -1};
        }
        return {TokenType::TagStart, p, p + 1, -1};
    }
    case '"':
    case '\'': {
        const char quote = *p;
        for (const char* q = p + 1;; q = Next(q)) {
            if (*q == quote) {
                return {TokenType::Quoted, p, q + 1, -1};
            }
            if (*q == '\0' || *q == '<') {
                break;
            }
        }
        return ScanPlain(p);
    }
    case '/':
        if (p[1] == '>') {
            return {TokenType::ShortClose, p, p + 2, -1};
        }
        return ScanPlain(p);
    case '=':
        return {TokenType::Equals, p, p + 1, -1};
    case '>':
        return {TokenType::Close, p, p + 1, -1};
    default:
        return ScanPlain(p);
    }
}

XmlParser::Token XmlParser::ScanPlain(const char* p) const
{
    const char* q = p;
    for (;;) {
        q = Next(q);
        const unsigned char kind = Classes.value[Byte(q)];
        if ((kind & StopClass) || ((kind & SlashClass) && q[1] == '>')) {
            return {TokenType::Plain, p, q, -1};
        }
    }
}

int XmlParser::MatchClearOpener(const char* p) const
{
    const unsigned char second = Classes.fold[Byte(p + 1)];
    if (second != '!' && second != 'p' && second != 's') {
        return -1;
    }
    for (int i = 0; i < 5; ++i) {
        if (StartsWithNoCase(p, ClearSections[i].opener, ClearSections[i].openerLength)) {
            return i;
        }
    }
    return -1;
}

const char* XmlParser::FindCloser(const char* p, int clear) const
{
    const ClearSection& section = ClearSections[clear];
    for (; p < mEnd; p = Next(p)) {
        if (*p == section.closer[0] && StartsWith(p, section.closer, section.closerLength)) {
            return p;
        }
    }
    return nullptr;
}

const char* XmlParser::ScanToMarkup(const char* p) const
{
    if (mSingleByte) {
        const void* found = std::memchr(p, '<', static_cast<std::size_t>(mEnd - p));
        return found ? static_cast<const char*>(found) : mEnd;
    }
    const std::uint64_t ones = 0x0101010101010101ull;
    const std::uint64_t highs = 0x8080808080808080ull;
    const std::uint64_t lessThans = ones * '<';
    for (;;) {
        // Eight ASCII bytes at a time until a '<' or a possible multi-byte character.
        while (mEnd - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            const std::uint64_t x = word ^ lessThans;
            if ((((x - ones) & ~x) | word) & highs) {
                break;
            }
            p += 8;
        }
        if (p >= mEnd) {
            return mEnd;
        }
        if (*p == '<') {
            return p;
        }
        p = Next(p);
    }
}

void XmlParser::ParseContent()
{
    const char* p = mBegin;
    for (;;) {
        p = SkipSpace(p);
        const char* textStart = nullptr;
        const char* textEnd = nullptr;
        if (*p != '<' && *p != '\0') {
            textStart = p;
            p = ScanToMarkup(p);
            textEnd = TrimEnd(textStart, p);
        }

        const Token markup = NextToken(p);
        p = markup.end;
        if (textStart) {
            // Text before a clear section is kept as written.
            if (markup.type == TokenType::Clear) {
                mTexts.push_back(mDocument->CopyString(textStart, static_cast<std::size_t>(textEnd - textStart)));
            } else {
                char* text = Decode(textStart, textEnd);
                if (!text) {
                    Fail(14, p);
                    return;
                }
                mTexts.push_back(text);
            }
        }

        switch (markup.type) {
        case TokenType::End: {
            const XmlNode* node = Current();
            if (node->mParent && !node->mDeclaration) {
                Warn(p);
            }
            return;
        }
        case TokenType::Clear:
            if (!ParseClear(markup, p)) {
                return;
            }
            break;
        case TokenType::EndTagStart:
            if (!ParseEndTag(p) || mFrames.empty()) {
                return;
            }
            break;
        default:
            if (!ParseStartTag(p, markup.type == TokenType::DeclarationStart)) {
                return;
            }
            break;
        }
    }
}

bool XmlParser::ParseStartTag(const char*& p, bool declaration)
{
    if (mFrames.size() > static_cast<std::size_t>(XmlElement::MaxDepth)) {
        Fail(9, p);
        return false;
    }
    const Token name = NextToken(p);
    p = name.end;
    if (name.type != TokenType::Plain) {
        Fail(4, p);
        return false;
    }
    const std::size_t nameLength = static_cast<std::size_t>(name.end - name.start);
    XmlNode* node = XmlNode::Create(mDocument, Current(), mDocument->CopyString(name.start, nameLength),
                                    static_cast<int>(nameLength), declaration);
    mChildren.push_back(node);
    PushFrame(node);

    enum { ExpectingAttribute, AfterName, AfterEquals } state = ExpectingAttribute;
    const char* attributeName = nullptr;
    const char* attributeNameEnd = nullptr;
    for (;;) {
        const Token token = NextToken(p);
        p = token.end;
        switch (state) {
        case AfterName:
            if (token.type == TokenType::Equals) {
                state = AfterEquals;
                continue;
            }
            if (token.type != TokenType::Plain && token.type != TokenType::Close && token.type != TokenType::ShortClose) {
                Fail(9, p);
                return false;
            }
            AddAttributeWithoutValue(attributeName, attributeNameEnd, declaration);
            // A name after a name, a close or a short close: as when expecting one.
            [[fallthrough]];
        case ExpectingAttribute:
            if (token.type == TokenType::Plain) {
                attributeName = token.start;
                attributeNameEnd = token.end;
                state = AfterName;
            } else if (token.type == TokenType::Close) {
                return true;
            } else if (token.type == TokenType::ShortClose) {
                EndElement();
                return true;
            } else {
                Fail(9, p);
                return false;
            }
            break;
        case AfterEquals: {
            if (token.type != TokenType::Plain && token.type != TokenType::Quoted) {
                Fail(9, p);
                return false;
            }
            const char* valueStart = token.start;
            const char* valueEnd = token.end;
            if (token.type == TokenType::Quoted) {
                ++valueStart;
                --valueEnd;
            } else if (declaration && valueEnd[-1] == '?') {
                --valueEnd;
            }
            char* value = Decode(valueStart, valueEnd);
            if (!value) {
                Fail(14, p);
                return false;
            }
            mAttributes.push_back(
                {mDocument->CopyString(attributeName, static_cast<std::size_t>(attributeNameEnd - attributeName)), value});
            state = ExpectingAttribute;
            break;
        }
        }
    }
}

void XmlParser::AddAttributeWithoutValue(const char* name, const char* nameEnd, bool declaration)
{
    if (declaration && nameEnd[-1] == '?') {
        --nameEnd;
        if (nameEnd == name) {
            return;
        }
    }
    mAttributes.push_back({mDocument->CopyString(name, static_cast<std::size_t>(nameEnd - name)), nullptr});
}

bool XmlParser::ParseEndTag(const char*& p)
{
    const Token name = NextToken(p);
    p = name.end;
    if (name.type != TokenType::Plain) {
        Fail(5, p);
        return false;
    }
    const Token close = NextToken(p);
    p = close.end;
    if (close.type != TokenType::Close) {
        Fail(5, p);
        return false;
    }

    const char* pending = nullptr;
    if (!EndTagMatches(Current(), name.start)) {
        Warn(p);
        pending = name.start;
    }
    EndElement();
    // An end tag that closes an outer element ends every element in between;
    // one that closes none is an error.
    while (pending && !mFrames.empty()) {
        if (mFrames.size() == 1) {
            Fail(7, p);
            return false;
        }
        if (EndTagMatches(Current(), pending)) {
            pending = nullptr;
        }
        EndElement();
    }
    return true;
}

bool XmlParser::ParseClear(const Token& opener, const char*& p)
{
    const ClearSection& section = ClearSections[opener.clear];
    const char* closer = FindCloser(opener.end, opener.clear);
    if (!closer) {
        Fail(8, opener.end);
        return false;
    }
    mClears.push_back({mDocument->CopyString(opener.end, static_cast<std::size_t>(closer - opener.end)), section.opener,
                       section.closer});
    p = closer + section.closerLength;
    return true;
}

char* XmlParser::Decode(const char* start, const char* end)
{
    const std::size_t length = static_cast<std::size_t>(end - start);
    if (!std::memchr(start, '&', length)) {
        return mDocument->CopyString(start, length);
    }
    // Decoding never lengthens the text (a reference is longer than what it gives).
    char* result = static_cast<char*>(mDocument->Allocate(length + 1, 1));
    char* out = result;
    const char* q = start;
    while (q < end) {
        if (*q == '&') {
            if (!DecodeReference(q, end, out)) {
                return nullptr;
            }
            continue;
        }
        const char* next = Next(q);
        if (next > end) {
            next = end;
        }
        while (q < next) {
            *out++ = *q++;
        }
    }
    *out = '\0';
    return result;
}

bool XmlParser::DecodeReference(const char*& q, const char* end, char*& out) const
{
    const char* p = q + 1;
    if (p < end && *p == '#') {
        ++p;
        unsigned base = 10;
        if (p < end && (*p == 'x' || *p == 'X')) {
            base = 16;
            ++p;
        }
        const char* semicolon = static_cast<const char*>(std::memchr(p, ';', static_cast<std::size_t>(end - p)));
        if (!semicolon) {
            return false;
        }
        unsigned long value = 0;
        unsigned lowByte = 0;
        for (; p < semicolon; ++p) {
            const int digit = DigitValue(Byte(p), base);
            if (digit < 0) {
                return false;
            }
            lowByte = (lowByte * base + static_cast<unsigned>(digit)) & 0xFFu;
            // Saturates above the Unicode range, where the exact value no longer matters.
            if (value <= 0x10FFFF) {
                value = value * base + static_cast<unsigned long>(digit);
            }
        }
        WriteCharacter(value, lowByte, out);
        q = semicolon + 1;
        return true;
    }
    for (const Entity& entity : Entities) {
        if (static_cast<std::size_t>(end - p) >= entity.length && StartsWithNoCase(p, entity.name, entity.length)) {
            *out++ = entity.value;
            q = p + entity.length;
            return true;
        }
    }
    return false;
}

void XmlParser::WriteCharacter(unsigned long value, unsigned lowByte, char*& out) const
{
    // A single byte above 127 would break UTF-8 text, so there the character is
    // encoded; single-byte text keeps the byte.
    if (!mUtf8 || value < 0x80) {
        *out++ = static_cast<char>(lowByte);
        return;
    }
    if ((value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
        value = 0xFFFD;
    }
    if (value < 0x800) {
        *out++ = static_cast<char>(0xC0 | (value >> 6));
    } else if (value < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (value >> 12));
        *out++ = static_cast<char>(0x80 | ((value >> 6) & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (value >> 18));
        *out++ = static_cast<char>(0x80 | ((value >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((value >> 6) & 0x3F));
    }
    *out++ = static_cast<char>(0x80 | (value & 0x3F));
}

void XmlParser::PushFrame(XmlNode* node)
{
    mFrames.push_back({node, mChildren.size(), mTexts.size(), mClears.size(), mAttributes.size()});
}

namespace {

// The items a finished element gathered on a scratch stack move into the
// document at their exact size.
template <typename T> T* TakeItems(XmlDocument* document, std::vector<T>& stack, std::size_t from, int& count)
{
    const std::size_t size = stack.size() - from;
    count = static_cast<int>(size);
    if (size == 0) {
        return nullptr;
    }
    T* items = document->AllocateArray<T>(size);
    std::memcpy(static_cast<void*>(items), stack.data() + from, size * sizeof(T));
    stack.resize(from);
    return items;
}

} // namespace

void XmlParser::EndElement()
{
    const Frame frame = mFrames.back();
    mFrames.pop_back();
    XmlNode* node = frame.node;
    node->mChildren = TakeItems(mDocument, mChildren, frame.children, node->mChildCount);
    node->mTexts = TakeItems(mDocument, mTexts, frame.texts, node->mTextCount);
    node->mClears = TakeItems(mDocument, mClears, frame.clears, node->mClearCount);
    node->mAttributes = TakeItems(mDocument, mAttributes, frame.attributes, node->mAttributeCount);
}

void XmlParser::Fail(int code, const char* position)
{
    mCode = code;
    mErrorPosition = position;
}

void XmlParser::Warn(const char* position)
{
    // The first mismatch is the one worth pointing at; later ones follow from it.
    if (mCode == 0) {
        mCode = 1;
        mWarningPosition = position;
    }
}
