#include "Halvorn/XmlElement.h"
#include "XmlReaderSettings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Str(const char* text)
{
    return text ? std::string(text) : std::string("<null>");
}

struct Parsed
{
    XmlElement element;
    XmlParseResult result;
};

Parsed Parse(const std::string& text, const char* firstTag = nullptr)
{
    Parsed parsed;
    parsed.result = XmlParseResult{-1, -1, -1};
    parsed.element = XmlElement::ParseText(text.c_str(), firstTag, &parsed.result);
    return parsed;
}

std::string Nested(int depth)
{
    std::string text;
    for (int i = 0; i < depth; ++i) {
        text += "<a>";
    }
    for (int i = 0; i < depth; ++i) {
        text += "</a>";
    }
    return text;
}

} // namespace

TEST(XmlElementTest, ErrorTextsAreTheSystemsOwn)
{
    const std::vector<std::pair<int, std::string>> cases = {
        {0, "No error"},
        {1, "Warning: Unmatched end tag"},
        {2, "Error: No XML data"},
        {3, "Error: First token not start tag"},
        {4, "Error: Missing start tag name"},
        {5, "Error: Missing end tag name"},
        {6, "Error: Unmatched quote"},
        {7, "Error: Unmatched end tag"},
        {8, "Error: Unmatched clear tag end"},
        {9, "Error: Unexpected token found"},
        {10, "Error: Invalid tag found"},
        {11, "Error: No elements found"},
        {12, "Error: File not found"},
        {13, "Error: First Tag not found"},
        {14, "Error: Unknown character entity"},
        {15, "Error: unable to convert between UNICODE and MultiByte chars"},
        {16, "Error: unable to open file for writing"},
        {17, "Error: cannot write into file"},
        {18, "Warning: Base64-string length is not a multiple of 4"},
        {19, "Error: Base64-string contains an illegal character"},
        {20, "Warning: Base64-string is truncated"},
        {21, "Error: Base64 decode output buffer is too small"},
        {22, "Unknown"},
        {-1, "Unknown"},
        {1000, "Unknown"},
    };
    for (const auto& [code, text] : cases) {
        EXPECT_EQ(XmlElement::ErrorText(code), text) << code;
    }
}

TEST(XmlElementTest, ErrorsCarryCodeLineAndColumn)
{
    XmlReaderSettings settings;
    struct Case
    {
        std::string text;
        int code, line, column;
    };
    // Positions point just after the token where parsing stopped.
    const std::vector<Case> cases = {
        {"<a></a>", 0, 0, 0},
        {"<a>", 1, 1, 4},                              // left open: end of the text
        {"<a>\n  <b>\n</a>", 1, 3, 5},                 // b closed by its parent's end tag
        {"<r><a><x></a><b><y></b></r>", 1, 1, 14},     // the first of two mismatches
        {"<a/></b>", 1, 1, 9},                         // end tag with nothing open
        {"<>", 4, 1, 3},
        {"<a>< \"b\"></a>", 4, 1, 9},
        {"<a></>", 5, 1, 7},
        {"<a></a b>", 5, 1, 9},
        {"<a></a/>", 5, 1, 9},
        {"<a></b>", 7, 1, 8},
        {"<a><b></c></a>", 7, 1, 11},
        {"<a>\n<!-- never closed", 8, 2, 5},
        {"<a><pre>x</pre></a>", 8, 1, 9},
        {"<a><Script>s</script></a>", 8, 1, 12},
        {"<a b=>", 9, 1, 7},
        {"<a \"b\">", 9, 1, 7},
        {"<a =b>", 9, 1, 5},
        {"<a b=\"x<y\">", 9, 1, 9},                   // a quote with "<" before its end is no quoted text
        {"<a\n\tb=1 c", 9, 2, 7},                     // end of the text inside a tag
        {"<a>&copy;</a>", 14, 1, 12},
        {"<a b='&bad;'/>", 14, 1, 13},
    };
    for (const Case& c : cases) {
        const Parsed parsed = Parse(c.text);
        EXPECT_EQ(parsed.result.code, c.code) << c.text;
        EXPECT_EQ(parsed.result.line, c.line) << c.text;
        EXPECT_EQ(parsed.result.column, c.column) << c.text;
        // Warnings keep the tree, errors do not.
        EXPECT_EQ(parsed.element.IsEmpty(), c.code > 1) << c.text;
    }

    XmlParseResult result{-1, -1, -1};
    EXPECT_TRUE(XmlElement::ParseText(nullptr, nullptr, &result).IsEmpty());
    EXPECT_EQ(result.code, 11);
    EXPECT_EQ(result.line, 0);
    EXPECT_EQ(result.column, 0);
}

