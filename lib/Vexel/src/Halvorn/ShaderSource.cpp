#include "Halvorn/ShaderSource.h"

#include <QFile>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>

const char* const ShaderSource::ComputeTexName = "computeTex";
const char* const ShaderSource::ComputeTexBackName = "computeTexBack";
const char* const ShaderSource::ShadertoyOutput = "vexelFragColor";

namespace {

const char* const ShadertoyVersion = "330 core";

// What Shadertoy gives every shader; iChannel0..3 are for the parameters.
const char* const ShadertoyHeader = "uniform vec3 iResolution;\n"
                                    "uniform float iTime;\n"
                                    "uniform float iTimeDelta;\n"
                                    "uniform int iFrame;\n"
                                    "uniform float iFrameRate;\n"
                                    "uniform vec4 iMouse;\n"
                                    "uniform vec4 iDate;\n"
                                    "uniform float iSampleRate;\n"
                                    "uniform vec3 iChannelResolution[4];\n"
                                    "uniform float iChannelTime[4];\n"
                                    "uniform sampler2D iChannel0;\n"
                                    "uniform sampler2D iChannel1;\n"
                                    "uniform sampler2D iChannel2;\n"
                                    "uniform sampler2D iChannel3;\n";

const char* const EngineUniforms[] = {
    "fGlobalTime",      "fFrameTime",       "v2Resolution", "texFFT",      "texFFTSmoothed",
    "texFFTIntegrated", "texPreviousFrame", "texNoise",     "texChecker",  "computeTex",
    "computeTexBack",   "iResolution",      "iTime",        "iTimeDelta",  "iFrame",
    "iFrameRate",       "iMouse",           "iDate",        "iSampleRate", "iChannelResolution",
    "iChannelTime",
};

// Comments become blanks, line ends stay: positions in the result are
// positions in the file.
std::string StripComments(const std::string& text)
{
    std::string out = text;
    std::size_t i = 0;
    while (i < out.size()) {
        if (out.compare(i, 2, "//") == 0) {
            while (i < out.size() && out[i] != '\n') {
                out[i++] = ' ';
            }
        } else if (out.compare(i, 2, "/*") == 0) {
            const std::size_t end = out.find("*/", i + 2);
            const std::size_t stop = end == std::string::npos ? out.size() : end + 2;
            for (; i < stop; ++i) {
                out[i] = out[i] == '\n' ? '\n' : ' ';
            }
        } else {
            ++i;
        }
    }
    return out;
}

struct Token
{
    std::string text;
    int line;
    int column;
};

bool IsNameStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_';
}

bool IsNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

// Names, numbers and single characters, outside preprocessor lines.
std::vector<Token> Tokenize(const std::string& text)
{
    std::vector<Token> tokens;
    int line = 1;
    std::size_t lineStart = 0;
    bool lineHasCode = false;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            lineStart = ++i;
            lineHasCode = false;
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(c)) != 0) {
            ++i;
            continue;
        }
        if (c == '#' && !lineHasCode) {
            // A directive runs to its line's end, or on over a backslash.
            while (i < text.size() && !(text[i] == '\n' && text[i - 1] != '\\')) {
                if (text[i] == '\n') {
                    ++line;
                    lineStart = i + 1;
                }
                ++i;
            }
            continue;
        }
        lineHasCode = true;
        const int column = static_cast<int>(i - lineStart) + 1;
        std::size_t end = i + 1;
        if (IsNameStart(c)) {
            while (end < text.size() && IsNameChar(text[end])) {
                ++end;
            }
        } else if (std::isdigit(static_cast<unsigned char>(c)) != 0 ||
                   (c == '.' && end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])) != 0)) {
            while (end < text.size() &&
                   (IsNameChar(text[end]) || text[end] == '.' ||
                    ((text[end] == '+' || text[end] == '-') && (text[end - 1] == 'e' || text[end - 1] == 'E')))) {
                ++end;
            }
        }
        tokens.push_back(Token{text.substr(i, end - i), line, column});
        i = end;
    }
    return tokens;
}

const std::set<std::string>& Qualifiers()
{
    static const std::set<std::string> qualifiers = {"lowp",          "mediump",   "highp",     "coherent", "volatile",
                                                     "restrict",      "readonly",  "writeonly", "flat",     "smooth",
                                                     "noperspective", "invariant", "precise",   "const"};
    return qualifiers;
}

