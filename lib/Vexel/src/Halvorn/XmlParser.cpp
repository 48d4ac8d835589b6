#include "XmlParser.h"

#include "Halvorn/XmlElement.h"
#include "Halvorn/XmlEncoding.h"
#include "XmlDocument.h"
#include "XmlText.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

// The tokenizer runs for every name, sign and value of a document: inlined
// into its callers the tokens stay in registers.
#if defined(__GNUC__)
#define VEXEL_XML_HOT inline __attribute__((always_inline))
#else
#define VEXEL_XML_HOT inline
#endif

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

enum : unsigned char {
    StopClass = 2,       // ends plain text: blanks, "<", ">", "=", the terminating 0
    SlashClass = 4,      // ends plain text when followed by ">"
    EndNameClass = 8,    // may follow a matching name in an end tag
    QuoteStopClass = 16, // ends or breaks a quoted text: quotes, "<", the terminating 0
    MultiClass = 32,     // starts a character of more than one byte
    AmpersandClass = 64,
};

struct CharClasses
{
    unsigned char utf8[256];
    unsigned char singleByte[256];

    CharClasses() : utf8(), singleByte()
    {
        for (const unsigned char c : {' ', '\t', '\r', '\n'}) {
            singleByte[c] = StopClass | EndNameClass;
        }
        for (const unsigned char c : {'<', '>', '='}) {
            singleByte[c] = StopClass | EndNameClass;
        }
        singleByte[0] = StopClass | QuoteStopClass;
        singleByte[static_cast<unsigned char>('<')] |= QuoteStopClass;
        singleByte[static_cast<unsigned char>('"')] = QuoteStopClass;
        singleByte[static_cast<unsigned char>('\'')] = QuoteStopClass;
        singleByte[static_cast<unsigned char>('/')] = SlashClass | EndNameClass;
        singleByte[static_cast<unsigned char>('&')] = AmpersandClass;
        for (int c = 0; c < 256; ++c) {
            utf8[c] = singleByte[c];
            if (XmlEncoding::kUtf8Lengths[c] > 1) {
                utf8[c] |= MultiClass;
            }
        }
    }
};

const CharClasses Classes;

inline unsigned char Byte(const char* p)
{
    return static_cast<unsigned char>(*p);
}

inline const char* TrimEnd(const char* start, const char* end)
{
    while (end > start && XmlText::IsBlank(Byte(end - 1))) {
        --end;
    }
    return end;
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
    return XmlText::StartsWithNoCase(text, node->mName, length) &&
           (Classes.singleByte[Byte(text + length)] & EndNameClass) != 0;
}

int DigitValue(unsigned char c, unsigned base)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (base == 16) {
        const unsigned char lower = XmlText::FoldCase(c);
        if (lower >= 'a' && lower <= 'f') {
            return lower - 'a' + 10;
        }
    }
    return -1;
}

// Up to the first byte of one of the classes in mask, four bytes a step. The
// mask must stop at the terminating 0.
inline const char* SkipOrdinary(const unsigned char* classes, const char* q, unsigned char mask)
{
    for (;; q += 4) {
        if (classes[Byte(q)] & mask) {
            return q;
        }
        if (classes[Byte(q + 1)] & mask) {
            return q + 1;
        }
        if (classes[Byte(q + 2)] & mask) {
            return q + 2;
        }
        if (classes[Byte(q + 3)] & mask) {
            return q + 3;
        }
    }
}

const std::size_t InitialScratch = 64;

} // namespace

XmlParser::XmlParser(const char* text, std::size_t length, const unsigned char* charLengths, bool utf8)
    : mBegin(text),
      mEnd(text + length),
      mLengths(charLengths),
      mClasses(charLengths == XmlEncoding::kSingleByteLengths ? Classes.singleByte : Classes.utf8),
      mUtf8(utf8),
      mSingleByte(charLengths == XmlEncoding::kSingleByteLengths)
{
}

