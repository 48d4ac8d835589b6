// Checks the bundled demo's content (demo/) against what the engine accepts:
// true-colour pictures, a soundtrack SDL_mixer can decode that outlasts the
// timeline, and a timeline that names only existing files and valid keys.

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kDemoDir = VEXEL_DEMO_DIR;
const fs::path kTextureDir = kDemoDir / "data" / "textures";

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

using Attributes = std::vector<std::pair<std::string, std::string>>;

Attributes ParseAttributes(const std::string& tag)
{
    static const std::regex attribute(R"re(([A-Za-z][\w-]*)="([^"]*)")re");
    Attributes result;
    for (std::sregex_iterator it(tag.begin(), tag.end(), attribute), end; it != end; ++it) {
        result.emplace_back((*it)[1], (*it)[2]);
    }
    return result;
}

const std::string* Find(const Attributes& attributes, const std::string& name)
{
    for (const auto& a : attributes) {
        if (a.first == name) {
            return &a.second;
        }
    }
    return nullptr;
}

struct Part
{
    Attributes attributes;
    Attributes params;  // every attribute of every param element, in order
};

// The timeline file is generated and plain: one tag per element, no
// comments inside tags, so scanning for the tags is enough here.
std::vector<Part> ReadParts(const std::string& xml)
{
    std::vector<Part> parts;
    std::size_t pos = 0;
    while ((pos = xml.find("<part ", pos)) != std::string::npos) {
        const std::size_t tagEnd = xml.find('>', pos);
        Part part;
        part.attributes = ParseAttributes(xml.substr(pos, tagEnd - pos));
        std::size_t next = tagEnd + 1;
        if (xml[tagEnd - 1] != '/') {
            const std::size_t close = xml.find("</part>", tagEnd);
            const std::string body = xml.substr(tagEnd + 1, close - tagEnd - 1);
            std::size_t p = 0;
            while ((p = body.find("<param ", p)) != std::string::npos) {
                const std::size_t e = body.find('>', p);
                for (auto& a : ParseAttributes(body.substr(p, e - p))) {
                    part.params.push_back(std::move(a));
                }
                p = e;
            }
            next = close;
        }
        parts.push_back(std::move(part));
        pos = next;
    }
    return parts;
}

// Splits at every single space, as the image part does: two spaces in a row
// give an empty word, which it reports as unknown.
std::vector<std::string> SplitAtSpaces(const std::string& text)
{
    std::vector<std::string> words;
    std::size_t from = 0;
    while (true) {
        const std::size_t space = text.find(' ', from);
        words.push_back(text.substr(from, space == std::string::npos ? std::string::npos : space - from));
        if (space == std::string::npos) {
            return words;
        }
        from = space + 1;
    }
}

bool IsNumber(const std::string& text)
{
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0';
}

double SoundtrackSeconds(const fs::path& file)
{
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    EXPECT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO), 0) << SDL_GetError();
    EXPECT_EQ(Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 4096), 0) << Mix_GetError();
    double seconds = -1.0;
    if (Mix_Music* music = Mix_LoadMUS(file.c_str())) {
        EXPECT_EQ(Mix_GetMusicType(music), MUS_OGG);
        seconds = Mix_MusicDuration(music);
        Mix_FreeMusic(music);
    } else {
        ADD_FAILURE() << file << ": " << Mix_GetError();
    }
    Mix_CloseAudio();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return seconds;
}

std::uintmax_t FolderBytes(const fs::path& folder)
{
    std::uintmax_t total = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        total += entry.file_size();
    }
    return total;
}

} // namespace

TEST(DemoContentTest, EveryPictureDecodesAsTrueColour)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(kTextureDir)) {
        const std::string name = entry.path().filename().string();
        names.insert(name);
        SDL_Surface* surface = IMG_Load(entry.path().c_str());
        ASSERT_NE(surface, nullptr) << name << ": " << IMG_GetError();
        // The texture loader refuses anything but 3 or 4 bytes per pixel.
        const int bytes = surface->format->BytesPerPixel;
        EXPECT_TRUE(bytes == 3 || bytes == 4) << name << " has " << bytes << " bytes per pixel";
        SDL_FreeSurface(surface);
    }
    // The spinning test scene loads these two by fixed names.
    EXPECT_EQ(names.count("test.png"), 1u);
    EXPECT_EQ(names.count("bg.jpg"), 1u);
    EXPECT_LT(FolderBytes(kTextureDir), 3u * 1024 * 1024);
}

