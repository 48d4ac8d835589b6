#include "Halvorn/ShaderPartSettings.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

const char* const PartKeys[] = {"shader", "blending", "alpha", "resolution", "time", "target"};
// In the order of Gl::BlendMode.
const char* const BlendingNames[] = {"opaque", "transcluent", "additive", "subtractive", "reversesubtractive"};

struct SourceName
{
    const char* name;
    ShaderPartSettings::Source source;
};

const SourceName SourceNames[] = {
    {"previous", ShaderPartSettings::Source::Previous}, {"screen", ShaderPartSettings::Source::Screen},
    {"noise", ShaderPartSettings::Source::Noise},       {"checker", ShaderPartSettings::Source::Checker},
    {"music", ShaderPartSettings::Source::Music},
};

std::string Quoted(const QString& text)
{
    return "\"" + text.toStdString() + "\"";
}

// Whitespace-separated finite numbers, all of them; false for anything else.
bool ReadNumbers(const QString& text, std::vector<float>& numbers)
{
    numbers.clear();
    for (const QString& word : text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool ok = false;
        const double number = word.toDouble(&ok);
        if (!ok || !std::isfinite(number) || std::fabs(number) > 3.4e38) {
            return false;
        }
        numbers.push_back(static_cast<float>(number));
    }
    return true;
}

bool ReadRange(const QString& text, float low, float high, float& value)
{
    std::vector<float> numbers;
    if (!ReadNumbers(text, numbers) || numbers.size() != 1 || numbers[0] < low || numbers[0] > high) {
        return false;
    }
    value = numbers[0];
    return true;
}

template <typename Entry>
void Keep(std::vector<Entry>& entries, Entry entry)
{
    // A later parameter for the same uniform replaces the earlier one.
    const auto same = std::find_if(entries.begin(), entries.end(),
                                   [&entry](const Entry& other) { return other.uniform == entry.uniform; });
    if (same != entries.end()) {
        *same = std::move(entry);
    } else {
        entries.push_back(std::move(entry));
    }
}

} // namespace