XmlNode* XmlParser::Parse()
{
    // The text's two copies, and room for about as much again of nodes and arrays.
    const std::size_t length = static_cast<std::size_t>(mEnd - mBegin);
    mDocument = XmlDocument::Create(3 * length + 64);
    mCopy = mDocument->CopyString(mBegin, length);
    // Positions are worked out from an untouched copy only when asked for:
    // most trees are never asked, and a copy costs less than counting lines.
    mDocument->KeepSource(mDocument->CopyString(mBegin, length), length, mCopy, mLengths);
    mFrames.reserve(16);
    mChildren.reserve(InitialScratch);
    mTexts.reserve(InitialScratch);
    mClears.reserve(InitialScratch);
    mAttributes.reserve(InitialScratch);

    XmlNode* top = XmlNode::Create(mDocument, nullptr, nullptr, 0, false);
    mDocument->AddHandle();  // the caller's
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
    const char* position = mCode == XmlParseResult::UnmatchedEndTagWarning ? mWarningPosition : mErrorPosition;
    XmlDocument::CountPosition(mBegin, mEnd, mLengths, position ? position : mBegin, line, column);
}

VEXEL_XML_HOT XmlParser::Token XmlParser::NextToken(const char* p) const
{
    p = XmlText::SkipBlanks(p);
    switch (*p) {
    case '\0':
        return {TokenType::End, p, p, -1, 0};
    case '<':
        return ScanMarkup(p);
    case '"':
    case '\'':
        return ScanQuoted(p);
    case '/':
        if (p[1] == '>') {
            return {TokenType::ShortClose, p, p + 2, -1, 0};
        }
        return ScanPlain(p);
    case '=':
        return {TokenType::Equals, p, p + 1, -1, 0};
    case '>':
        return {TokenType::Close, p, p + 1, -1, 0};
    default:
        return ScanPlain(p);
    }
}

VEXEL_XML_HOT XmlParser::Token XmlParser::ScanMarkup(const char* p) const
{
    const int clear = MatchClearOpener(p);
    if (clear >= 0) {
        return {TokenType::Clear, p, p + ClearSections[clear].openerLength, clear, 0};
    }
    if (p[1] == '/') {
        return {TokenType::EndTagStart, p, p + 2, -1, 0};
    }
    if (p[1] == '?') {
        return {TokenType::DeclarationStart, p, p + 2, -1, 0};
    }
    return {TokenType::TagStart, p, p + 1, -1, 0};
}

// Steps over an entity's ampersand or a whole multi-byte character, noting
// which in seen; false for any other byte.
VEXEL_XML_HOT bool XmlParser::StepOverMarked(const char*& q, unsigned char& seen) const
{
    const unsigned char kind = mClasses[Byte(q)];
    if (kind & AmpersandClass) {
        seen |= SawAmpersand;
        ++q;
        return true;
    }
    if (kind & MultiClass) {
        seen |= SawMultiByte;
        q = Next(q);
        return true;
    }
    return false;
}

VEXEL_XML_HOT XmlParser::Token XmlParser::ScanQuoted(const char* p) const
{
    const char quote = *p;
    unsigned char seen = 0;
    for (const char* q = p + 1;;) {
        q = SkipOrdinary(mClasses, q, QuoteStopClass | MultiClass | AmpersandClass);
        if (StepOverMarked(q, seen)) {
            continue;
        }
        if (*q == quote) {
            return {TokenType::Quoted, p, q + 1, -1, seen};
        } else if (*q == '\0' || *q == '<') {
            break;
        } else {
            ++q;  // the other quote character
        }
    }
    return ScanPlain(p);
}

VEXEL_XML_HOT XmlParser::Token XmlParser::ScanPlain(const char* p) const
{
    // The first character never stops it: the token kinds before plain text
    // have taken every character that could.
    const char* q = p;
    unsigned char seen = 0;
    for (;;) {
        q = SkipOrdinary(mClasses, q, StopClass | SlashClass | MultiClass | AmpersandClass);
        if (StepOverMarked(q, seen)) {
            continue;
        }
        if ((mClasses[Byte(q)] & StopClass) || q[1] == '>') {
            return {TokenType::Plain, p, q, -1, seen};
        } else {
            ++q;
        }
    }
}

int XmlParser::MatchClearOpener(const char* p) const
{
    // The character after "<" tells which openers can match at all.
    static const int bang[] = {0, 3, 4};
    static const int pre[] = {1};
    static const int script[] = {2};
    const int* candidates;
    int count;
    switch (XmlText::FoldCase(Byte(p + 1))) {
    case '!':
        candidates = bang;
        count = 3;
        break;
    case 'p':
        candidates = pre;
        count = 1;
        break;
    case 's':
        candidates = script;
        count = 1;
        break;
    default:
        return -1;
    }
    for (int i = 0; i < count; ++i) {
        const ClearSection& section = ClearSections[candidates[i]];
        if (XmlText::StartsWithNoCase(p, section.opener, section.openerLength)) {
            return candidates[i];
        }
    }
    return -1;
}

