#include "Halvorn/XmlElement.h"
#include "Halvorn/XmlEncoding.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using R = XmlParseResult;

struct Parsed
{
    XmlElement element;
    XmlParseResult result{-1, -1, -1};
    std::array<int, 3> Where() const { return {result.code, result.line, result.column}; }
};

Parsed Parse(const std::string& text, const char* firstTag = nullptr)
{
    Parsed parsed;
    parsed.element = XmlElement::ParseText(text.c_str(), firstTag, &parsed.result);
    return parsed;
}

std::string Repeat(const std::string& text, int times)
{
    std::string all;
    while (times-- > 0) {
        all += text;
    }
    return all;
}

// The whole tree on one line: "?" marks a declaration, "#" the unnamed top
// node; then attributes (no "=" when written without a value), and in braces
// the children, the 'texts' and the clear sections, each kind in document order.
std::string Dump(const XmlElement& element)
{
    if (element.IsEmpty()) {
        return "-";
    }
    std::string out = (element.IsDeclaration() ? "?" : "") + std::string(element.Name() ? element.Name() : "#");
    for (int i = 0; i < element.AttributeCount(); ++i) {
        out += std::string(" ") + element.AttributeName(i);
        if (element.AttributeValue(i)) {
            out += std::string("='") + element.AttributeValue(i) + "'";
        }
    }
    std::string content;
    for (int i = 0; i < element.ChildCount(); ++i) {
        content += " " + Dump(element.ChildAt(i));
    }
    for (int i = 0; i < element.TextCount(); ++i) {
        content += std::string(" '") + element.Text(i) + "'";
    }
    for (int i = 0; i < element.ClearCount(); ++i) {
        content += std::string(" ") + element.ClearOpener(i) + element.ClearContent(i) + element.ClearCloser(i);
    }
    return content.empty() ? out : out + " {" + content + " }";
}

// ASCII text as 16-bit units, with or without a byte-order mark.
std::string Utf16(const std::string& ascii, bool bigEndian, bool mark = false)
{
    std::string bytes = mark ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
    for (const char c : ascii) {
        bytes += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    }
    return bytes;
}

const std::string Settings = "<Halvorn-demo-settings><name>Demo</name></Halvorn-demo-settings>";

} // namespace

// The reader's two settings are process-wide: every test starts and ends with
// their defaults, the UTF-8 table and wide-text detection on.
class XmlElementTest : public ::testing::Test
{
protected:
    static void Defaults()
    {
        XmlEncoding::UseUtf8Table(true);
        XmlEncoding::SetWideTextDetection(true);
    }
    void SetUp() override { Defaults(); }
    void TearDown() override { Defaults(); }
};

TEST_F(XmlElementTest, ErrorTexts)
{
    // The names stand for the numbers messages have always shown.
    const struct
    {
        int code;
        int number;
        const char* text;
    } cases[] = {
        {R::Ok, 0, "No error"},
        {R::UnmatchedEndTagWarning, 1, "Warning: Unmatched end tag"},
        {R::NoXmlData, 2, "Error: No XML data"},
        {R::FirstTokenNotStartTag, 3, "Error: First token not start tag"},
        {R::MissingStartTagName, 4, "Error: Missing start tag name"},
        {R::MissingEndTagName, 5, "Error: Missing end tag name"},
        {R::UnmatchedQuote, 6, "Error: Unmatched quote"},
        {R::UnmatchedEndTag, 7, "Error: Unmatched end tag"},
        {R::UnmatchedClearTagEnd, 8, "Error: Unmatched clear tag end"},
        {R::UnexpectedToken, 9, "Error: Unexpected token found"},
        {R::InvalidTag, 10, "Error: Invalid tag found"},
        {R::NoElements, 11, "Error: No elements found"},
        {R::FileNotFound, 12, "Error: File not found"},
        {R::FirstTagNotFound, 13, "Error: First Tag not found"},
        {R::UnknownCharacterEntity, 14, "Error: Unknown character entity"},
        {R::ConversionFailed, 15, "Error: unable to convert between UNICODE and MultiByte chars"},
        {R::CannotOpenForWriting, 16, "Error: unable to open file for writing"},
        {R::CannotWriteFile, 17, "Error: cannot write into file"},
        {R::Base64LengthWarning, 18, "Warning: Base64-string length is not a multiple of 4"},
        {R::Base64IllegalCharacter, 19, "Error: Base64-string contains an illegal character"},
        {R::Base64TruncatedWarning, 20, "Warning: Base64-string is truncated"},
        {R::Base64BufferTooSmall, 21, "Error: Base64 decode output buffer is too small"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.code, c.number) << c.text;
        EXPECT_STREQ(XmlElement::ErrorText(c.number), c.text);
    }
    EXPECT_STREQ(XmlElement::ErrorText(22), "Unknown");
    EXPECT_STREQ(XmlElement::ErrorText(-1), "Unknown");
}

