#include "Halvorn/XmlElement.h"

#include "ErrorBox.h"
#include "Halvorn/XmlEncoding.h"
#include "XmlDocument.h"
#include "XmlNode.h"
#include "XmlParser.h"
#include "XmlText.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

namespace {

const char* const ErrorTexts[] = {
    "No error",
    "Warning: Unmatched end tag",
    "Error: No XML data",
    "Error: First token not start tag",
    "Error: Missing start tag name",
    "Error: Missing end tag name",
    "Error: Unmatched quote",
    "Error: Unmatched end tag",
    "Error: Unmatched clear tag end",
    "Error: Unexpected token found",
    "Error: Invalid tag found",
    "Error: No elements found",
    "Error: File not found",
    "Error: First Tag not found",
    "Error: Unknown character entity",
    "Error: unable to convert between UNICODE and MultiByte chars",
    "Error: unable to open file for writing",
    "Error: cannot write into file",
    "Warning: Base64-string length is not a multiple of 4",
    "Error: Base64-string contains an illegal character",
    "Warning: Base64-string is truncated",
    "Error: Base64 decode output buffer is too small",
};

const std::size_t FirstBytesForGuess = 200;

bool HasName(const XmlNode* node, const char* name)
{
    return node->mName && name && XmlText::EqualNoCase(node->mName, name);
}

// The first child with the name; declarations of another name are searched too.
XmlNode* FindFirstTag(XmlNode* node, const char* name)
{
    for (int i = 0; i < node->mChildCount; ++i) {
        XmlNode* child = node->mChildren[i];
        if (HasName(child, name)) {
            return child;
        }
        if (child->mDeclaration) {
            if (XmlNode* found = FindFirstTag(child, name)) {
                return found;
            }
        }
    }
    return nullptr;
}

std::string FormatMessage(const std::string& path, const std::string& firstTag, const XmlParseResult& result)
{
    std::string message = "XML Parsing error inside file '" + path + "'.\n" + XmlElement::ErrorText(result.code) +
                          "\nAt line " + std::to_string(result.line) + ", column " + std::to_string(result.column) +
                          ".\n";
    if (result.code == XmlParseResult::FirstTagNotFound) {
        message += "First Tag should be '" + firstTag + "'.\n";
    }
    return message;
}

// Keeps the end of a text (a path's file name matters most), cut at a UTF-8
// character boundary and marked with "...".
std::string KeepTail(const std::string& text, std::size_t excess)
{
    const std::string mark = "...";
    if (excess + mark.size() >= text.size()) {
        return mark;
    }
    std::size_t start = excess + mark.size();
    while (start < text.size() && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) {
        ++start;
    }
    return mark + text.substr(start);
}

bool ReadWholeFile(const char* path, std::vector<char>& bytes)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        return false;
    }
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || S_ISDIR(status.st_mode)) {
        std::fclose(file);
        return false;
    }
    if (status.st_size > 0) {
        bytes.reserve(static_cast<std::size_t>(status.st_size) + 1);
    }
    // Read to the end rather than trusting the size: pipes and growing files.
    char buffer[65536];
    std::size_t read;
    while ((read = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + read);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return !failed;
}

} // namespace

XmlElement XmlElement::OpenFile(const char* path, const char* firstTag)
{
    if (path) {
        if (std::FILE* file = std::fopen(path, "rb")) {
            unsigned char bytes[FirstBytesForGuess];
            const std::size_t count = std::fread(bytes, 1, sizeof bytes, file);
            std::fclose(file);
            XmlEncoding::UseUtf8Table(XmlEncoding::GuessUtf8(bytes, count, true));
            XmlEncoding::SetWideTextDetection(true);
        }
    }

    XmlParseResult result;
    XmlElement element = ParseFile(path, firstTag, &result);
    if (result.code == XmlParseResult::Ok) {
        return element;
    }
    // Nothing is unwound on the way out, so let go of the tree here.
    element = XmlElement();
    const std::string message = ErrorMessage(path, firstTag, result);
    std::cerr << message.substr(0, message.size() - 1) << std::endl;
    // Fails at once without a display; then there is only the log line.
    Vexel::ShowErrorBox("XML Parsing error", message);
    std::exit(255);
}