const char* XmlParser::FindCloser(const char* p, int clear) const
{
    const ClearSection& section = ClearSections[clear];
    const char first = section.closer[0];
    while (p < mEnd) {
        if (*p == first && StartsWith(p, section.closer, section.closerLength)) {
            return p;
        }
        p = (mClasses[Byte(p)] & MultiClass) ? Next(p) : p + 1;
    }
    return nullptr;
}

const char* XmlParser::ScanToMarkup(const char* p, bool& sawMultiByte) const
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
        if (mClasses[Byte(p)] & MultiClass) {
            sawMultiByte = true;
        }
        p = Next(p);
    }
}

void XmlParser::ParseContent()
{
    const char* p = mBegin;
    for (;;) {
        p = XmlText::SkipBlanks(p);
        const char* textStart = nullptr;
        const char* textEnd = nullptr;
        bool sawMultiByte = false;
        if (*p != '<' && *p != '\0') {
            textStart = p;
            p = ScanToMarkup(p, sawMultiByte);
            textEnd = TrimEnd(textStart, p);
        }

        // Only "<" or the end can be here.
        const Token markup = *p ? ScanMarkup(p) : Token{TokenType::End, p, p, -1, 0};
        p = markup.end;
        if (textStart) {
            // Text before a clear section is kept as written.
            if (markup.type == TokenType::Clear) {
                mTexts.push_back(Terminate(textStart, textEnd));
            } else {
                const std::size_t length = static_cast<std::size_t>(textEnd - textStart);
                const unsigned char seen = (std::memchr(textStart, '&', length) ? SawAmpersand : 0) |
                                           (sawMultiByte ? SawMultiByte : 0);
                char* text = Decode(textStart, textEnd, seen);
                if (!text) {
                    Fail(XmlParseResult::UnknownCharacterEntity, p);
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
        mNestedTooDeep = true;
        Fail(XmlParseResult::UnexpectedToken, p);
        return false;
    }
    const Token name = NextToken(p);
    p = name.end;
    if (name.type != TokenType::Plain) {
        Fail(XmlParseResult::MissingStartTagName, p);
        return false;
    }
    const std::size_t nameLength = static_cast<std::size_t>(name.end - name.start);
    XmlNode* node = XmlNode::Create(mDocument, Current(), Terminate(name.start, name.end),
                                    static_cast<int>(nameLength), declaration);
    mChildren.push_back(node);
    PushFrame(node);

    enum { ExpectingAttribute, AfterName, AfterEquals } state = ExpectingAttribute;
    const char* attributeName = nullptr;
    const char* attributeNameEnd = nullptr;
    for (;;) {
        // Each state nearly always sees one kind of token: tried first, it
        // spares the general dispatch (and its mispredicted jumps).
        p = XmlText::SkipBlanks(p);
        const unsigned char c = Byte(p);
        Token token;
        if (state == AfterName && c == '=') {
            token = {TokenType::Equals, p, p + 1, -1, 0};
        } else if (state == AfterEquals && (c == '"' || c == '\'')) {
            token = ScanQuoted(p);
        } else if (state == ExpectingAttribute && !(mClasses[c] & (StopClass | QuoteStopClass | SlashClass))) {
            token = ScanPlain(p);
        } else {
            token = NextToken(p);
        }
        p = token.end;
        switch (state) {
        case AfterName:
            if (token.type == TokenType::Equals) {
                state = AfterEquals;
                continue;
            }
            if (token.type != TokenType::Plain && token.type != TokenType::Close && token.type != TokenType::ShortClose) {
                Fail(XmlParseResult::UnexpectedToken, p);
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
                Fail(XmlParseResult::UnexpectedToken, p);
                return false;
            }
            break;
        case AfterEquals: {
            if (token.type != TokenType::Plain && token.type != TokenType::Quoted) {
                Fail(XmlParseResult::UnexpectedToken, p);
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
            char* value = Decode(valueStart, valueEnd, token.seen);
            if (!value) {
                Fail(XmlParseResult::UnknownCharacterEntity, p);
                return false;
            }
            mAttributes.emplace_back(Terminate(attributeName, attributeNameEnd), value);
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
    mAttributes.emplace_back(Terminate(name, nameEnd), nullptr);
}

bool XmlParser::ParseEndTag(const char*& p)
{
    p = XmlText::SkipBlanks(p);
    const Token name = !(mClasses[Byte(p)] & (StopClass | QuoteStopClass | SlashClass)) ? ScanPlain(p) : NextToken(p);
    p = name.end;
    if (name.type != TokenType::Plain) {
        Fail(XmlParseResult::MissingEndTagName, p);
        return false;
    }
    p = XmlText::SkipBlanks(p);
    const Token close = *p == '>' ? Token{TokenType::Close, p, p + 1, -1, 0} : NextToken(p);
    p = close.end;
    if (close.type != TokenType::Close) {
        Fail(XmlParseResult::MissingEndTagName, p);
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
            Fail(XmlParseResult::UnmatchedEndTag, p);
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
        Fail(XmlParseResult::UnmatchedClearTagEnd, opener.end);
        return false;
    }
    mClears.emplace_back(Terminate(opener.end, closer), section.opener, section.closer);
    p = closer + section.closerLength;
    return true;
}

char* XmlParser::Decode(const char* start, const char* end, unsigned char seen)
{
    if (!(seen & SawAmpersand)) {
        return Terminate(start, end);
    }
    // Decoding never lengthens the text (a reference is longer than what it
    // gives), so the result fits in the copy of the span.
    char* result = mCopy + (start - mBegin);
    char* out = result;
    const char* q = start;
    if (!(seen & SawMultiByte)) {
        // Every character is one byte. What comes before the first reference
        // is in place already; after it, the bytes move up.
        const char* ampersand = static_cast<const char*>(std::memchr(q, '&', static_cast<std::size_t>(end - q)));
        out += ampersand - q;
        q = ampersand;
        while (ampersand) {
            if (!DecodeReference(q, end, out)) {
                return nullptr;
            }
            ampersand = static_cast<const char*>(std::memchr(q, '&', static_cast<std::size_t>(end - q)));
            const char* runEnd = ampersand ? ampersand : end;
            std::memcpy(out, q, static_cast<std::size_t>(runEnd - q));
            out += runEnd - q;
            q = runEnd;
        }
    }
    while (q < end) {
        const unsigned char kind = mClasses[Byte(q)];
        if (!(kind & (AmpersandClass | MultiClass))) {
            *out++ = *q++;
        } else if (kind & AmpersandClass) {
            if (!DecodeReference(q, end, out)) {
                return nullptr;
            }
        } else {
            const char* next = Next(q);
            if (next > end) {
                next = end;
            }
            while (q < next) {
                *out++ = *q++;
            }
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
        const char* semicolon = p;
        while (semicolon < end && *semicolon != ';') {
            ++semicolon;
        }
        if (semicolon == end) {
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
    const Entity* entity;
    switch (XmlText::FoldCase(Byte(p))) {
    case 'a':
        entity = XmlText::FoldCase(Byte(p + 1)) == 'm' ? &Entities[0] : &Entities[4];
        break;
    case 'l':
        entity = &Entities[1];
        break;
    case 'g':
        entity = &Entities[2];
        break;
    case 'q':
        entity = &Entities[3];
        break;
    default:
        return false;
    }
    if (static_cast<std::size_t>(end - p) < entity->length || !XmlText::StartsWithNoCase(p, entity->name, entity->length)) {
        return false;
    }
    *out++ = entity->value;
    q = p + entity->length;
    return true;
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

char* XmlParser::Terminate(const char* start, const char* end)
{
    // Spans never overlap and each is followed by a delimiter (or the text's
    // end), so the 0 lands on a byte no other item needs.
    char* copy = mCopy + (start - mBegin);
    copy[end - start] = '\0';
    return copy;
}

void XmlParser::PushFrame(XmlNode* node)
{
    // Built in place: a temporary copied over costs a store-forwarding stall.
    mFrames.emplace_back(node, mChildren.size(), mTexts.size(), mClears.size(), mAttributes.size());
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
    stack.erase(stack.begin() + static_cast<std::ptrdiff_t>(from), stack.end());
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
    if (mCode == XmlParseResult::Ok) {
        mCode = XmlParseResult::UnmatchedEndTagWarning;
        mWarningPosition = position;
    }
}