// Skips a bracket group starting at i (which holds the opener); returns the
// index after its closer.
std::size_t SkipGroup(const std::vector<Token>& tokens, std::size_t i)
{
    int depth = 0;
    for (; i < tokens.size(); ++i) {
        const std::string& t = tokens[i].text;
        depth += t == "(" || t == "[" || t == "{" ? 1 : 0;
        depth -= t == ")" || t == "]" || t == "}" ? 1 : 0;
        if (depth == 0) {
            return i + 1;
        }
    }
    return tokens.size();
}

int ArraySize(const std::vector<Token>& tokens, std::size_t& i)
{
    if (i + 2 < tokens.size() && tokens[i].text == "[") {
        const int size = std::atoi(tokens[i + 1].text.c_str());
        i = SkipGroup(tokens, i);
        return size > 0 ? size : 1;
    }
    return 0;
}

// The uniform declarations at file scope; line 0 marks text that is not the
// file's own.
std::vector<ShaderSource::Uniform> Declarations(const std::string& stripped, bool ownText)
{
    std::vector<ShaderSource::Uniform> found;
    const std::vector<Token> tokens = Tokenize(stripped);
    int depth = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string& t = tokens[i].text;
        if (t == "{") {
            ++depth;
        } else if (t == "}") {
            --depth;
        }
        if (depth != 0 || t != "uniform") {
            continue;
        }
        std::size_t at = i + 1;
        while (at < tokens.size() && (Qualifiers().count(tokens[at].text) != 0 || tokens[at].text == "layout")) {
            at = tokens[at].text == "layout" && at + 1 < tokens.size() ? SkipGroup(tokens, at + 1) : at + 1;
        }
        if (at >= tokens.size() || !IsNameStart(tokens[at].text[0])) {
            continue;
        }
        const std::string type = tokens[at++].text;
        if (at < tokens.size() && tokens[at].text == "{") {
            // A uniform block: its members are not set by name.
            i = SkipGroup(tokens, at) - 1;
            continue;
        }
        const int typeArray = ArraySize(tokens, at);
        while (at < tokens.size() && IsNameStart(tokens[at].text[0])) {
            ShaderSource::Uniform uniform;
            uniform.name = tokens[at].text;
            uniform.type = type;
            uniform.line = ownText ? tokens[at].line : 0;
            uniform.column = ownText ? tokens[at].column : 0;
            ++at;
            const int nameArray = ArraySize(tokens, at);
            uniform.arraySize = nameArray != 0 ? nameArray : typeArray;
            if (at < tokens.size() && tokens[at].text == "=") {
                // An initialiser, to the next comma or semicolon outside brackets.
                for (++at; at < tokens.size() && tokens[at].text != "," && tokens[at].text != ";";) {
                    at = tokens[at].text == "(" ? SkipGroup(tokens, at) : at + 1;
                }
            }
            found.push_back(uniform);
            if (at < tokens.size() && tokens[at].text == ",") {
                ++at;
            }
        }
        i = at > i ? at - 1 : i;
    }
    return found;
}

bool FollowedByCall(const std::vector<Token>& tokens, std::size_t i, const char* name)
{
    return i + 2 < tokens.size() && tokens[i].text == "void" && tokens[i + 1].text == name && tokens[i + 2].text == "(";
}

} // namespace

int ShaderSource::Uniform::Components() const
{
    if (arraySize != 0) {
        return 0;
    }
    if (type == "float") {
        return 1;
    }
    if (type.size() == 4 && type.compare(0, 3, "vec") == 0 && type[3] >= '2' && type[3] <= '4') {
        return type[3] - '0';
    }
    return 0;
}

bool ShaderSource::Uniform::IsSampler() const
{
    return type.find("sampler") != std::string::npos;
}

bool ShaderSource::Uniform::IsImage() const
{
    return type.find("image") != std::string::npos;
}

std::string ShaderSource::Uniform::TypeText() const
{
    return arraySize != 0 ? type + "[" + std::to_string(arraySize) + "]" : type;
}

ShaderSource::ShaderSource(const std::string& text)
{
    mLineCount =
        static_cast<int>(std::count(text.begin(), text.end(), '\n')) + (text.empty() || text.back() == '\n' ? 0 : 1);
    mLineCount = std::max(1, mLineCount);
    const std::string stripped = StripComments(text);
    FindConvention(stripped);
    if (mConvention == Convention::Shadertoy) {
        mUniforms = Declarations(StripComments(ShadertoyHeader), false);
    }
    for (Uniform& uniform : Declarations(stripped, true)) {
        mUniforms.push_back(std::move(uniform));
    }
    BuildTexts(text);
}