XmlElement XmlElement::ParseFile(const char* path, const char* firstTag, XmlParseResult* result)
{
    if (result) {
        result->line = 0;
        result->column = 0;
        result->nestedTooDeep = false;
    }
    std::vector<char> bytes;
    if (!path || !ReadWholeFile(path, bytes)) {
        if (result) {
            result->code = XmlParseResult::FileNotFound;
        }
        return XmlElement();
    }
    if (bytes.empty()) {
        if (result) {
            result->code = XmlParseResult::NoXmlData;
        }
        return XmlElement();
    }
    const std::size_t size = bytes.size();
    bytes.push_back('\0');
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());

    const XmlEncoding::Utf16 utf16 =
        XmlEncoding::WideTextDetection() ? XmlEncoding::DetectUtf16(data, size) : XmlEncoding::Utf16::None;
    if (utf16 != XmlEncoding::Utf16::None) {
        const bool bigEndian = utf16 == XmlEncoding::Utf16::BigEndian;
        std::size_t skip = 0;
        if (size >= 2 && data[0] == (bigEndian ? 0xFE : 0xFF) && data[1] == (bigEndian ? 0xFF : 0xFE)) {
            skip = 2;
        }
        std::string converted;
        if (!XmlEncoding::Utf16ToLocal8Bit(data + skip, size - skip, bigEndian, converted)) {
            if (result) {
                result->code = XmlParseResult::ConversionFailed;
            }
            return XmlElement();
        }
        bytes.clear();
        bytes.shrink_to_fit();
        return ParseText(converted.c_str(), firstTag, result);
    }
    std::size_t start = 0;
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
        start = 3;
    }
    return ParseText(bytes.data() + start, firstTag, result);
}

XmlElement XmlElement::ParseText(const char* text, const char* firstTag, XmlParseResult* result)
{
    if (!text) {
        if (result) {
            *result = XmlParseResult{XmlParseResult::NoElements, 0, 0};
        }
        return XmlElement();
    }

    XmlParser parser(text, std::strlen(text), XmlEncoding::CharLengthTable(), XmlEncoding::Utf8TableInForce());
    XmlNode* top = parser.Parse();
    XmlElement element = Adopt(top);
    int code = parser.Code();

    if (top->mChildCount == 1 && top->mTextCount == 0 && top->mClearCount == 0 && top->mAttributeCount == 0) {
        element = XmlElement(top->mChildren[0]);
    }
    if (code != XmlParseResult::Ok && code != XmlParseResult::UnmatchedEndTagWarning) {
        element = XmlElement();
    } else if (firstTag && *firstTag && !HasName(element.mNode, firstTag)) {
        XmlNode* found = FindFirstTag(element.mNode, firstTag);
        if (found) {
            element = XmlElement(found);
        } else {
            element = XmlElement();
            code = XmlParseResult::FirstTagNotFound;
        }
    }

    if (result) {
        result->code = code;
        result->line = 0;
        result->column = 0;
        result->nestedTooDeep = parser.NestedTooDeep();
        if (code != XmlParseResult::Ok && code != XmlParseResult::FirstTagNotFound) {
            parser.ErrorPosition(result->line, result->column);
        }
    }
    return element;
}

const char* XmlElement::ErrorText(int code)
{
    const int count = static_cast<int>(sizeof ErrorTexts / sizeof ErrorTexts[0]);
    return code >= 0 && code < count ? ErrorTexts[code] : "Unknown";
}

std::string XmlElement::ErrorMessage(const char* path, const char* firstTag, const XmlParseResult& result)
{
    std::string shownPath = path ? path : "";
    std::string shownTag = firstTag ? firstTag : "";
    std::string message = FormatMessage(shownPath, shownTag, result);
    const std::size_t limit = static_cast<std::size_t>(MaxMessageLength);
    if (message.size() > limit) {
        shownPath = KeepTail(shownPath, message.size() - limit);
        message = FormatMessage(shownPath, shownTag, result);
    }
    if (message.size() > limit) {
        shownTag = KeepTail(shownTag, message.size() - limit);
        message = FormatMessage(shownPath, shownTag, result);
    }
    return message;
}

XmlElement::XmlElement(XmlNode* node) : mNode(node)
{
    if (mNode) {
        XmlNode::AddHandle(mNode);
    }
}

XmlElement XmlElement::Adopt(XmlNode* node)
{
    XmlElement element;
    element.mNode = node;
    return element;
}

XmlElement::XmlElement(const XmlElement& other) : XmlElement(other.mNode)
{
}

XmlElement::XmlElement(XmlElement&& other) noexcept : mNode(std::exchange(other.mNode, nullptr))
{
}

XmlElement& XmlElement::operator=(const XmlElement& other)
{
    XmlElement copy(other);
    std::swap(mNode, copy.mNode);
    return *this;
}

XmlElement& XmlElement::operator=(XmlElement&& other) noexcept
{
    XmlElement taken(std::move(other));
    std::swap(mNode, taken.mNode);
    return *this;
}

