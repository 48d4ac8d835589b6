#include "Halvorn/SettingsCheck.h"

#include "Halvorn/DemoParts/PartParams.h"
#include "Halvorn/DemoParts/TextSettings.h"
#include "Halvorn/ShaderPartSettings.h"
#include "Halvorn/ShaderSource.h"
#include "Halvorn/Tempo.h"
#include "Halvorn/XmlElement.h"
#include "Halvorn/XmlEncoding.h"
#include "PictureRowReader.h"
#include "ShaderProgram.h"
#include "StandardShaders.h"
#include "Text/FontFace.h"
#include "Texture.h"
#include "XmlText.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sstream>

const char* const SettingsCheck::DocumentElement = "Halvorn-demo-settings";
const char* const SettingsCheck::NoDocumentElement = "the file has no document element <Halvorn-demo-settings>";
const char* const SettingsCheck::FolderText = "a folder, not a settings file, and it has no morvelin.xml";

struct SettingsCheck::TimedPart
{
    XmlElement element;
    std::string name;
    std::string className;
    float start;
    float end;
    unsigned int priority;
    // The buffer it draws into; empty for the screen.
    std::string target;
};

namespace {

using Severity = Diagnostic::Severity;

const char* const ImageKeys[] = {"image",     "color",     "align",  "relativeWidth", "relativeHeight",
                                 "relativeX", "relativeY", "rotate", "blending",      "alpha"};
const char* const AlignWords[] = {"left", "hcenter", "right", "top", "vcenter", "bottom"};
const char* const BlendingValues[] = {"opaque", "transcluent", "additive", "subtractive", "reversesubtractive"};
// The music may end a little before a part written to end with it.
const double MusicLengthSlack = 1e-3;

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

std::string Seconds(double seconds)
{
    std::ostringstream stream;
    stream << seconds;
    return stream.str();
}

template <std::size_t N> bool OneOf(const char* text, const char* const (&choices)[N])
{
    return std::any_of(std::begin(choices), std::end(choices),
                       [text](const char* choice) { return std::string(text) == choice; });
}

// The settings as the timeline gets them: atof, then single precision.
float NarrowTime(double seconds)
{
    if (std::fabs(seconds) > static_cast<double>(std::numeric_limits<float>::max())) {
        return seconds > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    }
    return static_cast<float>(seconds);
}

std::string ReaderText(int code)
{
    // "Error: " and "Warning: " would repeat what the severity says.
    std::string text = XmlElement::ErrorText(code);
    for (const char* prefix : {"Error: ", "Warning: "}) {
        const std::string start(prefix);
        if (text.compare(0, start.size(), start) == 0) {
            text.erase(0, start.size());
        }
    }
    return text;
}

// The reader's table and wide-text switch are process-wide: set them as
// OpenFile would for this file, and put them back afterwards.
class ReaderSettingsGuard
{
public:
    explicit ReaderSettingsGuard(const QByteArray& path)
        : mUtf8(XmlEncoding::Utf8TableInForce()), mWideText(XmlEncoding::WideTextDetection())
    {
        if (std::FILE* file = std::fopen(path.constData(), "rb")) {
            unsigned char bytes[200];
            const std::size_t count = std::fread(bytes, 1, sizeof bytes, file);
            std::fclose(file);
            XmlEncoding::UseUtf8Table(XmlEncoding::GuessUtf8(bytes, count, true));
            XmlEncoding::SetWideTextDetection(true);
        }
    }
    ~ReaderSettingsGuard()
    {
        XmlEncoding::UseUtf8Table(mUtf8);
        XmlEncoding::SetWideTextDetection(mWideText);
    }
    ReaderSettingsGuard(const ReaderSettingsGuard&) = delete;
    ReaderSettingsGuard& operator=(const ReaderSettingsGuard&) = delete;

private:
    bool mUtf8;
    bool mWideText;
};

// Where strtod or strtol stopped: text after the number, other than blanks, is not read.
bool HasRest(const char* end)
{
    while (std::isspace(static_cast<unsigned char>(*end))) {
        ++end;
    }
    return *end != '\0';
}

// A whole number as written, sign and digits only.
bool IsWholeNumber(const std::string& text)
{
    const std::size_t digits = text.find_first_not_of("+-") == 1 ? 1 : 0;
    return text.size() > digits && text.find_first_not_of("0123456789", digits) == std::string::npos;
}

} // namespace

void SettingsCheck::AddChildCheck(const std::string& elementName, ChildCheck check)
{
    for (auto& [name, existing] : mChildChecks) {
        if (XmlText::EqualNoCase(name.c_str(), elementName.c_str())) {
            existing = std::move(check);
            return;
        }
    }
    mChildChecks.emplace_back(elementName, std::move(check));
}

