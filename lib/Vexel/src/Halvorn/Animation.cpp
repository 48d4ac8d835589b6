#include "Halvorn/Animation.h"

#include "Halvorn/XmlElement.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

struct KeyEntry
{
    const char* className;
    const char* key;
    Animation::Target target;
};

const KeyEntry AnimatedKeyTable[] = {
    {"lib.Image", "alpha", Animation::Target::Alpha},
    {"lib.Image", "rotate", Animation::Target::Rotate},
    {"lib.Image", "relativeWidth", Animation::Target::RelativeWidth},
    {"lib.Image", "relativeHeight", Animation::Target::RelativeHeight},
    {"lib.Image", "relativeX", Animation::Target::RelativeX},
    {"lib.Image", "relativeY", Animation::Target::RelativeY},
    {"lib.ClearScreen", "color", Animation::Target::Color},
    {"lib.Text", "alpha", Animation::Target::Alpha},
    {"lib.Text", "color", Animation::Target::Color},
    {"lib.Text", "relativeX", Animation::Target::RelativeX},
    {"lib.Text", "relativeY", Animation::Target::RelativeY},
    {"lib.Text", "rotate", Animation::Target::Rotate},
    {"lib.Text", "size", Animation::Target::Size},
    {"lib.Text", "scrollOffset", Animation::Target::ScrollOffset},
    {"lib.Shader", "alpha", Animation::Target::Alpha},
    {"lib.Shader", "time", Animation::Target::Time},
};

struct EaseEntry
{
    const char* name;
    Animation::Ease ease;
};

const EaseEntry EaseTable[] = {
    {"step", Animation::Ease::Step},     {"linear", Animation::Ease::Linear}, {"smooth", Animation::Ease::Smooth},
    {"in", Animation::Ease::In},         {"out", Animation::Ease::Out},
};

QStringList Words(const QString& text, QChar separator)
{
    return text.split(separator, Qt::SkipEmptyParts);
}

// The file's texts are UTF-8; a number written any other way is refused.
bool ReadNumber(const QString& text, double& number)
{
    bool ok = false;
    number = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(number);
}

std::string Quoted(const QString& text)
{
    return "\"" + text.trimmed().toStdString() + "\"";
}

std::string Number(double value)
{
    return QString::number(value).toStdString();
}

// How a value of n components is written: "x y z" for a vec3.
std::string VectorForm(int components)
{
    static const char* const Forms[] = {"x", "x y", "x y z", "x y z w"};
    return Forms[std::max(0, std::min(components, 4) - 1)];
}

} // namespace

bool Animation::Parse(const Source& source, const QString& className, const QString& partName, const Tempo* tempo,
                      Animation& animation, std::string& problem)
{
    return Parse(source, className, partName, tempo, {}, animation, problem);
}

bool Animation::Parse(const Source& source, const QString& className, const QString& partName, const Tempo* tempo,
                      const std::vector<Uniform>& uniforms, Animation& animation, std::string& problem)
{
    const std::string part = "part \"" + partName.toStdString() + "\": ";
    if (source.key == nullptr || source.key[0] == '\0') {
        problem = part + "an animate element has no key";
        return false;
    }
    const std::string key = source.key;
    const std::string what = part + "animate \"" + key + "\" ";

    Animation result;
    if (!FindKey(className, key, uniforms, result)) {
        problem = part + className.toStdString() + " cannot animate \"" + key + "\" (it animates " +
                  KeyList(className, uniforms) + ")";
        return false;
    }

    if (source.ease != nullptr) {
        const QString ease = QString::fromUtf8(source.ease);
        bool found = false;
        for (const EaseEntry& entry : EaseTable) {
            if (ease == QLatin1String(entry.name)) {
                result.mEase = entry.ease;
                found = true;
            }
        }
        if (!found) {
            problem = what + "has unknown ease " + Quoted(ease) + " (step, linear, smooth, in or out)";
            return false;
        }
    }

    if (source.times != nullptr && source.beats != nullptr) {
        problem = what + "gives both times and beats";
        return false;
    }
    const bool inBeats = source.beats != nullptr;
    if (inBeats && tempo == nullptr) {
        problem = what + "gives beats but the file has no tempo";
        return false;
    }
    const QStringList times = Words(QString::fromUtf8(inBeats ? source.beats : source.times), QLatin1Char(' '));
    if (times.isEmpty()) {
        problem = what + "needs times or beats";
        return false;
    }
    for (const QString& text : times) {
        double time = 0.0;
        if (!ReadNumber(text, time)) {
            problem = what + (inBeats ? "beat " : "time ") + Quoted(text) + " is not a number";
            return false;
        }
        if (inBeats) {
            time *= tempo->SecondsPerBeat();
        }
        if (!result.mTimes.empty() && !(time > result.mTimes.back())) {
            problem = what + (inBeats ? "beats" : "times") + " do not increase (" + text.toStdString() + " after " +
                      Number(inBeats ? result.mTimes.back() / tempo->SecondsPerBeat() : result.mTimes.back()) +
                      ")";
            return false;
        }
        result.mTimes.push_back(time);
    }

    const bool colour = result.mTarget == Target::Color;
    const bool vector = result.mTarget == Target::Uniform && result.mComponents > 1;
    // Colours are "r g b" and vectors "x y z", separated by ';'; numbers by spaces.
    const QStringList values = Words(QString::fromUtf8(source.values != nullptr ? source.values : ""),
                                     colour || vector ? QLatin1Char(';') : QLatin1Char(' '));
    for (const QString& text : values) {
        glm::vec4 value(0.0f);
        if (colour || vector) {
            const int count = colour ? 3 : result.mComponents;
            const QStringList parts = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
            bool read = parts.size() == count;
            for (int i = 0; read && i < count; ++i) {
                double number = 0.0;
                read = ReadNumber(parts[i], number);
                value[i] = static_cast<float>(number);
            }
            if (!read) {
                problem = what + "value " + Quoted(text) + " is not " +
                          (colour ? std::string("a colour \"r g b\"")
                                  : "a vec" + std::to_string(count) + " \"" + VectorForm(count) + "\"");
                return false;
            }
        } else {
            double number = 0.0;
            if (!ReadNumber(text, number)) {
                problem = what + "value " + Quoted(text) + " is not a number";
                return false;
            }
            value.x = static_cast<float>(number);
        }
        result.mValues.push_back(value);
    }
    if (result.mValues.size() != result.mTimes.size()) {
        problem = what + "has " + std::to_string(result.mTimes.size()) + (inBeats ? " beats" : " times") +
                  " but " + std::to_string(result.mValues.size()) + " values";
        return false;
    }

    animation = result;
    return true;
}