bool ShaderSource::ReadFile(const QString& path, std::string& text, std::string& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString().toStdString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    text.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return true;
}

const char* ShaderSource::ConventionName(Convention convention)
{
    switch (convention) {
    case Convention::Showdown:
        return "showdown";
    case Convention::Shadertoy:
        return "Shadertoy";
    case Convention::Unknown:
        break;
    }
    return "unknown";
}

const ShaderSource::Uniform* ShaderSource::Find(const std::string& name) const
{
    for (const Uniform& uniform : mUniforms) {
        if (uniform.name == name) {
            return &uniform;
        }
    }
    return nullptr;
}

bool ShaderSource::UsesComputeImages() const
{
    for (const Uniform& uniform : mUniforms) {
        if (uniform.IsImage() && (uniform.name == ComputeTexName || uniform.name == ComputeTexBackName)) {
            return true;
        }
    }
    return false;
}

bool ShaderSource::IsEngineUniform(const std::string& name)
{
    return std::find(std::begin(EngineUniforms), std::end(EngineUniforms), name) != std::end(EngineUniforms);
}

void ShaderSource::FindConvention(const std::string& stripped)
{
    // The directive may stand after blank or comment lines only.
    std::size_t lineStart = 0;
    for (int line = 1; lineStart < stripped.size(); ++line) {
        const std::size_t lineEnd = std::min(stripped.find('\n', lineStart), stripped.size());
        const std::size_t first = stripped.find_first_not_of(" \t\r", lineStart);
        if (first != std::string::npos && first < lineEnd) {
            std::size_t word = stripped.find_first_not_of(" \t", first + 1);
            if (stripped[first] == '#' && word < lineEnd && stripped.compare(word, 7, "version") == 0) {
                const std::size_t value = stripped.find_first_not_of(" \t", word + 7);
                std::string version = value < lineEnd ? stripped.substr(value, lineEnd - value) : std::string();
                while (!version.empty() && std::isspace(static_cast<unsigned char>(version.back())) != 0) {
                    version.pop_back();
                }
                mVersion = version;
                mVersionLine = line;
            }
            break;
        }
        lineStart = lineEnd + 1;
    }

    bool hasMain = false;
    bool hasMainImage = false;
    int mainLine = 1;
    const std::vector<Token> tokens = Tokenize(stripped);
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (FollowedByCall(tokens, i, "main") && !hasMain) {
            hasMain = true;
            mainLine = tokens[i].line;
        }
        hasMainImage = hasMainImage || FollowedByCall(tokens, i, "mainImage");
    }
    if (hasMain && mVersionLine == 0) {
        mProblem = "main() without a #version line: the showdown convention starts with one, such as "
                   "\"#version 410 core\"";
        mProblemLine = mainLine;
    } else if (hasMain) {
        mConvention = Convention::Showdown;
    } else if (hasMainImage) {
        mConvention = Convention::Shadertoy;
    } else {
        mProblem = "the shader defines neither main() (the showdown convention) nor mainImage() (the Shadertoy "
                   "convention)";
    }
}

void ShaderSource::BuildTexts(const std::string& text)
{
    const std::string version = mVersion.empty() ? std::string(ShadertoyVersion) : mVersion;
    mVertex = "#version " + (mConvention == Convention::Shadertoy ? version : mVersion) +
              "\n"
              "void main()\n"
              "{\n"
              "    // One triangle over the whole viewport.\n"
              "    vec2 corner = vec2(float((gl_VertexID & 1) * 4 - 1), float((gl_VertexID & 2) * 2 - 1));\n"
              "    gl_Position = vec4(corner, 0.0, 1.0);\n"
              "}\n";
    if (mConvention != Convention::Shadertoy) {
        mFragment = text;
        return;
    }
    // A #version of the file's own goes first; its line stays, empty.
    std::string body = text;
    if (mVersionLine > 0) {
        std::size_t start = 0;
        for (int line = 1; line < mVersionLine; ++line) {
            start = body.find('\n', start) + 1;
        }
        const std::size_t end = std::min(body.find('\n', start), body.size());
        body.erase(start, end - start);
    }
    if (!body.empty() && body.back() != '\n') {
        body += '\n';
    }
    mFragment = "#version " + version + "\n" + ShadertoyHeader + "out vec4 " + ShadertoyOutput + ";\n#line 1\n" + body +
                "void main()\n{\n    mainImage(" + ShadertoyOutput + ", gl_FragCoord.xy);\n}\n";
}
