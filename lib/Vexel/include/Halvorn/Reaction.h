#pragma once

#include "Halvorn/Animation.h"

#include <glm/vec4.hpp>

#include <QString>

#include <memory>
#include <string>
#include <vector>

class BandEnvelope;
class MusicAnalysis;
class XmlElement;

// One parameter of a part following the soundtrack: the value of a `react`
// element. It goes from `from` in silence to `to` at the loudest moment of
// its band in the whole track, through the band's envelope at the timeline
// time, so playing, seeking and capturing show the same value at a time.
class Reaction
{
public:
    // The attributes of one element as written; a null pointer is an
    // attribute that is not there.
    struct Source
    {
        const char* key = nullptr;
        const char* band = nullptr;
        const char* from = nullptr;
        const char* to = nullptr;
        const char* attack = nullptr;
        const char* release = nullptr;

        // The attributes of a react element; the texts live as long as it does.
        static Source Of(const XmlElement& element);
    };

    // Checks and reads one element of a part of the given factory class
    // ("lib.Image"), which also takes the uniforms given. On a bad element
    // returns false with a message naming the part and the problem in
    // problem, and the attribute it is about in attribute (null for the
    // element itself); reaction is then left alone.
    static bool Parse(const Source& source, const QString& className, const QString& partName,
                      const std::vector<Animation::Uniform>& uniforms, Reaction& reaction, std::string& problem,
                      const char*& attribute);
    // The problem of a key that an animate element of the part moves too.
    static std::string AnimatedToo(const QString& partName, const std::string& key);

    // Follows the music's band from now on; without a call it holds `from`.
    void Listen(const MusicAnalysis& analysis);
    // The band's envelope at a timeline time, 0 (silence) to 1 (its loudest).
    float Level(double time) const;
    glm::vec4 ValueAt(double time) const;
    // What hands the value to the part, where its animations are applied:
    // an animation held at this reaction's value. Its values are from and to,
    // for a part that sizes itself by the values it will show.
    Animation AsAnimation() const;

    // The highest band edge: half the analysis rate.
    static const double HighestHz;

    std::string mKey;
    Animation::Target mTarget = Animation::Target::Alpha;
    std::string mUniform;
    int mComponents = 1;
    double mLowHz = 0.0;
    double mHighHz = 0.0;
    double mAttack = 0.0;
    double mRelease = 0.0;
    glm::vec4 mFrom{0.0f};
    glm::vec4 mTo{0.0f};

private:
    std::shared_ptr<const BandEnvelope> mEnvelope;
};
