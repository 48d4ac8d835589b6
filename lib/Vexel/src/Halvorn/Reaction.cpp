#include "Halvorn/Reaction.h"

#include "Audio/BandEnvelope.h"
#include "Audio/MusicAnalysis.h"
#include "Halvorn/XmlElement.h"

#include <QStringList>

#include <cmath>
#include <tuple>

namespace {

bool ReadNumber(const QString& text, double& number)
{
    bool ok = false;
    number = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(number);
}

// "40-160": the dash between two numbers, which may themselves hold one
// ("1e-3-100", "-5-100").
bool ReadBand(const QString& text, double& low, double& high)
{
    for (int dash = text.indexOf(QLatin1Char('-'), 1); dash > 0; dash = text.indexOf(QLatin1Char('-'), dash + 1)) {
        if (ReadNumber(text.left(dash), low) && ReadNumber(text.mid(dash + 1), high)) {
            return true;
        }
    }
    return false;
}

bool ReadValue(const QString& text, int components, glm::vec4& value)
{
    const QStringList parts = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != components) {
        return false;
    }
    for (int i = 0; i < components; ++i) {
        double number = 0.0;
        if (!ReadNumber(parts[i], number)) {
            return false;
        }
        value[i] = static_cast<float>(number);
    }
    return true;
}

std::string Quoted(const char* text)
{
    return "\"" + QString::fromUtf8(text).trimmed().toStdString() + "\"";
}

} // namespace

const double Reaction::HighestHz = MusicAnalysis::SampleRate / 2.0;

bool Reaction::Parse(const Source& source, const QString& className, const QString& partName,
                     const std::vector<Animation::Uniform>& uniforms, Reaction& reaction, std::string& problem,
                     const char*& attribute)
{
    const std::string part = "part \"" + partName.toStdString() + "\": ";
    attribute = nullptr;
    if (source.key == nullptr || source.key[0] == '\0') {
        problem = part + "a react element has no key";
        return false;
    }
    Reaction result;
    result.mKey = source.key;
    const std::string what = part + "react \"" + result.mKey + "\" ";
    Animation target;
    if (!Animation::FindKey(className, result.mKey, uniforms, target)) {
        attribute = "key";
        problem = part + className.toStdString() + " cannot react with \"" + result.mKey + "\" (it animates " +
                  Animation::KeyList(className, uniforms) + ")";
        return false;
    }
    result.mTarget = target.mTarget;
    result.mUniform = target.mUniform;
    result.mComponents = target.mTarget == Animation::Target::Color ? 3 : target.mComponents;

    const struct
    {
        const char* name;
        const char* text;
    } required[] = {{"band", source.band}, {"from", source.from}, {"to", source.to}};
    for (const auto& entry : required) {
        if (entry.text == nullptr) {
            problem = what + "needs a " + entry.name + " attribute";
            return false;
        }
    }

    attribute = "band";
    if (!ReadBand(QString::fromUtf8(source.band), result.mLowHz, result.mHighHz)) {
        problem = what + "band " + Quoted(source.band) + " is not two numbers \"low-high\" in Hz";
        return false;
    }
    if (!(result.mLowHz >= 0.0 && result.mLowHz < result.mHighHz && result.mHighHz <= HighestHz)) {
        problem = what + "band " + Quoted(source.band) +
                  " is not within 0 <= low < high <= " + QString::number(HighestHz).toStdString() + " Hz";
        return false;
    }

    const bool colour = result.mTarget == Animation::Target::Color;
    const std::string form = colour ? "a colour \"r g b\""
                             : result.mComponents == 1
                                 ? "a number"
                                 : "a vec" + std::to_string(result.mComponents) + " \"" +
                                       std::string("x y z w").substr(0, 2 * result.mComponents - 1) + "\"";
    for (const auto& [name, text, value] :
         {std::make_tuple("from", source.from, &result.mFrom), std::make_tuple("to", source.to, &result.mTo)}) {
        if (!ReadValue(QString::fromUtf8(text), result.mComponents, *value)) {
            attribute = name;
            problem = what + name + " " + Quoted(text) + " is not " + form;
            return false;
        }
    }

    for (const auto& [name, text, seconds] : {std::make_tuple("attack", source.attack, &result.mAttack),
                                              std::make_tuple("release", source.release, &result.mRelease)}) {
        if (text == nullptr) {
            continue;
        }
        attribute = name;
        if (!ReadNumber(QString::fromUtf8(text), *seconds)) {
            problem = what + name + " " + Quoted(text) + " is not a number";
            return false;
        }
        if (*seconds < 0.0) {
            problem = what + name + " " + Quoted(text) + " is negative";
            return false;
        }
    }

    attribute = nullptr;
    reaction = result;
    return true;
}

std::string Reaction::AnimatedToo(const QString& partName, const std::string& key)
{
    return "part \"" + partName.toStdString() + "\": react \"" + key +
           "\" is animated too: a key either animates or reacts";
}

void Reaction::Listen(const MusicAnalysis& analysis)
{
    mEnvelope = std::make_shared<const BandEnvelope>(analysis, mLowHz, mHighHz, mAttack, mRelease);
}

float Reaction::Level(double time) const
{
    return mEnvelope ? mEnvelope->At(time) : 0.0f;
}

glm::vec4 Reaction::ValueAt(double time) const
{
    return mFrom + (mTo - mFrom) * Level(time);
}

Animation Reaction::AsAnimation() const
{
    Animation animation;
    animation.mTarget = mTarget;
    animation.mUniform = mUniform;
    animation.mComponents = mComponents;
    animation.mValues = {mFrom, mTo};
    animation.mReaction = std::make_shared<const Reaction>(*this);
    animation.mHeld = mFrom;
    return animation;
}

Reaction::Source Reaction::Source::Of(const XmlElement& element)
{
    Source source;
    source.key = element.Attribute("key");
    source.band = element.Attribute("band");
    source.from = element.Attribute("from");
    source.to = element.Attribute("to");
    source.attack = element.Attribute("attack");
    source.release = element.Attribute("release");
    return source;
}
