#include "StarterProject.h"

#include "StarterSoundtrack.h"
#include "Text/FontFace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

extern "C" const char VexelStarterSettings[];
extern "C" const char VexelStarterSettingsEnd[];
extern "C" const char VexelStarterShader[];
extern "C" const char VexelStarterShaderEnd[];
extern "C" const char VexelStarterVertexShader[];
extern "C" const char VexelStarterVertexShaderEnd[];
extern "C" const char VexelStarterFragmentShader[];
extern "C" const char VexelStarterFragmentShaderEnd[];
extern "C" const char VexelStarterFontLicense[];
extern "C" const char VexelStarterFontLicenseEnd[];

namespace {

std::string_view Embedded(const char* begin, const char* end)
{
    return std::string_view(begin, static_cast<std::size_t>(end - begin));
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

std::string XmlEscaped(const std::string& text)
{
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

// A word the user can paste into a shell as it is.
std::string ShellWord(const std::string& text)
{
    static const char* const Plain = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-./+,:@%=";
    if (!text.empty() && text.find_first_not_of(Plain) == std::string::npos) {
        return text;
    }
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// The folder's own name, also for "." or a path ending in '/'.
std::string FolderName(const fs::path& folder)
{
    fs::path absolute = fs::absolute(folder).lexically_normal();
    if (absolute.filename().empty()) {
        absolute = absolute.parent_path();
    }
    return absolute.filename().string();
}

// The capture's file beside the folder: the folder as given, .mp4 instead of
// a trailing '/'.
std::string VideoFor(const std::string& given)
{
    std::string base = given;
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    const fs::path last = fs::path(base).filename();
    if (last.empty() || last == "." || last == ".." || base == "/") {
        return FolderName(given) + ".mp4";
    }
    return base + ".mp4";
}

// The first folder of path that does not exist yet; empty when it does.
fs::path FirstMissing(const fs::path& path)
{
    fs::path prefix;
    for (const fs::path& step : fs::absolute(path).lexically_normal()) {
        prefix /= step;
        std::error_code ignored;
        if (!step.empty() && !fs::exists(prefix, ignored)) {
            return prefix;
        }
    }
    return fs::path();
}

bool WriteFile(const fs::path& path, std::string_view bytes, std::string& reason)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        reason = std::strerror(errno);
        return false;
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    int error = written ? 0 : errno;
    if (std::fclose(file) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        reason = std::strerror(error);
    }
    return written;
}

} // namespace

int StarterProject::Command(const QString& folder, const QString& program, std::ostream& out, std::ostream& err)
{
    const std::string given = folder.toLocal8Bit().toStdString();
    const fs::path path(given);
    const std::string failed = ShellWord(given) + ": error: ";
    // A path that cannot even be looked at fails below, when it is made.
    std::error_code code;
    const fs::file_status status = fs::status(path, code);
    if (fs::exists(status) && !fs::is_directory(status)) {
        err << failed << "exists and is not a folder" << std::endl;
        return 1;
    }
    if (fs::is_directory(status)) {
        const bool empty = fs::is_empty(path, code);
        if (code) {
            err << failed << "cannot read the folder: " << code.message() << std::endl;
            return 1;
        }
        if (!empty) {
            err << failed << "the folder is not empty; --new fills only a new or empty folder" << std::endl;
            return 1;
        }
    }
    const fs::path made = FirstMissing(path);
    if (!fs::create_directories(path, code) && code) {
        err << failed << "cannot make the folder: " << code.message() << std::endl;
        return 1;
    }

    const StarterSoundtrack music(Bpm, BeatsPerBar, Bars);
    const std::string settings = SettingsFile(QString::fromLocal8Bit(FolderName(path).c_str()));
    const std::string wav = music.WavFile();
    const std::pair<const char*, std::string_view> files[] = {
        {"morvelin.xml", settings},
        {"data/shaders/standard.330.vert", Embedded(VexelStarterVertexShader, VexelStarterVertexShaderEnd)},
        {"data/shaders/standard.330.frag", Embedded(VexelStarterFragmentShader, VexelStarterFragmentShaderEnd)},
        {"data/shaders/ribbons.glsl", Embedded(VexelStarterShader, VexelStarterShaderEnd)},
        {"data/fonts/DejaVuSans.ttf", FontFace::BuiltInFile()},
        {"data/fonts/DejaVuSans.LICENSE", Embedded(VexelStarterFontLicense, VexelStarterFontLicenseEnd)},
        {"data/music/starter.wav", wav},
        {"data/textures/", {}},
    };
    for (const auto& [name, bytes] : files) {
        const fs::path target = path / name;
        std::string reason;
        const bool folderOnly = target.filename().empty();
        if (!fs::create_directories(folderOnly ? target : target.parent_path(), code) && code) {
            reason = code.message();
        } else if (!folderOnly) {
            WriteFile(target, bytes, reason);
        }
        if (!reason.empty()) {
            // Nothing half made is left: the folders made here, or what was
            // written into the empty folder given.
            std::error_code ignored;
            if (!made.empty()) {
                fs::remove_all(made, ignored);
            } else {
                fs::remove(path / "morvelin.xml", ignored);
                fs::remove_all(path / "data", ignored);
            }
            err << failed << "cannot write " << name << ": " << reason << " (removed what was made)" << std::endl;
            return 1;
        }
    }

    const std::string player = ShellWord(program.toLocal8Bit().toStdString());
    const std::string demo = ShellWord(given);
    out << "made " << demo << ": morvelin.xml, data/ with the shaders, a font and " << Bars << " bars of music at "
        << Bpm << " bpm\n"
        << "  play it:     " << player << " " << demo << "\n"
        << "  check it:    " << player << " --check " << demo << "\n"
        << "  capture it:  " << player << " --capture " << ShellWord(VideoFor(given)) << " " << demo << std::endl;
    return 0;
}

std::string StarterProject::SettingsFile(const QString& name)
{
    // The title is the demo's name, unless the built-in font lacks letters
    // for it, which --check would warn about.
    std::string error;
    const std::shared_ptr<FontFace> font = FontFace::Open(QString(), error);
    const bool drawable = !name.isEmpty() && font != nullptr && font->MissingCharacters(name).empty();
    const std::string title = drawable ? name.toStdString() : std::string("New demo");

    const double seconds = Bars * BeatsPerBar * 60.0 / Bpm;
    std::string text(Embedded(VexelStarterSettings, VexelStarterSettingsEnd));
    ReplaceAll(text, "@NAME@", XmlEscaped(name.toStdString()));
    ReplaceAll(text, "@TITLE@", XmlEscaped(title));
    ReplaceAll(text, "@BPM@", std::to_string(Bpm));
    ReplaceAll(text, "@BEATS@", std::to_string(Bars * BeatsPerBar));
    ReplaceAll(text, "@END@", QString::number(seconds).toStdString());
    return text;
}