TEST(XmlElementTest, DeepNestingIsRefusedNotOverflowed)
{
    XmlReaderSettings settings;
    const Parsed deepest = Parse(Nested(XmlElement::MaxDepth));
    EXPECT_EQ(deepest.result.code, 0);
    XmlElement inner = deepest.element;
    for (int i = 1; i < XmlElement::MaxDepth; ++i) {
        inner = inner.Child("a");
    }
    EXPECT_EQ(Str(inner.Name()), "a");
    EXPECT_EQ(inner.ChildCount(), 0);

    const Parsed tooDeep = Parse(Nested(XmlElement::MaxDepth + 1));
    EXPECT_EQ(tooDeep.result.code, 9);
    EXPECT_EQ(tooDeep.result.line, 1);
    EXPECT_EQ(tooDeep.result.column, 3 * XmlElement::MaxDepth + 2);  // just after the "<" one level too deep
    EXPECT_TRUE(tooDeep.element.IsEmpty());

    std::string hundredThousand;
    for (int i = 0; i < 100000; ++i) {
        hundredThousand += "<x>";
    }
    EXPECT_EQ(Parse(hundredThousand).result.code, 9);
}

TEST(XmlElementTest, DeclarationHoldsTheRestOfTheDocument)
{
    XmlReaderSettings settings;
    const std::string text =
        "<?xml version=\"1.0\" encoding='UTF-8'?>\n"
        "<Halvorn-demo-settings><name>Demo</name></Halvorn-demo-settings>";

    const Parsed found = Parse(text, "Halvorn-demo-settings");
    ASSERT_EQ(found.result.code, 0);
    EXPECT_EQ(Str(found.element.Name()), "Halvorn-demo-settings");
    EXPECT_EQ(Str(found.element.Child("name").Text(0)), "Demo");

    const Parsed whole = Parse(text);
    ASSERT_EQ(whole.result.code, 0);
    EXPECT_TRUE(whole.element.IsDeclaration());
    EXPECT_EQ(Str(whole.element.Name()), "xml");
    ASSERT_EQ(whole.element.AttributeCount(), 2);  // the closing "?" adds nothing
    EXPECT_EQ(Str(whole.element.Attribute("version")), "1.0");
    EXPECT_EQ(Str(whole.element.Attribute("encoding")), "UTF-8");
    EXPECT_EQ(whole.element.ChildCount("halvorn-demo-settings"), 1);

    // A final "?" is cut from unquoted values and value-less names only.
    const Parsed pi = Parse("<?pi a=1? b? c=\"2?\" d?=3 ?><x/>");
    ASSERT_EQ(pi.result.code, 0);
    EXPECT_EQ(Str(pi.element.Name()), "pi");
    ASSERT_EQ(pi.element.AttributeCount(), 4);
    EXPECT_EQ(Str(pi.element.AttributeValue(0)), "1");
    EXPECT_EQ(Str(pi.element.AttributeName(1)), "b");
    EXPECT_EQ(pi.element.AttributeValue(1), nullptr);
    EXPECT_EQ(Str(pi.element.AttributeValue(2)), "2?");
    EXPECT_EQ(Str(pi.element.AttributeName(3)), "d?");
    EXPECT_EQ(pi.element.ChildCount("x"), 1);

    // Inside an element its content swallows the element's end tag.
    EXPECT_EQ(Parse("<a><?pi?></a>").result.code, 1);
}

