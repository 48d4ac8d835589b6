#pragma once

#include "Halvorn/XmlParseResult.h"
#include "XmlNode.h"

#include <cstddef>
#include <vector>

class XmlDocument;

// One pass over a NUL-terminated 8-bit text into a tree. Nesting is kept on an
// explicit stack, so hostile depth cannot exhaust the call stack.
class XmlParser
{
public:
    // text[length] must be the terminating 0 byte; charLengths is the table in force.
    XmlParser(const char* text, std::size_t length, const unsigned char* charLengths, bool utf8);
    XmlParser(const XmlParser&) = delete;
    XmlParser& operator=(const XmlParser&) = delete;

    // The top node, with one reference for the caller; never null.
    XmlNode* Parse();
    int Code() const { return mCode; }
    // Whether parsing stopped at an element nested deeper than the limit.
    bool NestedTooDeep() const { return mNestedTooDeep; }
    // Where the error (or the first warning) was found, counted from 1.
    void ErrorPosition(int& line, int& column) const;

private:
    enum class TokenType { End, Clear, Quoted, EndTagStart, DeclarationStart, TagStart, ShortClose, Equals, Close, Plain };
    struct Token
    {
        TokenType type;
        const char* start;
        const char* end;     // one past the token
        int clear;           // which section opened, for TokenType::Clear
        unsigned char seen;  // SawAmpersand, SawMultiByte: what decoding must look for
    };
    enum : unsigned char { SawAmpersand = 1, SawMultiByte = 2 };
    struct Frame
    {
        Frame(XmlNode* node_, std::size_t children_, std::size_t texts_, std::size_t clears_, std::size_t attributes_)
            : node(node_), children(children_), texts(texts_), clears(clears_), attributes(attributes_)
        {
        }

        XmlNode* node;
        std::size_t children;
        std::size_t texts;
        std::size_t clears;
        std::size_t attributes;
    };

    // Whole characters, but never past the terminating 0, whatever the lead byte claims.
    const char* Next(const char* p) const
    {
        const std::size_t length = mLengths[static_cast<unsigned char>(*p)];
        const std::size_t left = static_cast<std::size_t>(mEnd - p);
        return p + (length < left ? length : left);
    }
    Token NextToken(const char* p) const;
    Token ScanPlain(const char* p) const;
    Token ScanQuoted(const char* p) const;
    bool StepOverMarked(const char*& q, unsigned char& seen) const;
    // The token at a "<".
    Token ScanMarkup(const char* p) const;
    int MatchClearOpener(const char* p) const;
    const char* FindCloser(const char* p, int clear) const;
    const char* ScanToMarkup(const char* p, bool& sawMultiByte) const;

    void ParseContent();
    bool ParseStartTag(const char*& p, bool declaration);
    bool ParseEndTag(const char*& p);
    bool ParseClear(const Token& opener, const char*& p);
    void AddAttributeWithoutValue(const char* name, const char* nameEnd, bool declaration);
    // The span's place in the document's copy of the text, ended with a 0 there.
    char* Terminate(const char* start, const char* end);
    // Entities and character references decoded in place in that copy; null on a bad one.
    char* Decode(const char* start, const char* end, unsigned char seen);
    bool DecodeReference(const char*& q, const char* end, char*& out) const;
    void WriteCharacter(unsigned long value, unsigned lowByte, char*& out) const;

    void PushFrame(XmlNode* node);
    void EndElement();
    XmlNode* Current() const { return mFrames.back().node; }
    void Fail(int code, const char* position);
    void Warn(const char* position);

    const char* mBegin;
    const char* mEnd;
    const unsigned char* mLengths;
    // What each byte means to the scanners; multi-byte leads depend on the table.
    const unsigned char* mClasses;
    bool mUtf8;
    bool mSingleByte;
    XmlDocument* mDocument = nullptr;
    // The text's copy in the document: names, values and texts are ended and
    // decoded in place there, while scanning reads the caller's text.
    char* mCopy = nullptr;
    int mCode = XmlParseResult::Ok;
    bool mNestedTooDeep = false;
    const char* mErrorPosition = nullptr;
    const char* mWarningPosition = nullptr;

    std::vector<Frame> mFrames;
    std::vector<XmlNode*> mChildren;
    std::vector<const char*> mTexts;
    std::vector<XmlClearItem> mClears;
    std::vector<XmlAttributeItem> mAttributes;
};