std::vector<Diagnostic> SettingsCheck::Run(const QString& settingsFile)
{
    mFile = settingsFile.toStdString();
    mFolder = QFileInfo(settingsFile).path();
    mEntries.clear();
    mShadersChecked = false;
    mNotedNoGlContext = false;
    mShaderPartFiles.clear();
    mBuffers.clear();
    mBuffersDrawn.clear();
    mMusicLength = -1.0;

    const QByteArray localPath = settingsFile.toLocal8Bit();
    {
        const ReaderSettingsGuard guard(localPath);
        XmlParseResult result;
        const XmlElement root = XmlElement::ParseFile(localPath.constData(), DocumentElement, &result);
        if (result.code == XmlParseResult::FirstTagNotFound) {
            // Point at the element that stands where the settings should.
            const XmlElement top = DocumentElementOf(XmlElement::ParseFile(localPath.constData(), nullptr, nullptr));
            if (top) {
                Add(Severity::Error, top.Line(), top.Column(),
                    "the document element is <" + std::string(top.Name()) + ">, not <" + DocumentElement + ">");
            } else {
                Add(Severity::Error, 1, 1, NoDocumentElement);
            }
        } else if (result.nestedTooDeep) {
            Add(Severity::Error, result.line, result.column,
                "not well-formed XML: nested deeper than " + std::to_string(XmlElement::MaxDepth) + " elements");
        } else if (result.code == XmlParseResult::FileNotFound) {
            Add(Severity::Error, 1, 1, QFileInfo(settingsFile).isDir() ? FolderText : "cannot open the file");
        } else if (result.code == XmlParseResult::NoXmlData) {
            Add(Severity::Error, 1, 1, "the file is empty");
        } else if (result.code != XmlParseResult::Ok) {
            const bool positioned = result.line > 0;
            Add(Severity::Error, positioned ? result.line : 1, positioned ? result.column : 1,
                "not well-formed XML: " + ReaderText(result.code));
        }
        // The tree of a warning is whole enough to check further.
        if (root) {
            CheckDocument(root);
        }
    }

    std::stable_sort(mEntries.begin(), mEntries.end(), [](const Entry& a, const Entry& b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
    std::vector<Diagnostic> diagnostics;
    diagnostics.reserve(mEntries.size());
    for (Entry& entry : mEntries) {
        diagnostics.push_back(std::move(entry.diagnostic));
    }
    mEntries.clear();
    return diagnostics;
}

XmlElement SettingsCheck::DocumentElementOf(const XmlElement& top)
{
    XmlElement element = top;
    while (element && (!element.Name() || element.IsDeclaration()) && element.ChildCount() > 0) {
        element = element.ChildAt(0);
    }
    return element && element.Name() && !element.IsDeclaration() ? element : XmlElement();
}

void SettingsCheck::Report(Severity severity, const XmlElement& element, const std::string& message)
{
    Add(severity, element.Line(), element.Column(), message);
}

void SettingsCheck::Report(Severity severity, const XmlElement& element, const char* attribute,
                           const std::string& message)
{
    const int i = element.AttributeIndex(attribute);
    if (i < 0) {
        Report(severity, element, message);
        return;
    }
    Add(severity, element.AttributeLine(i), element.AttributeColumn(i), message);
}

QString SettingsCheck::Resolve(const QString& path) const
{
    // A settings file in the current folder names its files as the maker does.
    if (QDir::isAbsolutePath(path) || mFolder == QLatin1String(".")) {
        return path;
    }
    return mFolder + QLatin1Char('/') + path;
}

void SettingsCheck::Add(Severity severity, int line, int column, const std::string& message)
{
    mEntries.push_back(Entry{Diagnostic(mFile, line, column, severity, message), line, column});
}

void SettingsCheck::CheckDocument(const XmlElement& root)
{
    CheckSoundtrack(root);
    CheckTempo(root);
    CheckBuffers(root);

    std::vector<TimedPart> timed;
    const XmlElement demoParts = root.Child("demoparts");
    const int partCount = demoParts.ChildCount("part");
    for (int i = 0; i < partCount; ++i) {
        CheckPart(demoParts.Child("part", i), timed);
    }
    CheckTimeline(timed);
    for (std::size_t i = 0; i < mBuffers.size(); ++i) {
        if (!mBuffersDrawn[i]) {
            Add(Severity::Warning, mBuffers[i].mLine, mBuffers[i].mColumn,
                "buffer " + Quoted(mBuffers[i].mName.toStdString()) +
                    " is never drawn into: no part has target=" + Quoted(mBuffers[i].mName.toStdString()));
        }
    }
}

void SettingsCheck::CheckBuffers(const XmlElement& root)
{
    std::vector<BufferSettings::Problem> problems;
    mBuffers = BufferSettings::ReadAll(root, problems);
    mBuffersDrawn.assign(mBuffers.size(), false);
    for (const BufferSettings::Problem& problem : problems) {
        const Severity severity = problem.warning ? Severity::Warning : Severity::Error;
        if (problem.attribute != nullptr) {
            Report(severity, problem.element, problem.attribute, problem.message);
        } else {
            Report(severity, problem.element, problem.message);
        }
    }
}

std::string SettingsCheck::CheckTarget(const XmlElement& part)
{
    // The last target given is the one the part uses.
    XmlElement targetParam;
    for (const XmlElement& param : part.Children("param")) {
        if (param.Attribute(PartParams::TargetKey) != nullptr) {
            targetParam = param;
        }
    }
    if (!targetParam) {
        return std::string();
    }
    const QString name = QString::fromUtf8(targetParam.Attribute(PartParams::TargetKey));
    const int buffer = BufferSettings::IndexOf(mBuffers, name);
    if (buffer >= 0) {
        mBuffersDrawn[static_cast<std::size_t>(buffer)] = true;
    } else {
        const char* partName = part.Attribute("name");
        Report(Severity::Error, targetParam, PartParams::TargetKey,
               BufferSettings::UnknownBuffer(QString::fromUtf8(partName ? partName : ""), name, mBuffers));
    }
    return name.toStdString();
}

void SettingsCheck::CheckBufferRead(const XmlElement& part, const XmlElement& param, const char* attribute,
                                    const QString& name)
{
    if (BufferSettings::IndexOf(mBuffers, name) < 0) {
        const char* partName = part.Attribute("name");
        Report(Severity::Error, param, attribute,
               BufferSettings::UnknownBuffer(QString::fromUtf8(partName ? partName : ""), name, mBuffers));
    }
}

void SettingsCheck::CheckSoundtrack(const XmlElement& root)
{
    const XmlElement soundtrack = root.Child("soundtrack");
    const char* file = soundtrack.Attribute("file");
    if (!soundtrack) {
        Report(Severity::Error, root, "no <soundtrack> element");
        return;
    }
    if (file == nullptr) {
        Report(Severity::Error, soundtrack, "the soundtrack has no file attribute");
        return;
    }
    if (!mSoundtrackChecked) {
        return;
    }
    const QString path = Resolve(QString::fromUtf8(file));
    if (!QFileInfo(path).isFile()) {
        Report(Severity::Error, soundtrack, "file", "soundtrack " + Quoted(file) + " not found");
        return;
    }
    const QFileInfo info(path);
    const FileStamp stamp{true, info.size(), info.lastModified().toMSecsSinceEpoch()};
    if (path != mMusicPath || !(stamp == mMusicStamp)) {
        mMusicPath = path;
        mMusicStamp = stamp;
        mMusicError.clear();
        mMusicProbedLength = ProbeMusic(path, mMusicError);
    }
    mMusicLength = mMusicProbedLength;
    const std::string& error = mMusicError;
    if (!error.empty()) {
        Report(Severity::Error, soundtrack, "file", "soundtrack " + Quoted(file) + " cannot be loaded: " + error);
    }
}

void SettingsCheck::CheckTempo(const XmlElement& root)
{
    // The loader leaves out a tempo it cannot use without a word; times in
    // bars and beats are then refused as if there were none.
    const XmlElement tempo = root.Child("tempo");
    if (!tempo) {
        return;
    }
    const std::string dropped = "; the file has no tempo";
    const char* bpm = tempo.Attribute("bpm");
    if (bpm == nullptr) {
        Report(Severity::Warning, tempo, "the tempo has no bpm attribute" + dropped);
        return;
    }
    const char* beatsPerBar = tempo.Attribute("beatsPerBar");
    const char* offset = tempo.Attribute("offset");
    const double beatsPerMinute = std::atof(bpm);
    const int barBeats = beatsPerBar != nullptr ? static_cast<int>(std::strtol(beatsPerBar, nullptr, 10)) : 4;
    const double offsetSeconds = offset != nullptr ? std::atof(offset) : 0.0;
    if (!(std::isfinite(beatsPerMinute) && beatsPerMinute > 0.0)) {
        Report(Severity::Warning, tempo, "bpm",
               "tempo bpm " + Quoted(bpm) + " is not a number greater than 0" + dropped);
    } else if (barBeats < 1) {
        Report(Severity::Warning, tempo, "beatsPerBar",
               "tempo beatsPerBar " + Quoted(beatsPerBar) + " is not a whole number from 1" + dropped);
    } else if (!std::isfinite(offsetSeconds)) {
        Report(Severity::Warning, tempo, "offset",
               "tempo offset " + Quoted(offset) + " is not a finite time" + dropped);
    } else if (!Tempo(beatsPerMinute, barBeats, offsetSeconds).IsValid()) {
        Report(Severity::Warning, tempo, "bpm",
               "tempo bpm " + Quoted(bpm) + " is so small that a bar has no finite length" + dropped);
    }
}

void SettingsCheck::CheckPriority(const XmlElement& part, const char* text)
{
    // As the loader reads it: strtol, cut to int, taken as unsigned.
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    const bool outOfRange = errno == ERANGE;
    const unsigned int read = static_cast<unsigned int>(static_cast<int>(std::strtol(text, nullptr, 10)));
    const std::string readAs = " and is read as " + std::to_string(read);
    if (end == text) {
        Report(Severity::Warning, part, "priority", "priority " + Quoted(text) + " is not a whole number; 0 is used");
    } else if (value < 0) {
        Report(Severity::Warning, part, "priority", "priority " + Quoted(text) + " is negative" + readAs);
    } else if (outOfRange || value > static_cast<long long>(std::numeric_limits<unsigned int>::max())) {
        Report(Severity::Warning, part, "priority",
               "priority " + Quoted(text) + " is larger than " +
                   std::to_string(std::numeric_limits<unsigned int>::max()) + readAs);
    } else if (HasRest(end)) {
        Report(Severity::Warning, part, "priority", "priority " + Quoted(text) + " is read as " + std::to_string(read));
    }
}

void SettingsCheck::CheckPart(const XmlElement& part, std::vector<TimedPart>& timed)
{
    bool timesValid = true;
    float start = 0.0f;
    float end = 0.0f;
    if (part.Attribute("start") == nullptr) {
        Report(Severity::Error, part, "the part has no start attribute");
        timesValid = false;
    } else {
        timesValid = ReadTime(part, "start", start);
    }
    if (part.Attribute("length") != nullptr) {
        float length = 0.0f;
        if (ReadTime(part, "length", length) && timesValid) {
            // As the loader: the sum in double precision, then narrowed.
            end = NarrowTime(std::atof(part.Attribute("start")) + std::atof(part.Attribute("length")));
            if (!std::isfinite(end)) {
                Report(Severity::Error, part, "length", "start + length is not a finite time");
                timesValid = false;
            }
        } else {
            timesValid = false;
        }
    } else if (part.Attribute("end") != nullptr) {
        timesValid = ReadTime(part, "end", end) && timesValid;
    } else {
        Report(Severity::Error, part, "the part has neither an end nor a length attribute");
        timesValid = false;
    }

    for (const char* attribute : {"name", "class", "priority"}) {
        if (part.Attribute(attribute) == nullptr) {
            Report(Severity::Error, part, std::string("the part has no ") + attribute + " attribute");
        }
    }
    if (const char* priority = part.Attribute("priority")) {
        CheckPriority(part, priority);
    }
    const char* classText = part.Attribute("class");
    const std::string className = classText ? classText : "";
    const bool knownClass = className == "lib.Image" || className == "lib.ClearScreen" ||
                            className == "lib.TestPartVao" || className == "lib.Text" ||
                            className == "lib.Shader";
    if (classText != nullptr && !knownClass) {
        Report(Severity::Error, part, "class", "unknown part class " + Quoted(className));
    }

    for (const char* flag : {"clearBackground", "clearZBuffer"}) {
        const char* value = part.Attribute(flag);
        if (value != nullptr && std::string(value) != "true" && std::string(value) != "false") {
            Report(Severity::Error, part, flag,
                   std::string(flag) + " must be \"true\" or \"false\", not " + Quoted(value));
        }
    }
    // The loader never hands this attribute on, so a bad one cannot stop the demo.
    if (const char* clearColor = part.Attribute("clearColor")) {
        CheckColor(part, "clearColor", clearColor, Severity::Warning);
    }

    QString image;
    XmlElement imageParam;
    CheckParams(part, knownClass ? className : std::string(), image, imageParam);
    const std::string target = knownClass ? CheckTarget(part) : std::string();

    // Other children: scenes are not loaded; the rest have their own checks, if any.
    for (int i = 0; i < part.ChildCount(); ++i) {
        const XmlElement child = part.ChildAt(i);
        for (const auto& [name, check] : mChildChecks) {
            if (child.Name() && XmlText::EqualNoCase(child.Name(), name.c_str())) {
                check(*this, part, child);
            }
        }
    }

    if (className == "lib.Image") {
        if (imageParam && image.startsWith(QLatin1Char('@'))) {
            CheckBufferRead(part, imageParam, "image", image.mid(1));
        } else if (imageParam) {
            CheckPicture(imageParam, "image", QStringLiteral("data/textures/") + image);
        } else {
            Report(Severity::Error, part, "the lib.Image part has no image parameter");
        }
        CheckShaders(part);
    } else if (className == "lib.TestPartVao") {
        CheckPicture(part, "class", QStringLiteral("data/textures/test.png"));
        CheckPicture(part, "class", QStringLiteral("data/textures/bg.jpg"));
        CheckShaders(part);
    } else if (className == "lib.Text") {
        CheckText(part);
    } else if (className == "lib.Shader") {
        CheckShaderPart(part);
    }

    if (timesValid) {
        const char* name = part.Attribute("name");
        const char* priority = part.Attribute("priority");
        timed.push_back(TimedPart{part, name ? name : "", className, start, end,
                                  static_cast<unsigned int>(std::strtol(priority ? priority : "0", nullptr, 10)),
                                  target});
    }
}

bool SettingsCheck::ReadTime(const XmlElement& part, const char* attribute, float& seconds)
{
    const char* text = part.Attribute(attribute);
    seconds = NarrowTime(std::atof(text));
    if (!std::isfinite(seconds)) {
        Report(Severity::Error, part, attribute, std::string(attribute) + " " + Quoted(text) + " is not a finite time");
        return false;
    }
    // The loader reads the number at the start of the text and nothing else.
    char* end = nullptr;
    std::strtod(text, &end);
    if (end == text) {
        Report(Severity::Warning, part, attribute,
               std::string(attribute) + " " + Quoted(text) + " is not a number; 0 is used");
    } else if (HasRest(end)) {
        Report(Severity::Warning, part, attribute,
               std::string(attribute) + " " + Quoted(text) + " is read as " + Seconds(std::atof(text)));
    }
    return true;
}

void SettingsCheck::CheckParams(const XmlElement& part, const std::string& className, QString& image,
                                XmlElement& imageParam)
{
    const int paramCount = part.ChildCount("param");
    for (int p = 0; p < paramCount; ++p) {
        const XmlElement param = part.Child("param", p);
        for (int a = 0; a < param.AttributeCount(); ++a) {
            const char* key = param.AttributeName(a);
            const char* value = param.AttributeValue(a) ? param.AttributeValue(a) : "";
            const std::string keyText(key);
            const auto warnAt = [&](const std::string& message) {
                Add(Severity::Warning, param.AttributeLine(a), param.AttributeColumn(a), message);
            };
            if (className.empty() || className == "lib.Shader") {
                continue; // an unknown class was reported already; a shader part has its own check
            }
            if (keyText == PartParams::TargetKey) {
                continue; // every class draws into a buffer; checked with the part
            }
            const bool known = className == "lib.ClearScreen" ? keyText == "color"
                               : className == "lib.Image"     ? OneOf(key, ImageKeys)
                               : className == "lib.Text"      ? TextSettings::IsKey(keyText)
                                                              : false;
            if (!known) {
                warnAt("unknown parameter " + Quoted(keyText) + " for " + className);
                continue;
            }
            if (className == "lib.Text" && keyText != "color" && keyText != "outlineColor") {
                // Read as the part reads it; colours are checked below as for every part.
                TextSettings settings;
                std::vector<TextSettings::Issue> issues;
                settings.Apply(QString::fromUtf8(key), QString::fromUtf8(value), issues);
                for (const TextSettings::Issue& issue : issues) {
                    if (issue.problem == TextSettings::Problem::AlignWord) {
                        warnAt("unknown align word " + Quoted(issue.detail));
                    } else if (issue.problem == TextSettings::Problem::NotFinite) {
                        warnAt("value " + Quoted(issue.detail) + " for " + Quoted(keyText) +
                               " is not a finite number; 0 is used");
                    } else if (issue.problem == TextSettings::Problem::NumberCount) {
                        warnAt(keyText + " " + Quoted(value) + " should be " +
                               (keyText == "shadow" ? "2 numbers (x y)"
                                                    : "3 numbers (amplitude, waves per second, step per letter)") +
                               "; the missing ones count as 0");
                    }
                }
                continue;
            }
            if (keyText == "color" || keyText == "outlineColor") {
                CheckColor(param, key, value);
            } else if (keyText == "image") {
                image = QString::fromUtf8(value);
                imageParam = param;
            } else if (keyText == "align") {
                for (const QString& word : QString::fromUtf8(value).split(QLatin1Char(' '))) {
                    const QByteArray wordText = word.toUtf8();
                    if (!OneOf(wordText.constData(), AlignWords)) {
                        warnAt("unknown align word " + Quoted(wordText.toStdString()));
                    }
                }
            } else if (keyText == "relativeWidth" || keyText == "relativeHeight" || keyText == "relativeX" ||
                       keyText == "relativeY" || keyText == "rotate" || keyText == "alpha") {
                // As the part reads it: text that is no number is 0 without a word, an infinity or NaN warns.
                if (!std::isfinite(QString::fromUtf8(value).toFloat())) {
                    warnAt("value " + Quoted(value) + " for " + Quoted(keyText) + " is not a finite number; 0 is used");
                }
            } else if (keyText == "blending" && !OneOf(value, BlendingValues)) {
                warnAt("unknown blending " + Quoted(value) +
                       " (opaque, transcluent, additive, subtractive or reversesubtractive)");
            }
        }
    }
}

bool SettingsCheck::CheckColor(const XmlElement& element, const char* attribute, const char* value,
                               Diagnostic::Severity severity)
{
    static const char* const Channels[] = {"red", "green", "blue"};
    std::vector<std::string> words;
    std::istringstream stream(value);
    for (std::string word; words.size() < 3 && stream >> word;) {
        words.push_back(word);
    }
    glm::vec4 color;
    const PartParams::ColorChannel failed = PartParams::ReadColor(QString::fromUtf8(value), color);
    const std::string said = std::string(attribute) + " " + Quoted(value);
    if (failed == PartParams::ColorChannel::None) {
        // Each channel keeps its low 8 bits: 256 is 0, -1 is 255.
        for (std::size_t i = 0; i < words.size(); ++i) {
            const long channel = std::strtol(words[i].c_str(), nullptr, 10);
            if (channel < 0 || channel > 255) {
                Report(Severity::Warning, element, attribute,
                       said + ": " + Channels[i] + " " + std::to_string(channel) + " is outside 0-255 and is read as " +
                           std::to_string(static_cast<unsigned char>(channel)));
            }
        }
        return true;
    }
    const std::size_t index = static_cast<std::size_t>(failed) - 1;
    if (index < words.size() && IsWholeNumber(words[index])) {
        Report(severity, element, attribute,
               said + ": " + Channels[index] + " " + words[index] +
                   " is out of range: write 'r g b' with values 0-255");
    } else {
        Report(severity, element, attribute,
               said + " has no whole number for " + Channels[index] + ": write 'r g b' with values 0-255");
    }
    return false;
}

void SettingsCheck::CheckPicture(const XmlElement& element, const char* attribute, const QString& relativePath)
{
    const std::string shown = Quoted(relativePath.toStdString());
    const Picture& picture = DecodePicture(Resolve(relativePath));
    if (!picture.exists) {
        Report(Severity::Error, element, attribute, "picture " + shown + " not found");
    } else if (!picture.decodeError.empty()) {
        Report(Severity::Error, element, attribute, "picture " + shown + " cannot be decoded: " + picture.decodeError);
    } else if (picture.tooLarge) {
        Report(Severity::Error, element, attribute,
               "picture " + shown + " is " + std::to_string(picture.width) + "x" + std::to_string(picture.height) +
                   ", too large to decode (more than 2 GiB)");
    } else if (!picture.headerOnly && picture.bytesPerPixel != 3 && picture.bytesPerPixel != 4) {
        Report(Severity::Error, element, attribute,
               "picture " + shown + " is not true-colour (" + std::to_string(picture.bitsPerPixel) +
                   " bits per pixel)");
    } else if (mGlFacts.maxTextureSize > 0 &&
               (picture.width > mGlFacts.maxTextureSize || picture.height > mGlFacts.maxTextureSize)) {
        Report(Severity::Error, element, attribute,
               "picture " + shown + " is " + std::to_string(picture.width) + "x" + std::to_string(picture.height) +
                   ", larger than the GL maximum texture size " + std::to_string(mGlFacts.maxTextureSize));
    }
}

const SettingsCheck::Picture& SettingsCheck::DecodePicture(const QString& path)
{
    // Demos show the same picture in many parts, and a reload changes few
    // files: decode each once for as long as it stays the same on disk.
    const QFileInfo info(path);
    const FileStamp stamp{info.isFile(), info.size(), info.lastModified().toMSecsSinceEpoch()};
    Picture& picture = mPictures[path];
    if (picture.decoded && picture.stamp == stamp) {
        return picture;
    }
    picture = Picture();
    picture.decoded = true;
    picture.stamp = stamp;
    picture.exists = stamp.isFile;
    if (!picture.exists) {
        return picture;
    }
    // A picture GL cannot take is refused from its header, however big.
    const PictureRowReader header(path);
    const int maxSide = mGlFacts.maxTextureSize;
    if (maxSide > 0 && (header.GetHeaderWidth() > static_cast<unsigned>(maxSide) ||
                        header.GetHeaderHeight() > static_cast<unsigned>(maxSide))) {
        picture.headerOnly = true;
        picture.width = static_cast<int>(header.GetHeaderWidth());
        picture.height = static_cast<int>(header.GetHeaderHeight());
        return picture;
    }
    // Decoded as Texture::Load decodes it, so the verdict is the same.
    const Texture::Decoded decoded = Texture::Inspect(path);
    switch (decoded.mStatus) {
    case Texture::Decoded::NotLoaded:
    case Texture::Decoded::NotConverted:
        picture.decodeError = decoded.mError;
        break;
    case Texture::Decoded::TooLarge:
        picture.tooLarge = true;
        break;
    case Texture::Decoded::Ok:
    case Texture::Decoded::Streamed:
    case Texture::Decoded::NotTrueColor:
        picture.bitsPerPixel = decoded.mBitsPerPixel;
        picture.bytesPerPixel = decoded.mBitsPerPixel / 8;
        break;
    }
    picture.width = static_cast<int>(decoded.mWidth);
    picture.height = static_cast<int>(decoded.mHeight);
    return picture;
}

void SettingsCheck::CheckShaders(const XmlElement& part)
{
    // Every part that draws uses the one standard pair: check it once.
    if (mShadersChecked) {
        return;
    }
    mShadersChecked = true;
    const int line = part.Line();
    const int column = part.Column();
    const QString demoFolder = QStringLiteral("data/shaders/");
    const QString folder = StandardShaders::FolderFor(Resolve(demoFolder));
    const bool installed = folder != Resolve(demoFolder);
    if (installed) {
        Report(Severity::Note, part, "class",
               "no standard shader pair in " + demoFolder.toStdString() + ": using the installed one in " +
                   folder.toStdString());
    }
    // Named as the maker wrote them, unless the installed pair stands in.
    const QString vertex = (installed ? folder : demoFolder) + StandardVertexShaderFile;
    const QString fragment = (installed ? folder : demoFolder) + StandardFragmentShaderFile;
    bool bothExist = true;
    for (const QString& shader : {vertex, fragment}) {
        if (!QFileInfo(Resolve(shader)).isFile()) {
            Report(Severity::Error, part, "class", "shader " + Quoted(shader.toStdString()) + " not found");
            bothExist = false;
        }
    }
    if (!mGlFacts.checkShaders) {
        NoteNoGlContext(part);
        return;
    }
    if (!bothExist) {
        return;
    }
    for (Diagnostic& found : mGlFacts.checkShaders(Resolve(vertex), Resolve(fragment))) {
        mEntries.push_back(Entry{std::move(found), line, column});
    }
}

void SettingsCheck::NoteNoGlContext(const XmlElement& part)
{
    if (!mNotedNoGlContext) {
        mNotedNoGlContext = true;
        Report(Severity::Note, part, "class", "shader checks skipped: no GL context");
    }
}

void SettingsCheck::CheckShaderPart(const XmlElement& part)
{
    // The parameters as the loader hands them to the part, and where each stands.
    std::vector<DemoPartParam> params;
    std::vector<std::pair<XmlElement, int>> places;
    for (const XmlElement& param : part.Children("param")) {
        for (int a = 0; a < param.AttributeCount(); ++a) {
            params.emplace_back(QString::fromUtf8(param.AttributeName(a)),
                                QString::fromUtf8(param.AttributeValue(a) ? param.AttributeValue(a) : ""));
            places.emplace_back(param, a);
        }
    }
    const auto reportAt = [&](int param, Severity severity, const std::string& message) {
        if (param < 0) {
            Report(severity, part, message);
        } else {
            const auto& [element, attribute] = places[static_cast<std::size_t>(param)];
            Add(severity, element.AttributeLine(attribute), element.AttributeColumn(attribute), message);
        }
    };
    const char* name = part.Attribute("name");
    const QString partName = QString::fromUtf8(name ? name : "");
    std::vector<ShaderPartSettings::Problem> problems;
    ShaderPartSettings settings = ShaderPartSettings::Read(partName, params, nullptr, problems);

    std::string text;
    std::string error;
    std::unique_ptr<ShaderSource> source;
    const QString relative = QStringLiteral("data/shaders/") + settings.mShader;
    const QString path = Resolve(relative);
    const std::string named = "part " + Quoted(partName.toStdString()) + ": shader " + Quoted(relative.toStdString());
    if (settings.mShaderParam >= 0 && !QFileInfo(path).isFile()) {
        problems.push_back({true, settings.mShaderParam, named + " not found"});
    } else if (settings.mShaderParam >= 0 && !ShaderSource::ReadFile(path, text, error)) {
        problems.push_back({true, settings.mShaderParam, named + " cannot be read: " + error});
    } else if (settings.mShaderParam >= 0) {
        source = std::make_unique<ShaderSource>(text);
        problems.clear();
        settings = ShaderPartSettings::Read(partName, params, source.get(), problems, &mBuffers);
    }
    for (const ShaderPartSettings::Problem& problem : problems) {
        reportAt(problem.param, problem.error ? Severity::Error : Severity::Warning, problem.message);
    }
    for (const ShaderPartSettings::Sampler& sampler : settings.mSamplers) {
        if (sampler.source == ShaderPartSettings::Source::Picture) {
            const auto& [element, attribute] = places[static_cast<std::size_t>(sampler.param)];
            CheckPicture(element, element.AttributeName(attribute), QStringLiteral("data/textures/") + sampler.picture);
        }
    }
    // A file several parts run is looked at and reported once, at the first.
    if (!source || std::find(mShaderPartFiles.begin(), mShaderPartFiles.end(), path) != mShaderPartFiles.end()) {
        return;
    }
    mShaderPartFiles.push_back(path);
    const auto& [element, attribute] = places[static_cast<std::size_t>(settings.mShaderParam)];
    const int line = element.AttributeLine(attribute);
    const int column = element.AttributeColumn(attribute);
    if (source->GetConvention() == ShaderSource::Convention::Unknown) {
        mEntries.push_back(
            Entry{Diagnostic(path.toStdString(), source->ProblemLine(), 1, Severity::Error, source->Problem()), line,
                  column});
    } else if (!mGlFacts.checkShaderPart) {
        NoteNoGlContext(part);
    } else {
        for (Diagnostic& found : mGlFacts.checkShaderPart(path, path.toStdString())) {
            mEntries.push_back(Entry{std::move(found), line, column});
        }
    }
}

void SettingsCheck::CheckTimeline(const std::vector<TimedPart>& timed)
{
    for (const TimedPart& part : timed) {
        const std::string name = "part " + Quoted(part.name);
        if (part.end < part.start) {
            Report(Severity::Warning, part.element,
                   name + " ends at " + Seconds(part.end) + " s, before it starts at " + Seconds(part.start) + " s");
            continue;
        }
        if (part.end == part.start) {
            Report(Severity::Warning, part.element, name + " has zero length and never shows");
            continue;
        }
        for (const TimedPart& cover : timed) {
            // A clear of another buffer, or of the screen, leaves the part's drawing alone.
            if (cover.className == "lib.ClearScreen" && cover.priority > part.priority && cover.start <= part.start &&
                cover.end >= part.end && cover.target == part.target) {
                Report(Severity::Warning, part.element,
                       name + " never shows: ClearScreen part " + Quoted(cover.name) + " (priority " +
                           std::to_string(cover.priority) + ") clears " +
                           (part.target.empty() ? std::string("the screen") : "buffer " + Quoted(part.target)) +
                           " over all of its time");
                break;
            }
        }
        if (mMusicLength >= 0.0 && part.end > mMusicLength + MusicLengthSlack) {
            const bool startsAfter = part.start >= mMusicLength;
            Report(Severity::Warning, part.element,
                   name + (startsAfter ? " starts at " + Seconds(part.start) : " ends at " + Seconds(part.end)) +
                       " s, after the music ends at " + Seconds(mMusicLength) + " s");
        }
    }
}

void SettingsCheck::CheckText(const XmlElement& part)
{
    // The last text and font given are the ones the part uses.
    TextSettings settings;
    std::vector<TextSettings::Issue> ignored;
    XmlElement textParam;
    XmlElement fontParam;
    XmlElement sizeParam;
    for (const XmlElement& param : part.Children("param")) {
        for (int a = 0; a < param.AttributeCount(); ++a) {
            const std::string key = param.AttributeName(a);
            const char* value = param.AttributeValue(a) ? param.AttributeValue(a) : "";
            if (key == "text") {
                textParam = param;
            } else if (key == "font") {
                fontParam = param;
            } else if (key == "size") {
                sizeParam = param;
            }
            if (key != "color" && key != "outlineColor") {
                settings.Apply(QString::fromStdString(key), QString::fromUtf8(value), ignored);
            }
        }
    }
    if (!textParam) {
        Report(Severity::Warning, part, "the lib.Text part has no text parameter");
    }
    if (!(settings.mSize > 0.0f)) {
        Report(Severity::Warning, sizeParam ? sizeParam : part, "size",
               "size " + Quoted(sizeParam.Attribute("size")) + " is not above 0: the text does not show");
    }
    std::string error;
    const std::shared_ptr<FontFace> face =
        OpenFont(settings.mHasFont ? Resolve(TextSettings::FontPath(settings.mFont)) : QString(), error);
    if (!face) {
        Report(Severity::Error, fontParam, "font",
               "font " + Quoted(TextSettings::FontPath(settings.mFont).toStdString()) + " " + error);
        return;
    }
    const std::vector<char32_t> missing = face->MissingCharacters(settings.mText);
    if (!missing.empty()) {
        Report(Severity::Warning, textParam, "text", face->DescribeMissing(missing));
    }
}

std::shared_ptr<FontFace> SettingsCheck::OpenFont(const QString& path, std::string& error)
{
    const QFileInfo info(path);
    const FileStamp stamp{info.isFile(), info.size(), info.lastModified().toMSecsSinceEpoch()};
    // An empty path is the built-in font, which never changes.
    const auto found = mFonts.find(path);
    if (found != mFonts.end() && (path.isEmpty() || found->second.stamp == stamp)) {
        error = found->second.error;
        return found->second.face;
    }
    Font& font = mFonts[path];
    font.stamp = stamp;
    font.error.clear();
    font.face = FontFace::Open(path, font.error);
    error = font.error;
    return font.face;
}

double SettingsCheck::ProbeMusic(const QString& path, std::string& error) const
{
    // SDL_mixer decodes only with a device open. The player's open device is
    // used as it is; otherwise a silent one is opened for the probe and closed.
    const bool wasOpen = Mix_QuerySpec(nullptr, nullptr, nullptr) != 0;
    std::string previousDriver;
    const bool hadDriverHint = SDL_GetHint(SDL_HINT_AUDIODRIVER) != nullptr;
    bool openedAudio = false;
    bool initedAudio = false;
    if (!wasOpen) {
        if (hadDriverHint) {
            previousDriver = SDL_GetHint(SDL_HINT_AUDIODRIVER);
        }
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        // The subsystem counts its users: quit only what was started here.
        initedAudio = SDL_WasInit(SDL_INIT_AUDIO) == 0 && SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        if (SDL_WasInit(SDL_INIT_AUDIO) != 0 && Mix_OpenAudio(MIX_DEFAULT_FREQUENCY, MIX_DEFAULT_FORMAT, 2, 4096) == 0) {
            openedAudio = true;
        } else {
            error = std::string("no sound device to decode with: ") + SDL_GetError();
        }
    }

    double length = -1.0;
    if (error.empty()) {
        if (Mix_Music* music = Mix_LoadMUS(path.toLocal8Bit().constData())) {
            length = Mix_MusicDuration(music);
            Mix_FreeMusic(music);
        } else {
            error = Mix_GetError();
        }
    }

    if (!wasOpen) {
        if (openedAudio) {
            Mix_CloseAudio();
        }
        if (initedAudio) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
        if (hadDriverHint) {
            SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, previousDriver.c_str(), SDL_HINT_OVERRIDE);
        } else {
            SDL_ResetHint(SDL_HINT_AUDIODRIVER);
        }
    }
    return length;
}