TEST(XmlElementTest, FirstTagLookup)
{
    XmlReaderSettings settings;
    struct Case
    {
        std::string text;
        int code;
        std::string name;  // of the result
    };
    const std::vector<Case> cases = {
        {"<other/>", 13, ""},
        {"<other><x><Halvorn-demo-settings/></x></other>", 13, ""},  // only direct children count
        {"<other><Halvorn-demo-settings/></other>", 0, "Halvorn-demo-settings"},
        {"<HALVORN-DEMO-SETTINGS/>", 0, "HALVORN-DEMO-SETTINGS"},
        {"<?a?><?b?><halvorn-demo-settings/>", 0, "halvorn-demo-settings"},  // declarations are entered
        {"<!-- x --><Halvorn-demo-settings/>", 0, "Halvorn-demo-settings"},  // from the unnamed top node
        {"", 13, ""},
        {"<Halvorn-demo-settings>", 1, "Halvorn-demo-settings"},             // the warning stays
    };
    for (const Case& c : cases) {
        const Parsed parsed = Parse(c.text, "Halvorn-demo-settings");
        EXPECT_EQ(parsed.result.code, c.code) << c.text;
        EXPECT_EQ(parsed.element.Name() ? parsed.element.Name() : "", c.name) << c.text;
        if (c.code == 13) {
            EXPECT_EQ(parsed.result.line, 0);
            EXPECT_EQ(parsed.result.column, 0);
        }
    }
    // No first tag asked: the unnamed top node when more than one element stands there.
    const Parsed top = Parse("<a/>junk<b/>", "");
    ASSERT_EQ(top.result.code, 0);
    EXPECT_EQ(top.element.Name(), nullptr);
    EXPECT_EQ(top.element.ChildCount(), 2);
    EXPECT_EQ(Str(top.element.Text(0)), "junk");
}

TEST(XmlElementTest, QueriesIgnoreLetterCase)
{
    XmlReaderSettings settings;
    const Parsed parsed = Parse(
        "<Halvorn-demo-settings>\n"
        "  <demoparts>\n"
        "    <Part START=\"2\" Class=\"lib.ClearScreen\" empty=\"\" flag>\n"
        "      <param color=\"1 0 0\" blend=\"add\"/>\n"
        "    </PART>\n"
        "    <part start=\"7\"></part>\n"
        "  </DemoParts>\n"
        "</halvorn-demo-settings>",
        "Halvorn-demo-settings");
    ASSERT_EQ(parsed.result.code, 0);
    const XmlElement parts = parsed.element.Child("DEMOPARTS");
    EXPECT_EQ(parts.ChildCount("part"), 2);
    const XmlElement first = parts.Child("part");
    EXPECT_EQ(Str(first.Attribute("start")), "2");
    EXPECT_EQ(Str(first.Attribute("class")), "lib.ClearScreen");
    EXPECT_EQ(Str(first.Attribute("EMPTY")), "");
    EXPECT_EQ(first.Attribute("flag"), nullptr);   // written without a value
    EXPECT_EQ(first.Attribute("length"), nullptr);
    EXPECT_EQ(first.AttributeCount(), 4);
    EXPECT_EQ(Str(first.AttributeName(3)), "flag");
    EXPECT_EQ(first.AttributeName(4), nullptr);
    EXPECT_EQ(first.AttributeValue(-1), nullptr);
    const XmlElement param = first.Child("Param");
    EXPECT_EQ(Str(param.AttributeName(0)), "color");
    EXPECT_EQ(Str(param.AttributeValue(1)), "add");
    EXPECT_EQ(Str(parts.Child("part", 1).Attribute("start")), "7");
    EXPECT_TRUE(parts.Child("part", 2).IsEmpty());
    EXPECT_TRUE(parts.Child("part", -1).IsEmpty());
    EXPECT_TRUE(parts.Child(nullptr).IsEmpty());
    EXPECT_EQ(first.ChildCount(nullptr), 0);
    EXPECT_EQ(first.Attribute(nullptr), nullptr);
}