TEST(DemoContentTest, TimelineIsValidAndEndsBeforeTheMusic)
{
    const std::string xml = ReadFile(kDemoDir / "morvelin.xml");
    ASSERT_FALSE(xml.empty());
    EXPECT_NE(xml.find("<Halvorn-demo-settings>"), std::string::npos);
    EXPECT_NE(xml.find("<name>MORVELIN</name>"), std::string::npos);
    EXPECT_NE(xml.find("<version>.666</version>"), std::string::npos);

    std::smatch soundtrack;
    ASSERT_TRUE(std::regex_search(xml, soundtrack, std::regex(R"re(<soundtrack file="([^"]+)")re")));
    const fs::path music = kDemoDir / soundtrack[1].str();
    ASSERT_TRUE(fs::is_regular_file(music)) << music;
    EXPECT_LT(fs::file_size(music), 2u * 1024 * 1024);
    const double musicSeconds = SoundtrackSeconds(music);

    const std::set<std::string> imageKeys = {"image", "color", "align", "relativeWidth", "relativeHeight",
                                             "relativeX", "relativeY", "rotate", "blending", "alpha"};
    const std::set<std::string> numericKeys = {"relativeWidth", "relativeHeight", "relativeX", "relativeY",
                                               "rotate", "alpha"};
    const std::set<std::string> alignWords = {"left", "hcenter", "right", "top", "vcenter", "bottom"};
    const std::set<std::string> blendings = {"opaque", "transcluent", "additive", "subtractive",
                                             "reversesubtractive"};
    const std::regex colour(R"(\d{1,3} \d{1,3} \d{1,3})");

    const std::vector<Part> parts = ReadParts(xml);
    ASSERT_GT(parts.size(), 20u);
    std::map<std::string, int> classes;
    std::set<std::string> names;
    std::set<std::string> pictures = {"test.png", "bg.jpg"};
    double lastEnd = 0.0;
    for (const Part& part : parts) {
        const std::string* name = Find(part.attributes, "name");
        const std::string* cls = Find(part.attributes, "class");
        const std::string* start = Find(part.attributes, "start");
        const std::string* length = Find(part.attributes, "length");
        const std::string* end = Find(part.attributes, "end");
        const std::string* priority = Find(part.attributes, "priority");
        ASSERT_TRUE(name && cls && start && priority && (length || end)) << "incomplete part";
        const std::string where = "part \"" + *name + "\"";
        EXPECT_TRUE(names.insert(*name).second) << where << " is named twice";
        ASSERT_TRUE(IsNumber(*start) && IsNumber(length ? *length : *end)) << where;
        const double from = std::atof(start->c_str());
        const double to = length ? from + std::atof(length->c_str()) : std::atof(end->c_str());
        EXPECT_LT(from, to) << where;
        lastEnd = std::max(lastEnd, to);
        EXPECT_TRUE(std::regex_match(*priority, std::regex(R"(\d+)"))) << where;
        ++classes[*cls];

        if (*cls == "lib.ClearScreen") {
            ASSERT_EQ(part.params.size(), 1u) << where;
            EXPECT_EQ(part.params[0].first, "color") << where;
            EXPECT_TRUE(std::regex_match(part.params[0].second, colour)) << where;
        } else if (*cls == "lib.TestPartVao") {
            EXPECT_TRUE(part.params.empty()) << where;
        } else if (*cls == "lib.Image") {
            const std::string* image = Find(part.params, "image");
            ASSERT_NE(image, nullptr) << where;
            EXPECT_TRUE(fs::is_regular_file(kTextureDir / *image)) << where << ": " << *image;
            pictures.insert(*image);
            for (const auto& [key, value] : part.params) {
                EXPECT_EQ(imageKeys.count(key), 1u) << where << " key " << key;
                if (numericKeys.count(key)) {
                    EXPECT_TRUE(IsNumber(value)) << where << " " << key << "=" << value;
                }
                if (key == "blending") {
                    EXPECT_EQ(blendings.count(value), 1u) << where << " blending " << value;
                }
                if (key == "align") {
                    for (const std::string& word : SplitAtSpaces(value)) {
                        EXPECT_EQ(alignWords.count(word), 1u) << where << " align \"" << value << "\"";
                    }
                }
            }
        } else {
            ADD_FAILURE() << where << " has unknown class " << *cls;
        }
    }
    EXPECT_GT(classes["lib.ClearScreen"], 0);
    EXPECT_GT(classes["lib.Image"], 0);
    EXPECT_GT(classes["lib.TestPartVao"], 0);
    // The demo quits when its last part ends; the music must not stop first.
    EXPECT_LE(lastEnd, musicSeconds);
    EXPECT_NEAR(lastEnd, 60.0, 2.0);

    // Every bundled picture is shown somewhere: nothing ships unused.
    for (const auto& entry : fs::directory_iterator(kTextureDir)) {
        EXPECT_EQ(pictures.count(entry.path().filename().string()), 1u) << entry.path().filename() << " is unused";
    }
}