ShaderPartSettings ShaderPartSettings::Read(const QString& partName, const std::vector<DemoPartParam>& params,
                                            const ShaderSource* shader, std::vector<Problem>& problems,
                                            const std::vector<BufferSettings>* buffers)
{
    const std::string part = "part " + Quoted(partName) + ": ";
    ShaderPartSettings settings;
    const auto report = [&](bool error, int param, const std::string& message) {
        problems.push_back(Problem{error, param, part + message});
    };

    for (int i = 0; i < static_cast<int>(params.size()); ++i) {
        const QString& key = params[i].mName;
        const QString& value = params[i].mValue;
        const std::string keyText = key.toStdString();
        if (key == QLatin1String("shader")) {
            settings.mShader = value;
            settings.mShaderParam = i;
        } else if (key == QLatin1String("blending")) {
            const QByteArray name = value.toUtf8();
            const auto found = std::find_if(std::begin(BlendingNames), std::end(BlendingNames),
                                            [&name](const char* known) { return name == known; });
            if (found != std::end(BlendingNames)) {
                settings.mBlendMode = static_cast<int>(found - std::begin(BlendingNames));
            } else {
                report(false, i,
                       "unknown blending " + Quoted(value) +
                           " (opaque, transcluent, additive, subtractive or reversesubtractive); it is ignored");
            }
        } else if (key == QLatin1String("alpha")) {
            if (!ReadRange(value, 0.0f, 1.0f, settings.mAlpha)) {
                report(true, i, "alpha " + Quoted(value) + " is not a number from 0 to 1");
            }
        } else if (key == QLatin1String("resolution")) {
            if (!ReadRange(value, MinResolution, 1.0f, settings.mResolution)) {
                report(true, i, "resolution " + Quoted(value) + " is not a number from 0.125 to 1");
            }
        } else if (key == QLatin1String("time")) {
            if (value == QLatin1String("demo") || value == QLatin1String("part")) {
                settings.mDemoTime = value == QLatin1String("demo");
            } else {
                report(true, i, "time " + Quoted(value) + " is not \"part\" or \"demo\"");
            }
        } else if (key == QLatin1String("target")) {
            // Where every class draws: read by the part base.
            continue;
        } else if (shader == nullptr) {
            continue;
        } else if (ShaderSource::IsEngineUniform(keyText)) {
            report(false, i, "parameter " + Quoted(key) + " names a uniform the engine sets; it is ignored");
        } else if (const ShaderSource::Uniform* uniform = shader->Find(keyText)) {
            const std::string type = uniform->TypeText();
            const bool vowel = std::string("aeiou").find(type[0]) != std::string::npos;
            const std::string what = Quoted(key) + (vowel ? " is an " : " is a ") + type + " uniform";
            if (uniform->IsSampler()) {
                if (uniform->type != "sampler2D" || uniform->arraySize != 0) {
                    report(true, i, what + ": pictures and sources go to sampler2D uniforms");
                } else {
                    Sampler sampler{keyText, SourceNamed(value), QString(), i, -1, QString()};
                    const bool marked = value.startsWith(QLatin1Char('@'));
                    const QString bufferName = marked ? value.mid(1) : value;
                    const int buffer = buffers != nullptr ? BufferSettings::IndexOf(*buffers, bufferName) : -1;
                    if (sampler.source == Source::Picture && (marked || buffer >= 0)) {
                        sampler.source = Source::Buffer;
                        sampler.buffer = buffer;
                        sampler.bufferName = bufferName;
                        if (buffers != nullptr && buffer < 0) {
                            problems.push_back(
                                Problem{true, i, BufferSettings::UnknownBuffer(partName, bufferName, *buffers)});
                        }
                    } else if (sampler.source == Source::Picture) {
                        sampler.picture = value;
                    }
                    Keep(settings.mSamplers, sampler);
                }
            } else if (uniform->Components() == 0) {
                report(true, i, what + ": only float, vec2, vec3 and vec4 uniforms take values");
            } else {
                std::vector<float> numbers;
                const int count = uniform->Components();
                if (!ReadNumbers(value, numbers) || static_cast<int>(numbers.size()) != count) {
                    report(true, i,
                           what + ": write " + std::to_string(count) + (count == 1 ? " number" : " numbers") +
                               ", not " + Quoted(value));
                } else {
                    Value entry{keyText, count, glm::vec4(0.0f), i};
                    for (int c = 0; c < count; ++c) {
                        entry.value[c] = numbers[static_cast<std::size_t>(c)];
                    }
                    Keep(settings.mValues, entry);
                }
            }
        } else {
            report(false, i,
                   "unknown parameter " + Quoted(key) + " for lib.Shader: the shader declares no uniform " +
                       Quoted(key));
        }
    }
    if (settings.mShaderParam < 0) {
        report(true, -1, "the lib.Shader part has no shader parameter");
    }
    return settings;
}

std::vector<Animation::Uniform> ShaderPartSettings::AnimatableUniforms(const ShaderSource& shader)
{
    std::vector<Animation::Uniform> uniforms;
    for (const ShaderSource::Uniform& uniform : shader.Uniforms()) {
        if (uniform.Components() > 0 && !ShaderSource::IsEngineUniform(uniform.name) &&
            !IsPartKey(QString::fromStdString(uniform.name))) {
            uniforms.push_back(Animation::Uniform{uniform.name, uniform.Components()});
        }
    }
    return uniforms;
}

ShaderPartSettings::Source ShaderPartSettings::SourceNamed(const QString& value)
{
    for (const SourceName& entry : SourceNames) {
        if (value == QLatin1String(entry.name)) {
            return entry.source;
        }
    }
    return Source::Picture;
}

bool ShaderPartSettings::IsPartKey(const QString& key)
{
    return std::any_of(std::begin(PartKeys), std::end(PartKeys),
                       [&key](const char* known) { return key == QLatin1String(known); });
}