TEST(XmlElementTest, EmptyHandleAnswersNothing)
{
    const XmlElement empty;
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_FALSE(static_cast<bool>(empty));
    EXPECT_TRUE(empty.Child("a").IsEmpty());
    EXPECT_TRUE(empty.Child("a", 0).IsEmpty());
    EXPECT_EQ(empty.ChildCount("a"), 0);
    EXPECT_EQ(empty.Text(0), nullptr);
    EXPECT_EQ(empty.Attribute("a"), nullptr);
    EXPECT_EQ(empty.AttributeCount(), 0);
    EXPECT_EQ(empty.AttributeName(0), nullptr);
    EXPECT_EQ(empty.AttributeValue(0), nullptr);
    EXPECT_EQ(empty.Name(), nullptr);
    EXPECT_EQ(empty.ClearCount(), 0);
    EXPECT_EQ(empty.UseCount(), 0);
}

TEST(XmlElementTest, TextsKeepInnerLineEndsAndLoseOuterBlanks)
{
    XmlReaderSettings settings;
    const Parsed parsed = Parse("<t>\n  line one\n  line two \t\r\n  <b/> after\t</t>");
    ASSERT_EQ(parsed.result.code, 0);
    ASSERT_EQ(parsed.element.TextCount(), 2);
    EXPECT_EQ(Str(parsed.element.Text(0)), "line one\n  line two");
    EXPECT_EQ(Str(parsed.element.Text(1)), "after");
    EXPECT_EQ(parsed.element.Text(2), nullptr);

    // Quotes, "=", ">" and "/>" outside a tag are plain text.
    const Parsed marks = Parse("<t> a = \"b\" > c /> 'd </t>");
    EXPECT_EQ(Str(marks.element.Text(0)), "a = \"b\" > c /> 'd");
}

TEST(XmlElementTest, EntitiesAndCharacterReferences)
{
    XmlReaderSettings settings;
    struct Case
    {
        std::string encoded;
        bool utf8;
        std::string decoded;
    };
    const std::vector<Case> cases = {
        {"&AMP;", true, "&"},
        {"&lt;&Gt;&quot;&apos;&amp;", true, "<>\"'&"},
        {"&#65;&#x41;&#X4a;&#x6A;", true, "AAJj"},
        {"x&#;y", true, "x"},                              // a 0 byte ends the text
        {"&#233;", true, "\xC3\xA9"},                      // UTF-8 text stays UTF-8
        {"&#x20AC;", true, "\xE2\x82\xAC"},
        {"&#x1F600;", true, "\xF0\x9F\x98\x80"},
        {"&#xD800;|&#x110000;|&#99999999999999999999;", true, "\xEF\xBF\xBD|\xEF\xBF\xBD|\xEF\xBF\xBD"},
        {"&#233;", false, "\xE9"},                         // single-byte text keeps one byte
        {"&#321;&#x141;", false, "AA"},                    // modulo 256
        {"&#99999999999999999999;", false, "\xFF"},        // 0x56BC75E2D630FFFFF
    };
    for (const Case& c : cases) {
        XmlReaderSettings table(c.utf8);
        const Parsed parsed = Parse("<t a=\"" + c.encoded + "\">" + c.encoded + "</t>");
        ASSERT_EQ(parsed.result.code, 0) << c.encoded;
        EXPECT_EQ(Str(parsed.element.Text(0)), c.decoded) << c.encoded;
        EXPECT_EQ(Str(parsed.element.Attribute("a")), c.decoded) << c.encoded;
    }

    for (const std::string bad : {"&copy;", "&amp", "a & b", "&#12a;", "&#xG;", "&#65", "&#x41 ;", "&"}) {
        EXPECT_EQ(Parse("<t>" + bad + "</t>").result.code, 14) << bad;
        EXPECT_EQ(Parse("<t a='" + bad + "'/>").result.code, 14) << bad;
    }
}

