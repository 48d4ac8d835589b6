#pragma once

#include "Halvorn/Tempo.h"

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include <QString>

#include <memory>
#include <string>
#include <vector>

// One parameter of a part moving along keys over the part's running time:
// the value of an `animate` element of the settings file.
class Reaction;
class XmlElement;

class Animation
{
public:
    // What a part changes; each part class animates only its own.
    enum class Target
    {
        Alpha,
        Rotate,
        RelativeWidth,
        RelativeHeight,
        RelativeX,
        RelativeY,
        Color,
        Size,
        ScrollOffset,
        Time,
        // A numeric uniform of a shader part, named in mUniform.
        Uniform
    };

    enum class Ease
    {
        Step,
        Linear,
        Smooth,
        In,
        Out
    };

    // The attributes of one element as written; a null pointer is an
    // attribute that is not there.
    struct Source
    {
        const char* key = nullptr;
        const char* times = nullptr;
        const char* beats = nullptr;
        const char* values = nullptr;
        const char* ease = nullptr;

        // The attributes of an animate element; the texts live as long as it does.
        static Source Of(const XmlElement& element);
    };

    // A key a part animates beyond its class's table: a numeric uniform of
    // its shader, with 1 (float) to 4 (vec4) components.
    struct Uniform
    {
        std::string name;
        int components = 1;
    };

    // Checks and reads one element of a part of the given factory class
    // ("lib.Image"). tempo may be null (no tempo in the file). On a bad
    // element returns false and puts a message naming the part and the
    // problem into problem; animation is then left alone.
    static bool Parse(const Source& source, const QString& className, const QString& partName, const Tempo* tempo,
                      Animation& animation, std::string& problem);
    // The same, where the part also animates these uniforms; the class's
    // own keys come first when a name is in both.
    static bool Parse(const Source& source, const QString& className, const QString& partName, const Tempo* tempo,
                      const std::vector<Uniform>& uniforms, Animation& animation, std::string& problem);

    // The keys a part class animates, as written in the file; empty for a
    // class that animates nothing.
    static std::vector<std::string> AnimatedKeys(const QString& className);
    // What a key names for a part class that also animates these uniforms:
    // sets the target of animation (and the uniform's name and components);
    // false for a key the part does not take.
    static bool FindKey(const QString& className, const std::string& key, const std::vector<Uniform>& uniforms,
                        Animation& animation);
    // The keys for a message: "alpha, rotate" or "nothing".
    static std::string KeyList(const QString& className, const std::vector<Uniform>& uniforms);

    // The value at a running time in seconds: the first value before the
    // first key, the last after the last. A number is in x.
    glm::vec3 Evaluate(double time) const;
    // The same with a fourth component, for vec4 uniforms.
    glm::vec4 EvaluateVector(double time) const;

    // How far along a span (0 to 1) the value is, for a span fraction u.
    static double EaseFraction(Ease ease, double u);

    Target mTarget = Target::Alpha;
    Ease mEase = Ease::Linear;
    // Seconds from the part's start, strictly increasing.
    std::vector<double> mTimes;
    std::vector<glm::vec4> mValues;
    // For Target::Uniform: its name and component count.
    std::string mUniform;
    int mComponents = 1;
    // Set for a react element: the value follows the music and is the one
    // held here, which the part brings to each update's timeline time.
    std::shared_ptr<const Reaction> mReaction;
    glm::vec4 mHeld{0.0f};
};
