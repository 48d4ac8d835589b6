#include "Halvorn/XmlElement.h"
#include "Halvorn/XmlEncoding.h"
#include "XmlReaderSettings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class TempFolder
{
public:
    TempFolder()
    {
        char pattern[] = "/tmp/vexel-xml-XXXXXX";
        mPath = mkdtemp(pattern);
    }
    ~TempFolder() { std::system(("rm -rf '" + mPath + "'").c_str()); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string Write(const std::string& name, const std::string& bytes) const
    {
        const std::string path = mPath + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    const std::string& Path() const { return mPath; }

private:
    std::string mPath;
};

std::string Utf16(const std::string& ascii, bool bigEndian, bool mark)
{
    std::string bytes;
    if (mark) {
        bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    }
    for (const char c : ascii) {
        bytes += bigEndian ? std::string(1, '\0') + c : std::string(1, c) + '\0';
    }
    return bytes;
}

bool Guess(const std::string& bytes, bool useDeclaration)
{
    return XmlEncoding::GuessUtf8(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), useDeclaration);
}

const std::string Settings = "<Halvorn-demo-settings><name>Demo</name></Halvorn-demo-settings>";

} // namespace

TEST(XmlFileTest, FileErrorsHaveNoPosition)
{
    XmlReaderSettings settings;
    TempFolder folder;
    struct Case
    {
        std::string path;
        int code;
    };
    const std::vector<Case> cases = {
        {folder.Path() + "/missing.xml", 12},
        {folder.Path(), 12},  // a folder is no file
        {folder.Write("empty.xml", ""), 2},
        {folder.Write("other.xml", "<other/>"), 13},
    };
    for (const Case& c : cases) {
        XmlParseResult result{-1, -1, -1};
        EXPECT_TRUE(XmlElement::ParseFile(c.path.c_str(), "Halvorn-demo-settings", &result).IsEmpty()) << c.path;
        EXPECT_EQ(result.code, c.code) << c.path;
        EXPECT_EQ(result.line, 0) << c.path;
        EXPECT_EQ(result.column, 0) << c.path;
    }
    XmlParseResult result;
    EXPECT_TRUE(XmlElement::ParseFile(nullptr, nullptr, &result).IsEmpty());
    EXPECT_EQ(result.code, 12);
}

TEST(XmlFileTest, ByteOrderMarkIsSkippedAndPositionsCountAfterIt)
{
    XmlReaderSettings settings;
    TempFolder folder;
    XmlParseResult result;
    const XmlElement element = XmlElement::ParseFile(folder.Write("bom.xml", "\xEF\xBB\xBF<a>\n <b>").c_str(), nullptr, &result);
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.line, 2);
    EXPECT_EQ(result.column, 5);
    EXPECT_EQ(std::string(element.Name()), "a");
}

TEST(XmlFileTest, Utf16FilesAreConvertedWhenDetectionIsOn)
{
    XmlReaderSettings settings;
    TempFolder folder;
    struct Case
    {
        std::string name;
        bool bigEndian;
        bool mark;
    };
    const std::vector<Case> cases = {{"le-bom.xml", false, true}, {"be-bom.xml", true, true}, {"le.xml", false, false},
                                     {"be.xml", true, false}};
    for (const Case& c : cases) {
        const std::string path = folder.Write(c.name, Utf16(Settings, c.bigEndian, c.mark));
        XmlParseResult result;
        const XmlElement element = XmlElement::ParseFile(path.c_str(), "Halvorn-demo-settings", &result);
        EXPECT_EQ(result.code, 0) << c.name;
        EXPECT_STREQ(element.Child("name").Text(0), "Demo") << c.name;
    }

    // Switched off, the zero bytes end the text after its first character.
    XmlEncoding::SetWideTextDetection(false);
    XmlParseResult result;
    XmlElement::ParseFile(folder.Write("off.xml", Utf16(Settings, false, false)).c_str(), nullptr, &result);
    EXPECT_EQ(result.code, 4);
    XmlEncoding::SetWideTextDetection(true);

    // A lone surrogate cannot be converted.
    const std::string broken = Utf16("<a>", false, true) + std::string("\x00\xD8", 2) + Utf16("</a>", false, false);
    XmlElement::ParseFile(folder.Write("broken.xml", broken).c_str(), nullptr, &result);
    EXPECT_EQ(result.code, 15);
    EXPECT_EQ(result.line, 0);
}