TEST_F(XmlElementTest, ErrorsCarryCodeLineAndColumn)
{
    const struct
    {
        std::string text;
        std::array<int, 3> where;  // code, line, column: just after the token where parsing stopped
    } cases[] = {
        {"<a></a>", {R::Ok, 0, 0}},
        {"<a>", {R::UnmatchedEndTagWarning, 1, 4}},                           // left open: the end of the text
        {"<a>\n  <b>\n</a>", {R::UnmatchedEndTagWarning, 3, 5}},              // b closed by its parent's end tag
        {"<r><a><x></a><b><y></b></r>", {R::UnmatchedEndTagWarning, 1, 14}},  // the first of two mismatches
        {"<a/></b>", {R::UnmatchedEndTagWarning, 1, 9}},                      // end tag with nothing open
        {"<>", {R::MissingStartTagName, 1, 3}},
        {"<a></>", {R::MissingEndTagName, 1, 7}},
        {"<a></a b>", {R::MissingEndTagName, 1, 9}},
        {"<a></b>", {R::UnmatchedEndTag, 1, 8}},
        {"<ab></a>", {R::UnmatchedEndTag, 1, 9}},                      // a prefix of the name is not the name
        {"<a></ab>", {R::UnmatchedEndTag, 1, 9}},
        {"<a>\n<!-- never closed", {R::UnmatchedClearTagEnd, 2, 5}},
        {"<a><pre>x</pre></a>", {R::UnmatchedClearTagEnd, 1, 9}},           // the closer is searched for exactly
        {"<a b=>", {R::UnexpectedToken, 1, 7}},
        {"<a =b>", {R::UnexpectedToken, 1, 5}},
        {"<a b=\"x<y\">", {R::UnexpectedToken, 1, 9}},                 // a quote with "<" before its end is no quoted text
        {"<a\n\tb=1 c", {R::UnexpectedToken, 2, 7}},                   // the end of the text inside a tag
        {"<a>&copy;</a>", {R::UnknownCharacterEntity, 1, 12}},
        // A lead byte whose followers are missing ends at the end of the text, not past it.
        {"<a>\xF0", {R::UnmatchedEndTagWarning, 1, 5}},
        {"<a>&#x41;\xE2\x82", {R::UnmatchedEndTagWarning, 1, 11}},
        {"<a b=\"\xE0", {R::UnexpectedToken, 1, 8}},
        {"<a\xF4", {R::UnexpectedToken, 1, 4}},
        {"<a><!--\xC3", {R::UnmatchedClearTagEnd, 1, 8}},
    };
    for (const auto& c : cases) {
        const Parsed parsed = Parse(c.text);
        EXPECT_EQ(parsed.Where(), c.where) << c.text;
        // Warnings keep the tree, errors do not.
        EXPECT_EQ(parsed.element.IsEmpty(), c.where[0] > R::UnmatchedEndTagWarning) << c.text;
    }
    Parsed none;
    EXPECT_TRUE(XmlElement::ParseText(nullptr, nullptr, &none.result).IsEmpty());
    EXPECT_EQ(none.Where(), (std::array<int, 3>{R::NoElements, 0, 0}));
}