TEST(XmlElementTest, ClearSectionsAreOpaqueItems)
{
    XmlReaderSettings settings;
    const Parsed parsed = Parse("<a>x<!-- <b/> -->y<![CDATA[<c>&bad;]]><PrE>p</PRE><script>s</Script>"
                                "<!doctype z></a>");
    ASSERT_EQ(parsed.result.code, 0);
    EXPECT_EQ(parsed.element.ChildCount(), 0);
    ASSERT_EQ(parsed.element.TextCount(), 2);
    EXPECT_EQ(Str(parsed.element.Text(0)), "x");
    EXPECT_EQ(Str(parsed.element.Text(1)), "y");
    const std::vector<std::vector<std::string>> expected = {
        {" <b/> ", "<!--", "-->"},   {"<c>&bad;", "<![CDATA[", "]]>"}, {"p", "<PRE>", "</PRE>"},
        {"s", "<Script>", "</Script>"}, {" z", "<!DOCTYPE", ">"},
    };
    ASSERT_EQ(parsed.element.ClearCount(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Str(parsed.element.ClearContent(i)), expected[i][0]);
        EXPECT_EQ(Str(parsed.element.ClearOpener(i)), expected[i][1]);
        EXPECT_EQ(Str(parsed.element.ClearCloser(i)), expected[i][2]);
    }
    // Text that ends at a clear section is kept as written.
    EXPECT_EQ(Str(Parse("<a> 1 &amp; 2 <!--c--></a>").element.Text(0)), "1 &amp; 2");
}

TEST(XmlElementTest, AttributeForms)
{
    XmlReaderSettings settings;
    struct Case
    {
        std::string tag;
        std::vector<std::pair<std::string, std::string>> attributes;  // "<null>" for no value
    };
    const std::vector<Case> cases = {
        {"<a b c=1 d/>", {{"b", "<null>"}, {"c", "1"}, {"d", "<null>"}}},
        {"<a b = 'x\"y' c=\"it's\"/>", {{"b", "x\"y"}, {"c", "it's"}}},
        {"<a b=x/>", {{"b", "x"}}},
        {"<a b=\"x/>", {{"b", "\"x"}}},          // no closing quote: plain text from the quote
        {"<a b/c=d>", {{"b/c", "d"}}},
        {"<a b=\"&lt;&#x3E;\">", {{"b", "<>"}}},
        {"<a b=\"\"/>", {{"b", ""}}},
    };
    for (const Case& c : cases) {
        const Parsed parsed = Parse(c.tag);
        ASSERT_LE(parsed.result.code, 1) << c.tag;
        ASSERT_EQ(parsed.element.AttributeCount(), static_cast<int>(c.attributes.size())) << c.tag;
        for (int i = 0; i < parsed.element.AttributeCount(); ++i) {
            EXPECT_EQ(Str(parsed.element.AttributeName(i)), c.attributes[i].first) << c.tag;
            EXPECT_EQ(Str(parsed.element.AttributeValue(i)), c.attributes[i].second) << c.tag;
        }
    }
}

TEST(XmlElementTest, EndTagsMatchIgnoringCaseAndCloseOuterElements)
{
    XmlReaderSettings settings;
    const Parsed parsed = Parse("<Part><x></PART ><y/>");
    // x is closed by its parent's end tag (a warning), y then belongs to the top.
    EXPECT_EQ(parsed.result.code, 1);
    EXPECT_EQ(parsed.element.Name(), nullptr);
    EXPECT_EQ(parsed.element.ChildCount(), 2);
    EXPECT_EQ(parsed.element.ChildAt(0).ChildCount("x"), 1);
    EXPECT_EQ(Str(parsed.element.ChildAt(1).Name()), "y");

    EXPECT_EQ(Parse("<Part></PART>").result.code, 0);
    EXPECT_EQ(Parse("<ab></a>").result.code, 7);   // a prefix of the name is not the name
    EXPECT_EQ(Parse("<a></ab>").result.code, 7);
}