TEST(XmlFileTest, EncodingGuess)
{
    const std::string pad(30, ' ');
    struct Case
    {
        std::string bytes;
        bool useDeclaration;
        bool utf8;
    };
    const std::vector<Case> cases = {
        {"<a>caf\xC3\xA9</a>", false, false},                         // fewer than 25 bytes
        {Utf16("<a>caf</a>" + pad, false, false), false, false},      // 16-bit text
        {"\xEF\xBB\xBF" + pad + "caf\xE9 ", false, true},             // the mark wins over bad bytes
        {"<a>caf\xC3\xA9</a>" + pad, false, true},
        {"<a>caf\xE9 </a>" + pad, false, false},                      // Latin-1 e acute
        {"<a>caf\xFC</a>" + pad, false, true},                        // a byte of length one passes
        {pad + "<a>\xE2\x82", false, true},                           // cut off by the end of the bytes
        {"<?xml version='1.0' encoding='ISO-8859-1'?>", false, true},
        {"<?xml version='1.0' encoding='ISO-8859-1'?>", true, false},
        {"<?xml version='1.0' encoding = \" UTF8\"?>", true, true},
        {"<?xml version='1.0' encoding='utf-8'?>", true, true},
        {"<?xml version='1.0' ENCODING='latin1'?>", true, true},     // the keyword's case counts
        {"<?xml version='1.0' encoding latin1?>", true, true},       // no "=": not understood
        {"<?xml version='1.0' encoding=latin1?>", true, true},       // no quote: not understood
        {std::string(200, ' ') + "encoding='latin1'", true, true},   // beyond the first 200 bytes
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Guess(c.bytes, c.useDeclaration), c.utf8) << c.bytes;
    }
}

TEST(XmlFileTest, OpenFileChoosesTheTableFromTheFile)
{
    XmlReaderSettings settings;
    TempFolder folder;
    XmlEncoding::SetWideTextDetection(false);
    XmlElement::OpenFile(folder.Write("short.xml", "<a>x</a>").c_str(), nullptr);
    EXPECT_FALSE(XmlEncoding::Utf8TableInForce());
    EXPECT_TRUE(XmlEncoding::WideTextDetection());

    const XmlElement element =
        XmlElement::OpenFile(folder.Write("long.xml", Settings).c_str(), "Halvorn-demo-settings");
    EXPECT_TRUE(XmlEncoding::Utf8TableInForce());
    EXPECT_STREQ(element.Child("name").Text(0), "Demo");

    XmlElement::OpenFile(folder.Write("latin.xml", "<?xml encoding='latin1'?>" + Settings).c_str(), nullptr);
    EXPECT_FALSE(XmlEncoding::Utf8TableInForce());
}

TEST(XmlFileTest, MessageStaysWithinItsBuffer)
{
    XmlParseResult missing{12, 0, 0};
    EXPECT_EQ(XmlElement::ErrorMessage("morvelin.xml", "Halvorn-demo-settings", missing),
              "XML Parsing error inside file 'morvelin.xml'.\nError: File not found\nAt line 0, column 0.\n");
    XmlParseResult firstTag{13, 0, 0};
    EXPECT_EQ(XmlElement::ErrorMessage("m.xml", "Halvorn-demo-settings", firstTag),
              "XML Parsing error inside file 'm.xml'.\nError: First Tag not found\nAt line 0, column 0.\n"
              "First Tag should be 'Halvorn-demo-settings'.\n");

    // Long paths lose their front, at a character boundary.
    std::string path;
    for (int i = 0; i < 1500; ++i) {
        path += "\xC3\xA9";
    }
    path += "/morvelin.xml";
    const std::string message = XmlElement::ErrorMessage(path.c_str(), "Halvorn-demo-settings", firstTag);
    EXPECT_LE(message.size(), 1999u);
    EXPECT_GE(message.size(), 1998u);
    EXPECT_EQ(message.rfind("XML Parsing error inside file '...\xC3\xA9", 0), 0u);
    const std::string tail = "\xC3\xA9/morvelin.xml'.\nError: First Tag not found\nAt line 0, column 0.\n"
                             "First Tag should be 'Halvorn-demo-settings'.\n";
    EXPECT_EQ(message.substr(message.size() - tail.size()), tail);

    const std::string hugeTag(5000, 't');
    const std::string both = XmlElement::ErrorMessage(path.c_str(), hugeTag.c_str(), firstTag);
    EXPECT_LE(both.size(), 1999u);
    EXPECT_NE(both.find("'.\nError: First Tag not found\nAt line 0, column 0.\nFirst Tag should be '..."),
              std::string::npos);
}

TEST(XmlFileDeathTest, OpenFileEndsTheProgramWith255)
{
    XmlReaderSettings settings;
    TempFolder folder;
    const auto openFile = [](const std::string& path) {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        XmlElement::OpenFile(path.c_str(), "Halvorn-demo-settings");
    };
    EXPECT_EXIT(openFile(folder.Path() + "/nowhere.xml"), ::testing::ExitedWithCode(255),
                "^XML Parsing error inside file '[^']*/nowhere\\.xml'\\.\nError: File not found\n"
                "At line 0, column 0\\.\n$");
    const std::string other = folder.Write("other.xml", "<other/>");
    EXPECT_EXIT(openFile(other), ::testing::ExitedWithCode(255),
                "^XML Parsing error inside file '[^']*/other\\.xml'\\.\nError: First Tag not found\n"
                "At line 0, column 0\\.\nFirst Tag should be 'Halvorn-demo-settings'\\.\n$");
    // Warnings count as failures too.
    const std::string unclosed = folder.Write("open.xml", "<Halvorn-demo-settings>\n  <name>x</name>\n");
    EXPECT_EXIT(openFile(unclosed), ::testing::ExitedWithCode(255),
                "^XML Parsing error inside file '[^']*/open\\.xml'\\.\nWarning: Unmatched end tag\n"
                "At line 3, column 1\\.\n$");
}