TEST_F(XmlElementTest, DeepNestingIsRefusedNotOverflowed)
{
    const int depth = XmlElement::MaxDepth;
    const Parsed deepest = Parse(Repeat("<a>", depth) + Repeat("</a>", depth));
    EXPECT_EQ(deepest.result.code, R::Ok);
    XmlElement inner = deepest.element;
    for (int i = 1; i < depth; ++i) {
        inner = inner.Child("a");
    }
    EXPECT_EQ(Dump(inner), "a");

    // Refused just after the "<" one level too deep.
    EXPECT_EQ(Parse(Repeat("<a>", depth + 1) + Repeat("</a>", depth + 1)).Where(),
              (std::array<int, 3>{9, 1, 3 * depth + 2}));
    EXPECT_EQ(Parse(Repeat("<x>", 100000)).result.code, R::UnexpectedToken);
}

TEST_F(XmlElementTest, DocumentShapes)
{
    const struct
    {
        std::string text;
        const char* firstTag;
        int code;
        std::string tree;
        bool utf8 = true;
    } cases[] = {
        // A declaration has no end tag: the rest of the document is its content.
        {"<?xml version=\"1.0\" encoding='UTF-8'?>\n" + Settings, nullptr, 0,
         "?xml version='1.0' encoding='UTF-8' { Halvorn-demo-settings { name { 'Demo' } } }"},
        {"<?xml version=\"1.0\"?>\n" + Settings, "Halvorn-demo-settings", 0,
         "Halvorn-demo-settings { name { 'Demo' } }"},
        // A final "?" is cut from unquoted values and value-less names only.
        {"<?pi a=1? b? c=\"2?\" d?=3 ?><x/>", nullptr, R::Ok, "?pi a='1' b c='2?' d?='3' { x }"},
        {"<a><?pi?></a>", nullptr, R::UnmatchedEndTagWarning, "a { ?pi? }"},

        // The first tag: the result itself, a direct child, or inside declarations.
        {"<other/>", "Halvorn-demo-settings", R::FirstTagNotFound, "-"},
        {"<other><x><Halvorn-demo-settings/></x></other>", "Halvorn-demo-settings", R::FirstTagNotFound, "-"},
        {"<other><Halvorn-demo-settings/></other>", "Halvorn-demo-settings", R::Ok, "Halvorn-demo-settings"},
        {"<?a?><?b?><halvorn-demo-settings/>", "Halvorn-demo-settings", R::Ok, "halvorn-demo-settings"},
        {"<!-- x --><HALVORN-DEMO-SETTINGS/>", "Halvorn-demo-settings", R::Ok, "HALVORN-DEMO-SETTINGS"},
        {"", "Halvorn-demo-settings", R::FirstTagNotFound, "-"},
        {"<Halvorn-demo-settings>", "Halvorn-demo-settings", R::UnmatchedEndTagWarning, "Halvorn-demo-settings"},
        {"<a/>junk<b/>", "", R::Ok, "# { a b 'junk' }"},

        // Texts keep inner line ends, lose outer blanks; marks outside a tag are text.
        {"<t>\n  line one\n  line two \t\r\n  <b/> after\t</t>", nullptr, R::Ok, "t { b 'line one\n  line two' 'after' }"},
        {"<t> a = \"b\" > c /> 'd </t>", nullptr, R::Ok, "t { 'a = \"b\" > c /> 'd' }"},

        // Clear sections: openers in any case, closers exact, contents unparsed.
        {"<a>x<!-- <b/> -->y<![CDATA[<c>&bad;]]><PrE>p</PRE><script>s</Script><!doctype z></a>", nullptr, 0,
         "a { 'x' 'y' <!-- <b/> --> <![CDATA[<c>&bad;]]> <PRE>p</PRE> <Script>s</Script> <!DOCTYPE z> }"},
        {"<a> 1 &amp; 2 <!--c--></a>", nullptr, R::Ok, "a { '1 &amp; 2' <!--c--> }"},  // text before one stays as written

        // End tags match in any letter case and close the elements left open inside.
        {"<Part><x></PART ><y/>", nullptr, R::UnmatchedEndTagWarning, "# { Part { x } y }"},

        {"<a b c=1 d e=\"\" f=x/>", nullptr, R::Ok, "a b c='1' d e='' f='x'"},
        {"<a b = 'x\"y' c=\"it's\"/>", nullptr, R::Ok, "a b='x\"y' c='it's'"},
        {"<a b=\"x/>", nullptr, R::Ok, "a b='\"x'"},  // no closing quote: plain text from the quote on
        {"<a b/c=d>", nullptr, R::UnmatchedEndTagWarning, "a b/c='d'"},

        // The character table decides what is markup: a UTF-8 lead byte takes its followers along.
        {"<a>\xE0<b>x</a>", nullptr, R::Ok, "a { '\xE0<b>x' }"},
        {"<a>\xE0<b>x</a>", nullptr, R::UnmatchedEndTagWarning, "a { b { 'x' } '\xE0' }", false},
    };
    for (const auto& c : cases) {
        XmlEncoding::UseUtf8Table(c.utf8);
        const Parsed parsed = Parse(c.text, c.firstTag);
        EXPECT_EQ(parsed.result.code, c.code) << c.text;
        EXPECT_EQ(Dump(parsed.element), c.tree) << c.text;
    }
}