TEST(XmlElementTest, CharacterTableDecidesWhatIsMarkup)
{
    // With UTF-8 a lead byte takes its followers along, "<" included.
    const std::string text = "<a>\xE0<b>x</a>";
    {
        XmlReaderSettings utf8(true);
        const Parsed parsed = Parse(text);
        EXPECT_EQ(parsed.result.code, 0);
        EXPECT_EQ(parsed.element.ChildCount(), 0);
        EXPECT_EQ(Str(parsed.element.Text(0)), "\xE0<b>x");
    }
    {
        XmlReaderSettings singleByte(false);
        const Parsed parsed = Parse(text);
        EXPECT_EQ(parsed.result.code, 1);
        EXPECT_EQ(parsed.element.ChildCount("b"), 1);
    }
    XmlReaderSettings utf8(true);
    // A lead byte whose followers are missing ends at the text's end, not past it.
    for (const std::string cut : {"<a>\xF0", "<a b=\"\xE0", "<a\xF4", "<a><!--\xC3", "<a>&#x41;\xE2\x82"}) {
        const Parsed parsed = Parse(cut);
        EXPECT_GE(parsed.result.code, 1) << cut;
    }
}

TEST(XmlElementTest, HandlesShareTheirNode)
{
    XmlReaderSettings settings;
    XmlElement child;
    {
        XmlElement document = XmlElement::ParseText("<a><b x='1'>text</b><c/></a>", nullptr, nullptr);
        EXPECT_EQ(document.UseCount(), 1);
        XmlElement copy = document;
        EXPECT_EQ(document.UseCount(), 2);
        child = document.Child("b");
        EXPECT_EQ(child.UseCount(), 2);  // this handle and the parent's child list
        XmlElement moved = std::move(copy);
        EXPECT_TRUE(copy.IsEmpty());
        EXPECT_EQ(document.UseCount(), 2);
        moved = XmlElement();
        EXPECT_EQ(document.UseCount(), 1);
    }
    // The document is gone; the child and its texts live on.
    EXPECT_EQ(child.UseCount(), 1);
    EXPECT_EQ(Str(child.Text(0)), "text");
    EXPECT_EQ(Str(child.Attribute("x")), "1");
    const XmlElement& same = child;
    child = same;
    EXPECT_EQ(Str(child.Name()), "b");
}

TEST(XmlElementTest, SettingsLikeDocument)
{
    XmlReaderSettings settings;
    const std::string text =
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!-- MORVELIN -->\n"
        "<Halvorn-demo-settings>\n"
        "  <name>MORVELIN &amp; friends</name>\n"
        "  <version>.666</version>\n"
        "  <soundtrack file=\"music/track.ogg\"/>\n"
        "  <demoparts>\n"
        "    <part start=\"0\" length=\"3\" name=\"clear\" class=\"lib.ClearScreen\" priority=\"1\">\n"
        "      <param color=\"0.1 0.2 0.3 1\"/>\n"
        "      <scene file=\"intro.scene\"/>\n"
        "    </part>\n"
        "    <part start=\"2\" end=\"9\" name=\"logo\" class=\"lib.Image\" priority=\"2\" clearBackground=\"false\">\n"
        "      <param image=\"logo.png\" align=\"center middle\"/>\n"
        "    </part>\n"
        "  </demoparts>\n"
        "</Halvorn-demo-settings>\n";
    // The byte-order mark is the file reader's business; here it is one more character of text.
    const Parsed parsed = Parse(text.substr(3), "Halvorn-demo-settings");
    ASSERT_EQ(parsed.result.code, 0);
    const XmlElement& root = parsed.element;
    EXPECT_EQ(Str(root.Child("name").Text(0)), "MORVELIN & friends");
    EXPECT_EQ(Str(root.Child("version").Text(0)), ".666");
    EXPECT_EQ(Str(root.Child("soundtrack").Attribute("file")), "music/track.ogg");
    const XmlElement parts = root.Child("demoparts");
    ASSERT_EQ(parts.ChildCount("part"), 2);
    EXPECT_EQ(Str(parts.Child("part", 0).Child("scene").Attribute("file")), "intro.scene");
    const XmlElement logo = parts.Child("part", 1);
    EXPECT_EQ(Str(logo.Attribute("clearBackground")), "false");
    EXPECT_EQ(Str(logo.Child("param").AttributeValue(1)), "center middle");
}