std::vector<std::string> Animation::AnimatedKeys(const QString& className)
{
    std::vector<std::string> keys;
    for (const KeyEntry& entry : AnimatedKeyTable) {
        if (className == QLatin1String(entry.className)) {
            keys.push_back(entry.key);
        }
    }
    return keys;
}

bool Animation::FindKey(const QString& className, const std::string& key, const std::vector<Uniform>& uniforms,
                        Animation& animation)
{
    for (const KeyEntry& entry : AnimatedKeyTable) {
        if (className == QLatin1String(entry.className) && key == entry.key) {
            animation.mTarget = entry.target;
            return true;
        }
    }
    for (const Uniform& uniform : uniforms) {
        if (key == uniform.name) {
            animation.mTarget = Target::Uniform;
            animation.mUniform = uniform.name;
            animation.mComponents = uniform.components;
            return true;
        }
    }
    return false;
}

std::string Animation::KeyList(const QString& className, const std::vector<Uniform>& uniforms)
{
    std::vector<std::string> keys = AnimatedKeys(className);
    for (const Uniform& uniform : uniforms) {
        keys.push_back(uniform.name);
    }
    std::string list;
    for (const std::string& k : keys) {
        list += (list.empty() ? "" : ", ") + k;
    }
    return keys.empty() ? "nothing" : list;
}

glm::vec3 Animation::Evaluate(double time) const
{
    return glm::vec3(EvaluateVector(time));
}

glm::vec4 Animation::EvaluateVector(double time) const
{
    if (mReaction) {
        return mHeld;
    }
    if (mTimes.empty()) {
        return glm::vec4(0.0f);
    }
    if (!(time > mTimes.front())) {
        return mValues.front();
    }
    if (time >= mTimes.back()) {
        return mValues.back();
    }
    // The span [times[i], times[i + 1]) that holds the time.
    const size_t next = static_cast<size_t>(std::upper_bound(mTimes.begin(), mTimes.end(), time) - mTimes.begin());
    const size_t i = next - 1;
    const double u = (time - mTimes[i]) / (mTimes[next] - mTimes[i]);
    const float f = static_cast<float>(EaseFraction(mEase, u));
    return mValues[i] + (mValues[next] - mValues[i]) * f;
}

double Animation::EaseFraction(Ease ease, double u)
{
    switch (ease) {
    case Ease::Step:
        return 0.0;
    case Ease::Linear:
        return u;
    case Ease::Smooth:
        return u * u * (3.0 - 2.0 * u);
    case Ease::In:
        return u * u;
    case Ease::Out:
        return u * (2.0 - u);
    }
    return u;
}

Animation::Source Animation::Source::Of(const XmlElement& element)
{
    Source source;
    source.key = element.Attribute("key");
    source.times = element.Attribute("times");
    source.beats = element.Attribute("beats");
    source.values = element.Attribute("values");
    source.ease = element.Attribute("ease");
    return source;
}