TEST_F(XmlElementTest, EntitiesAndCharacterReferences)
{
    const struct
    {
        std::string encoded;
        bool utf8;
        std::string decoded;
    } cases[] = {
        {"&AMP;&lt;&Gt;&quot;&apos;", true, "&<>\"'"},
        {"&#65;&#x41;&#X4a;&#x6A;", true, "AAJj"},
        {"x&#;y", true, "x"},  // a 0 byte ends the text
        // UTF-8 text stays UTF-8; what no character can be becomes U+FFFD.
        {"&#233;&#x20AC;&#x1F600;", true, "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"&#xD800;|&#x110000;|&#99999999999999999999;", true, "\xEF\xBF\xBD|\xEF\xBF\xBD|\xEF\xBF\xBD"},
        // Single-byte text keeps one byte, modulo 256.
        {"&#233;&#321;&#x141;&#99999999999999999999;", false, "\xE9" "AA\xFF"},
    };
    for (const auto& c : cases) {
        XmlEncoding::UseUtf8Table(c.utf8);
        const Parsed parsed = Parse("<t a=\"" + c.encoded + "\">" + c.encoded + "</t>");
        EXPECT_EQ(Dump(parsed.element), "t a='" + c.decoded + "' { '" + c.decoded + "' }") << c.encoded;
    }
    for (const std::string bad : {"&copy;", "&amp", "a & b", "&#12a;", "&#xG;", "&#65", "&"}) {
        EXPECT_EQ(Parse("<t>" + bad + "</t>").result.code, R::UnknownCharacterEntity) << bad;
        EXPECT_EQ(Parse("<t a='" + bad + "'/>").result.code, R::UnknownCharacterEntity) << bad;
    }
}

// Every element and attribute in document order as name@line:column.
std::string Positions(const XmlElement& element)
{
    std::string out;
    if (element.Name()) {
        out += std::string(element.Name()) + "@" + std::to_string(element.Line()) + ":" +
               std::to_string(element.Column());
    }
    for (int i = 0; i < element.AttributeCount(); ++i) {
        out += std::string(" ") + element.AttributeName(i) + "@" + std::to_string(element.AttributeLine(i)) + ":" +
               std::to_string(element.AttributeColumn(i));
    }
    for (int i = 0; i < element.ChildCount(); ++i) {
        out += (out.empty() ? "" : " ") + Positions(element.ChildAt(i));
    }
    return out;
}

TEST_F(XmlElementTest, ElementsAndAttributesKnowWhereTheyStand)
{
    const struct
    {
        std::string text;
        bool utf8;
        std::string positions;  // the "<" of an element, the first character of an attribute's name
    } cases[] = {
        {"<a>\n  <b c=\"1\"\n     d='2'/>\n</a>", true, "a@1:1 b@2:3 c@2:6 d@3:6"},
        {"<a b c/>", true, "a@1:1 b@1:4 c@1:6"},
        {"<a>\t< b\tc=1/>\r\n<d/></a>", true, "a@1:1 b@1:5 c@1:9 d@2:1"},  // a tab and a CR are one column each
        {"<?xml version='1.0'?>\n<r x=1/>", true, "xml@1:1 version@1:7 r@2:1 x@2:4"},
        {"<a><!--\n<b/>\n--><c/></a>", true, "a@1:1 c@3:4"},
        {"<a>0123456789abcdefghij<b/>0123456789\n0123456789<c/></a>", true, "a@1:1 b@1:24 c@2:11"},
        // A multi-byte character is one column in UTF-8 text, one per byte otherwise.
        {"<a>\xC3\xA9\xE2\x82\xAC 0123456789<b/></a>", true, "a@1:1 b@1:17"},
        {"<a>\xC3\xA9\xE2\x82\xAC 0123456789<b/></a>", false, "a@1:1 b@1:20"},
        {"<a x='\xC3\xA9' y=1>\n</A>", true, "a@1:1 x@1:4 y@1:10"},
        {"<r><a></r><c/>", true, "r@1:1 a@1:4 c@1:11"},  // a warning keeps the tree and its positions
    };
    for (const auto& c : cases) {
        XmlEncoding::UseUtf8Table(c.utf8);
        const Parsed parsed = Parse(c.text);
        EXPECT_LE(parsed.result.code, R::UnmatchedEndTagWarning) << c.text;
        EXPECT_EQ(Positions(parsed.element), c.positions) << c.text;
    }
    XmlEncoding::UseUtf8Table(true);
    const XmlElement element = Parse("<a x=1/>").element;
    EXPECT_EQ(element.AttributeIndex("X"), 0);
    EXPECT_EQ(element.AttributeIndex("y"), -1);
    EXPECT_EQ((std::array<int, 4>{element.AttributeLine(1), element.AttributeColumn(-1), XmlElement().Line(),
                                  Parse("<a/>junk<b/>", "").element.Line()}),
              (std::array<int, 4>{0, 0, 0, 0}));
}

TEST_F(XmlElementTest, QueriesIgnoreLetterCaseAndAnswerNothingOutOfRange)
{
    const XmlElement parts = Parse("<Parts><Part START=\"2\" flag><param/></PART><part start=\"7\"/></parts>").element;
    const XmlElement first = parts.Child("part");
    EXPECT_EQ(parts.ChildCount("PART"), 2);
    EXPECT_STREQ(first.Attribute("start"), "2");
    EXPECT_EQ(first.Attribute("flag"), nullptr);  // written without a value
    EXPECT_STREQ(parts.Child("PART", 1).Attribute("Start"), "7");
    EXPECT_EQ(Dump(first.Child("PARAM")), "param");
    // The one-pass list holds what the indexed lookups find, in the same order.
    const XmlElement mixed = Parse("<d><part n=\"0\"/><x/><PART n=\"1\"/><?part n=\"d\"?><Part n=\"2\"/></d>").element;
    const std::vector<XmlElement> all = mixed.Children("part");
    ASSERT_EQ(static_cast<int>(all.size()), mixed.ChildCount("part"));
    for (int i = 0; i < mixed.ChildCount("part"); ++i) {
        EXPECT_STREQ(all[i].Attribute("n"), mixed.Child("part", i).Attribute("n")) << i;
    }
    EXPECT_TRUE(mixed.Children("none").empty());
    EXPECT_TRUE(XmlElement().Children("part").empty());
    // An empty handle answers as a query out of range does.
    for (const XmlElement& element : {first, XmlElement()}) {
        EXPECT_TRUE(element.Child("param", 1).IsEmpty());
        EXPECT_TRUE(element.Child("param", -1).IsEmpty());
        EXPECT_TRUE(element.Child(nullptr).IsEmpty());
        EXPECT_EQ(element.ChildCount(nullptr), 0);
        EXPECT_EQ(element.Text(0), nullptr);
        EXPECT_EQ(element.Attribute(nullptr), nullptr);
        EXPECT_EQ(element.AttributeName(element.AttributeCount()), nullptr);
        EXPECT_EQ(element.AttributeValue(-1), nullptr);
    }
}

TEST_F(XmlElementTest, HandlesShareTheirNode)
{
    XmlElement child;
    {
        XmlElement document = Parse("<a><b x='1'>text</b><c/></a>").element;
        XmlElement copy = document;
        EXPECT_EQ(document.UseCount(), 2);
        child = document.Child("b");
        EXPECT_EQ(child.UseCount(), 2);  // this handle and the parent's child list
        XmlElement moved = std::move(copy);
        EXPECT_TRUE(copy.IsEmpty());
        moved = XmlElement();
        EXPECT_EQ(document.UseCount(), 1);
    }
    // The document is gone; the child and its texts live on, also past a self-assignment.
    const XmlElement& same = child;
    child = same;
    EXPECT_EQ(child.UseCount(), 1);
    EXPECT_EQ(Dump(child), "b x='1' { 'text' }");
}

// Each test writes its files into a folder of its own.
class XmlFileTest : public XmlElementTest
{
protected:
    XmlFileTest()
    {
        char pattern[] = "/tmp/vexel-xml-XXXXXX";
        mFolder = mkdtemp(pattern);
    }
    ~XmlFileTest() override { std::filesystem::remove_all(mFolder); }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(mFolder + "/" + name, std::ios::binary) << bytes;
        return mFolder + "/" + name;
    }

    std::string mFolder;
};
using XmlFileDeathTest = XmlFileTest;