XmlElement::~XmlElement()
{
    if (mNode) {
        XmlNode::ReleaseHandle(mNode);
    }
}

XmlElement XmlElement::Child(const char* name) const
{
    return Child(name, 0);
}

XmlElement XmlElement::Child(const char* name, int n) const
{
    if (!mNode || n < 0) {
        return XmlElement();
    }
    for (int i = 0; i < mNode->mChildCount; ++i) {
        if (HasName(mNode->mChildren[i], name) && n-- == 0) {
            return XmlElement(mNode->mChildren[i]);
        }
    }
    return XmlElement();
}

int XmlElement::ChildCount(const char* name) const
{
    int count = 0;
    for (int i = 0; mNode && i < mNode->mChildCount; ++i) {
        if (HasName(mNode->mChildren[i], name)) {
            ++count;
        }
    }
    return count;
}

std::vector<XmlElement> XmlElement::Children(const char* name) const
{
    std::vector<XmlElement> children;
    for (int i = 0; mNode && i < mNode->mChildCount; ++i) {
        if (HasName(mNode->mChildren[i], name)) {
            children.push_back(XmlElement(mNode->mChildren[i]));
        }
    }
    return children;
}

const char* XmlElement::Text(int i) const
{
    return mNode && i >= 0 && i < mNode->mTextCount ? mNode->mTexts[i] : nullptr;
}

const char* XmlElement::Attribute(const char* name) const
{
    const int i = AttributeIndex(name);
    return i >= 0 ? mNode->mAttributes[i].value : nullptr;
}

int XmlElement::AttributeIndex(const char* name) const
{
    for (int i = 0; mNode && name && i < mNode->mAttributeCount; ++i) {
        if (XmlText::EqualNoCase(mNode->mAttributes[i].name, name)) {
            return i;
        }
    }
    return -1;
}

int XmlElement::AttributeCount() const
{
    return mNode ? mNode->mAttributeCount : 0;
}

const char* XmlElement::AttributeName(int i) const
{
    return mNode && i >= 0 && i < mNode->mAttributeCount ? mNode->mAttributes[i].name : nullptr;
}

const char* XmlElement::AttributeValue(int i) const
{
    return mNode && i >= 0 && i < mNode->mAttributeCount ? mNode->mAttributes[i].value : nullptr;
}

const char* XmlElement::Name() const
{
    return mNode ? mNode->mName : nullptr;
}

bool XmlElement::IsDeclaration() const
{
    return mNode && mNode->mDeclaration;
}

int XmlElement::ChildCount() const
{
    return mNode ? mNode->mChildCount : 0;
}

XmlElement XmlElement::ChildAt(int i) const
{
    return mNode && i >= 0 && i < mNode->mChildCount ? XmlElement(mNode->mChildren[i]) : XmlElement();
}

int XmlElement::TextCount() const
{
    return mNode ? mNode->mTextCount : 0;
}

int XmlElement::ClearCount() const
{
    return mNode ? mNode->mClearCount : 0;
}

const char* XmlElement::ClearContent(int i) const
{
    return mNode && i >= 0 && i < mNode->mClearCount ? mNode->mClears[i].content : nullptr;
}

const char* XmlElement::ClearOpener(int i) const
{
    return mNode && i >= 0 && i < mNode->mClearCount ? mNode->mClears[i].opener : nullptr;
}

const char* XmlElement::ClearCloser(int i) const
{
    return mNode && i >= 0 && i < mNode->mClearCount ? mNode->mClears[i].closer : nullptr;
}

int XmlElement::UseCount() const
{
    return mNode ? mNode->mRefCount : 0;
}

int XmlElement::Line() const
{
    int line = 0;
    int column = 0;
    if (mNode && mNode->mName) {
        mNode->mDocument->ElementPosition(mNode->mName, line, column);
    }
    return line;
}

int XmlElement::Column() const
{
    int line = 0;
    int column = 0;
    if (mNode && mNode->mName) {
        mNode->mDocument->ElementPosition(mNode->mName, line, column);
    }
    return column;
}

int XmlElement::AttributeLine(int i) const
{
    int line = 0;
    int column = 0;
    if (mNode && i >= 0 && i < mNode->mAttributeCount) {
        mNode->mDocument->AttributePosition(mNode->mAttributes[i].name, line, column);
    }
    return line;
}

int XmlElement::AttributeColumn(int i) const
{
    int line = 0;
    int column = 0;
    if (mNode && i >= 0 && i < mNode->mAttributeCount) {
        mNode->mDocument->AttributePosition(mNode->mAttributes[i].name, line, column);
    }
    return column;
}
