// ParseText over arbitrary bytes, with both character tables, and a walk over
// whatever tree comes back. Besides the sanitizers it checks what must hold
// for any input: the codes the reader can give for a text, positions, and that
// valid UTF-8 in gives valid UTF-8 out.
#include "Halvorn/XmlElement.h"
#include "Halvorn/XmlEncoding.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

bool ValidUtf8(const char* text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        const unsigned char c = *p;
        int length;
        unsigned long value;
        if (c < 0x80) {
            ++p;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            value = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            value = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            value = c & 0x07;
        } else {
            return false;
        }
        for (int i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80) {
                return false;
            }
            value = (value << 6) | (p[i] & 0x3F);
        }
        const unsigned long minimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (value < minimum[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            return false;
        }
        p += length;
    }
    return true;
}

void CheckText(const char* text, bool mustBeUtf8)
{
    if (text && mustBeUtf8) {
        Check(ValidUtf8(text));
    }
}

void Walk(const XmlElement& root, bool mustBeUtf8)
{
    std::vector<XmlElement> pending{root};
    while (!pending.empty()) {
        const XmlElement element = pending.back();
        pending.pop_back();
        Check(element.UseCount() >= 1);
        const char* name = element.Name();
        Check(!name || *name);
        CheckText(name, mustBeUtf8);
        // Every named element has a place; its attributes come after its "<".
        Check(name ? element.Line() >= 1 && element.Column() >= 1 : element.Line() == 0);
        for (int i = 0; i < element.TextCount(); ++i) {
            Check(element.Text(i) != nullptr);
            CheckText(element.Text(i), mustBeUtf8);
        }
        Check(element.Text(element.TextCount()) == nullptr);
        for (int i = 0; i < element.AttributeCount(); ++i) {
            const char* attribute = element.AttributeName(i);
            Check(attribute && *attribute);
            CheckText(attribute, mustBeUtf8);
            CheckText(element.AttributeValue(i), mustBeUtf8);
            const int line = element.AttributeLine(i);
            Check(line > element.Line() || (line == element.Line() && element.AttributeColumn(i) > element.Column()));
            // The first attribute of a name answers for it.
            const char* value = element.Attribute(attribute);
            for (int j = 0; j <= i; ++j) {
                if (strcasecmp(element.AttributeName(j), attribute) == 0) {
                    Check(value == element.AttributeValue(j));
                    break;
                }
            }
        }
        for (int i = 0; i < element.ClearCount(); ++i) {
            Check(element.ClearOpener(i) && element.ClearCloser(i));
            CheckText(element.ClearContent(i), mustBeUtf8);
        }
        for (int i = 0; i < element.ChildCount(); ++i) {
            const XmlElement child = element.ChildAt(i);
            Check(element.ChildCount(child.Name()) >= 1);
            Check(!element.Child(child.Name()).IsEmpty());
            pending.push_back(child);
        }
    }
}

void ParseOnce(const std::string& text, bool utf8, const char* firstTag)
{
    XmlEncoding::UseUtf8Table(utf8);
    XmlParseResult result{-1, -1, -1};
    const XmlElement element = XmlElement::ParseText(text.c_str(), firstTag, &result);

    using R = XmlParseResult;
    const int code = result.code;
    Check(code == R::Ok || code == R::UnmatchedEndTagWarning || code == R::MissingStartTagName ||
          code == R::MissingEndTagName || code == R::UnmatchedEndTag || code == R::UnmatchedClearTagEnd ||
          code == R::UnexpectedToken || code == R::FirstTagNotFound || code == R::UnknownCharacterEntity);
    Check(element.IsEmpty() == (code > R::UnmatchedEndTagWarning));
    if (code == R::Ok || code == R::FirstTagNotFound) {
        Check(result.line == 0 && result.column == 0);
    } else {
        const long lines = 1 + static_cast<long>(std::count(text.c_str(), text.c_str() + std::strlen(text.c_str()), '\n'));
        Check(result.line >= 1 && result.line <= lines && result.column >= 1);
        Check(static_cast<std::size_t>(result.column) <= std::strlen(text.c_str()) + 1);
    }
    if (!element.IsEmpty()) {
        Walk(element, utf8 && ValidUtf8(text.c_str()));
    }
    Check(XmlElement::ErrorMessage(text.c_str(), firstTag, result).size() <=
          static_cast<std::size_t>(XmlElement::MaxMessageLength));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    ParseOnce(text, true, nullptr);
    ParseOnce(text, false, "a");

    XmlEncoding::GuessUtf8(data, size, true);
    XmlEncoding::DetectUtf16(data, size);
    return 0;
}