TEST_F(XmlFileTest, ParseFile)
{
    const struct
    {
        std::string path;
        std::array<int, 3> where;  // code, line, column
        std::string tree;
    } cases[] = {
        {mFolder + "/missing.xml", {R::FileNotFound, 0, 0}, "-"},
        {mFolder, {R::FileNotFound, 0, 0}, "-"},  // a folder is no file
        {Write("empty.xml", ""), {R::NoXmlData, 0, 0}, "-"},
        {Write("other.xml", "<other/>"), {R::FirstTagNotFound, 0, 0}, "-"},
        // Positions count from after the byte-order mark.
        {Write("bom.xml", "\xEF\xBB\xBF<Halvorn-demo-settings>"), {R::UnmatchedEndTagWarning, 1, 24}, "Halvorn-demo-settings"},
        // 16-bit files are converted, found by their mark or by their zero bytes.
        {Write("le-bom.xml", Utf16(Settings, false, true)), {R::Ok, 0, 0}, "Halvorn-demo-settings { name { 'Demo' } }"},
        {Write("be-bom.xml", Utf16(Settings, true, true)), {R::Ok, 0, 0}, "Halvorn-demo-settings { name { 'Demo' } }"},
        {Write("le.xml", Utf16(Settings, false)), {R::Ok, 0, 0}, "Halvorn-demo-settings { name { 'Demo' } }"},
        {Write("be.xml", Utf16(Settings, true)), {R::Ok, 0, 0}, "Halvorn-demo-settings { name { 'Demo' } }"},
        // A lone surrogate cannot be converted.
        {Write("broken.xml", Utf16("<a>", false, true) + std::string("\x00\xD8", 2) + Utf16("</a>", false)), {R::ConversionFailed, 0, 0},
         "-"},
    };
    for (const auto& c : cases) {
        Parsed parsed;
        parsed.element = XmlElement::ParseFile(c.path.c_str(), "Halvorn-demo-settings", &parsed.result);
        EXPECT_EQ(parsed.Where(), c.where) << c.path;
        EXPECT_EQ(Dump(parsed.element), c.tree) << c.path;
    }
    XmlParseResult result;
    EXPECT_TRUE(XmlElement::ParseFile(nullptr, nullptr, &result).IsEmpty());
    EXPECT_EQ(result.code, R::FileNotFound);

    // With detection off, the zero bytes end the text after its first character.
    XmlEncoding::SetWideTextDetection(false);
    XmlElement::ParseFile(Write("off.xml", Utf16(Settings, false)).c_str(), nullptr, &result);
    EXPECT_EQ(result.code, R::MissingStartTagName);
}

TEST_F(XmlFileTest, EncodingGuess)
{
    const std::string pad(30, ' ');
    const struct
    {
        std::string bytes;
        bool useDeclaration;
        bool utf8;
    } cases[] = {
        {"<a>caf\xC3\xA9</a>", false, false},                      // fewer than 25 bytes
        {Utf16("<a>caf</a>" + pad, false), false, false},          // 16-bit text
        {"\xEF\xBB\xBF" + pad + "caf\xE9 ", false, true},          // the mark wins over bad bytes
        {"<a>caf\xC3\xA9</a>" + pad, false, true},
        {"<a>caf\xE9 </a>" + pad, false, false},                   // Latin-1 e acute
        {"<a>caf\xFC</a>" + pad, false, true},                     // a byte of length one passes
        {pad + "<a>\xE2\x82", false, true},                        // cut off by the end of the bytes
        {"<?xml version='1.0' encoding='ISO-8859-1'?>", false, true},
        {"<?xml version='1.0' encoding='ISO-8859-1'?>", true, false},
        {"<?xml version='1.0' encoding = \" UTF8\"?>", true, true},
        {"<?xml version='1.0' encoding='utf-8'?>", true, true},
        {"<?xml version='1.0' encoding=latin1?>", true, true},    // no quote: not understood
        {std::string(200, ' ') + "encoding='latin1'", true, true},  // beyond the first 200 bytes
    };
    for (const auto& c : cases) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(c.bytes.data());
        EXPECT_EQ(XmlEncoding::GuessUtf8(bytes, c.bytes.size(), c.useDeclaration), c.utf8) << c.bytes;
    }
}

TEST_F(XmlFileTest, OpenFileChoosesTheTableFromTheFile)
{
    XmlEncoding::SetWideTextDetection(false);
    XmlElement::OpenFile(Write("short.xml", "<a>x</a>").c_str(), nullptr);
    EXPECT_FALSE(XmlEncoding::Utf8TableInForce());
    EXPECT_TRUE(XmlEncoding::WideTextDetection());

    const XmlElement element = XmlElement::OpenFile(Write("long.xml", Settings).c_str(), "Halvorn-demo-settings");
    EXPECT_TRUE(XmlEncoding::Utf8TableInForce());
    EXPECT_STREQ(element.Child("name").Text(0), "Demo");

    XmlElement::OpenFile(Write("latin.xml", "<?xml encoding='latin1'?>" + Settings).c_str(), nullptr);
    EXPECT_FALSE(XmlEncoding::Utf8TableInForce());
}

TEST_F(XmlFileTest, MessageStaysWithinItsBuffer)
{
    const XmlParseResult firstTag{R::FirstTagNotFound, 0, 0};
    const std::string tail = "'.\nError: First Tag not found\nAt line 0, column 0.\n"
                             "First Tag should be 'Halvorn-demo-settings'.\n";
    EXPECT_EQ(XmlElement::ErrorMessage("m.xml", "Halvorn-demo-settings", firstTag),
              "XML Parsing error inside file 'm.xml" + tail);

    // A long path loses its front, at a character boundary.
    const std::string path = Repeat("\xC3\xA9", 1500);
    const std::string message = XmlElement::ErrorMessage((path + "/m.xml").c_str(), "Halvorn-demo-settings", firstTag);
    EXPECT_GE(message.size(), 1998u);
    EXPECT_LE(message.size(), 1999u);
    EXPECT_EQ(message.rfind("XML Parsing error inside file '...\xC3\xA9", 0), 0u);
    const std::string end = "\xC3\xA9/m.xml" + tail;
    EXPECT_EQ(message.substr(message.size() - end.size()), end);

    const std::string both = XmlElement::ErrorMessage(path.c_str(), std::string(5000, 't').c_str(), firstTag);
    EXPECT_LE(both.size(), 1999u);
    EXPECT_NE(both.find("'.\nError: First Tag not found\nAt line 0, column 0.\nFirst Tag should be '..."),
              std::string::npos);
}

TEST_F(XmlFileDeathTest, OpenFileEndsTheProgramWith255)
{
    // Without a display no message box appears.
    const auto openFile = [](const std::string& path) {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        XmlElement::OpenFile(path.c_str(), "Halvorn-demo-settings");
    };
    EXPECT_EXIT(openFile(mFolder + "/nowhere.xml"), ::testing::ExitedWithCode(255),
                "^XML Parsing error inside file '[^']*/nowhere\\.xml'\\.\nError: File not found\n"
                "At line 0, column 0\\.\n$");
    // Warnings count as failures too.
    EXPECT_EXIT(openFile(Write("open.xml", "<Halvorn-demo-settings>\n  <name>x</name>\n")),
                ::testing::ExitedWithCode(255),
                "^XML Parsing error inside file '[^']*/open\\.xml'\\.\nWarning: Unmatched end tag\n"
                "At line 3, column 1\\.\n$");
}
