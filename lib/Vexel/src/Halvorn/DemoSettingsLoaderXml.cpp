#include "Halvorn/DemoSettingsLoaderXml.h"

#include "AssertException.h"
#include "Audio/SoundtrackAnalysis.h"
#include "Halvorn/Animation.h"
#include "Halvorn/BufferSettings.h"
#include "Halvorn/DemoApp.h"
#include "Halvorn/DemoModel.h"
#include "Halvorn/DemoPart.h"
#include "Halvorn/DemoPartParam.h"
#include "Halvorn/PartChecks.h"
#include "Halvorn/Reaction.h"
#include "Halvorn/ShaderPartSettings.h"
#include "Halvorn/ShaderSource.h"
#include "Halvorn/XmlElement.h"
#include "PictureCache.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

QString FromUtf8(const char* text)
{
    return QString::fromUtf8(text);
}

// A time beyond the range of float becomes an infinity rather than undefined behaviour.
float NarrowTime(double seconds)
{
    if (seconds > static_cast<double>(std::numeric_limits<float>::max())) {
        return std::numeric_limits<float>::infinity();
    }
    if (seconds < -static_cast<double>(std::numeric_limits<float>::max())) {
        return -std::numeric_limits<float>::infinity();
    }
    return static_cast<float>(seconds);
}

// atoi's reading (glibc's atoi is strtol cut to int), without its undefined
// behaviour for numbers that do not fit.
int ReadInt(const char* text)
{
    return static_cast<int>(std::strtol(text, nullptr, 10));
}

// The pictures that picture parts will ask for, each once, so that they are
// decoded on worker threads while the parts are made one by one.
std::vector<QString> PicturesToDecode(const std::vector<XmlElement>& parts, const QString& texturePath)
{
    std::vector<QString> files;
    for (const XmlElement& part : parts) {
        const char* className = part.Attribute("class");
        if (className == nullptr || std::string(className) != "lib.Image") {
            continue;
        }
        const char* image = nullptr;
        for (const XmlElement& param : part.Children("param")) {
            for (int a = 0; a < param.AttributeCount(); ++a) {
                const char* key = param.AttributeName(a);
                if (key != nullptr && std::string(key) == "image") {
                    image = param.AttributeValue(a);
                }
            }
        }
        // "@NAME" is a buffer, not a file.
        if (image != nullptr && image[0] != '@') {
            files.push_back(texturePath + FromUtf8(image));
        }
    }
    return files;
}

// The uniforms a lib.Shader part's animate elements may name; false when the
// shader file cannot be read.
bool ReadShaderUniforms(const std::vector<DemoPartParam>& params, const QString& shaderPath,
                        std::vector<Animation::Uniform>& uniforms)
{
    std::vector<ShaderPartSettings::Problem> ignored;
    const ShaderPartSettings settings = ShaderPartSettings::Read(QString(), params, nullptr, ignored);
    std::string text;
    std::string error;
    if (settings.mShader.isEmpty() || !ShaderSource::ReadFile(shaderPath + settings.mShader, text, error)) {
        return false;
    }
    uniforms = ShaderPartSettings::AnimatableUniforms(ShaderSource(text));
    return true;
}

// A part's react elements, checked as its animate elements are.
std::vector<Reaction> ReadReactions(const XmlElement& part, const QString& className, const QString& name,
                                    const std::vector<Animation::Uniform>& uniforms,
                                    const std::vector<std::string>& animatedKeys)
{
    std::vector<Reaction> reactions;
    for (const XmlElement& element : part.Children("react")) {
        Reaction reaction;
        std::string problem;
        const char* attribute = nullptr;
        if (!Reaction::Parse(Reaction::Source::Of(element), className, name, uniforms, reaction, problem, attribute)) {
            throw std::runtime_error(problem);
        }
        if (std::find(animatedKeys.begin(), animatedKeys.end(), reaction.mKey) != animatedKeys.end()) {
            throw std::runtime_error(Reaction::AnimatedToo(name, reaction.mKey));
        }
        reactions.push_back(reaction);
    }
    return reactions;
}

// Whether any part has a react element: its music is then analysed while the
// pictures are decoded.
bool AnyReaction(const std::vector<XmlElement>& parts)
{
    return std::any_of(parts.begin(), parts.end(), [](const XmlElement& part) { return part.ChildCount("react") > 0; });
}

// Decoded pictures that no part took are not kept past the load.
struct PrefetchGuard
{
    ~PrefetchGuard() { PictureCache::DropPrefetched(); }
};

// The parts made meanwhile name the buffers of the model being loaded.
class LoadingBuffers
{
public:
    LoadingBuffers(DemoApp& app, const std::vector<BufferSettings>& buffers)
        : mApp(app)
    {
        mApp.SetLoadingBuffers(&buffers);
    }
    ~LoadingBuffers() { mApp.SetLoadingBuffers(nullptr); }
    LoadingBuffers(const LoadingBuffers&) = delete;
    LoadingBuffers& operator=(const LoadingBuffers&) = delete;

private:
    DemoApp& mApp;
};

} // namespace

void DemoSettingsLoaderXml::Load(const QString& fileName, DemoModel* model, DemoApp* app) const
{
    BOOST_ASSERT(model != nullptr && app != nullptr);
    std::cout << "Loading demo settings from \"" << fileName.toStdString() << "\"..." << std::endl;

    if (!QFile::exists(fileName)) {
        throw std::domain_error("File not found! (\"" + fileName.toStdString() + "\")");
    }
    // The XML reader would call either of these "File not found" in a message box.
    const QFileInfo info(fileName);
    if (info.isDir()) {
        throw std::domain_error("Not a file but a folder! (\"" + fileName.toStdString() + "\")");
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::domain_error("File cannot be read: " + file.errorString().toStdString() + "! (\"" +
                                fileName.toStdString() + "\")");
    }
    file.close();

    const QByteArray localName = fileName.toLocal8Bit();
    const XmlElement root = XmlElement::OpenFile(localName.constData(), "Halvorn-demo-settings");

    model->mName = FromUtf8(root.Child("name").Text(0));
    model->mVersion = FromUtf8(root.Child("version").Text(0));

    const char* soundtrack = root.Child("soundtrack").Attribute("file");
    if (soundtrack == nullptr) {
        BOOST_ASSERT(false && "Not implemented yet");
    }
    model->mSoundtrackFile = FromUtf8(soundtrack);

    // Optional and only for tools; one that cannot be used is left out
    // rather than stopping the demo.
    model->mHasTempo = ReadTempo(root.Child("tempo"), model->mTempo);

    const XmlElement demoParts = root.Child("demoparts");
    model->Clear();

    // Buffers come before the parts that draw into them; the first fault stops the demo.
    std::vector<BufferSettings::Problem> bufferProblems;
    model->mBuffers = BufferSettings::ReadAll(root, bufferProblems);
    for (const BufferSettings::Problem& problem : bufferProblems) {
        if (!problem.warning) {
            throw std::runtime_error(problem.message);
        }
    }
    const LoadingBuffers loadingBuffers(*app, model->mBuffers);

    const std::vector<XmlElement> parts = demoParts.Children("part");
    const PrefetchGuard prefetchGuard;
    PictureCache::Prefetch(PicturesToDecode(parts, app->GetTexturePath()));
    if (AnyReaction(parts)) {
        app->GetSoundtrackAnalysis();
    }
    for (const XmlElement& part : parts) {
        const char* temp = nullptr;

        temp = part.Attribute("start");
        BOOST_ASSERT(temp != 0 && "=> start-attribute missing from <Halvorn-demo-settings>::<demoparts>::<part>!");
        const char* startText = temp;
        const double start = std::atof(temp);

        double end = 0.0;
        const char* endAttribute = "length";
        temp = part.Attribute("length");
        if (temp != nullptr) {
            end = start + std::atof(temp);
        } else {
            endAttribute = "end";
            temp = part.Attribute("end");
            BOOST_ASSERT(temp != 0 && "=> end-attribute missing from <Halvorn-demo-settings>::<demoparts>::<part>!");
            end = std::atof(temp);
        }
        const char* endText = temp;

        temp = part.Attribute("name");
        BOOST_ASSERT(temp != 0 && "=> name-attribute missing from <Halvorn-demo-settings>::<demoparts>::<part>!");
        const QString name = FromUtf8(temp);

        temp = part.Attribute("class");
        BOOST_ASSERT(temp != 0 && "=> class-attribute missing from <Halvorn-demo-settings>::<demoparts>::<part>!");
        const QString className = FromUtf8(temp);

        temp = part.Attribute("priority");
        BOOST_ASSERT(temp != 0 && "=> priority-attribute missing from <Halvorn-demo-settings>::<demoparts>::<part>!");
        // A negative priority wraps to a very large one, drawn last.
        const unsigned int priority = static_cast<unsigned int>(ReadInt(temp));

        // The part is named in the reports, so times are checked once the name is known.
        for (const std::string& problem : {PartChecks::NonFiniteTime(name, "start", startText, start),
                                           PartChecks::NonFiniteTime(name, endAttribute, endText, end)}) {
            if (!problem.empty()) {
                throw std::runtime_error(problem);
            }
        }
        const std::string warning = PartChecks::EndsBeforeStart(name, NarrowTime(start), NarrowTime(end));
        if (!warning.empty()) {
            std::cerr << warning << std::endl;
        }

        std::vector<DemoPartParam> attributeParams;
        temp = part.Attribute("musicTrack");
        if (temp != nullptr) {
            attributeParams.emplace_back(QStringLiteral("musicTrack"), FromUtf8(temp));
        }
        temp = part.Attribute("clearBackground");
        if (temp != nullptr) {
            const std::string value(temp);
            if (value != "true" && value != "false") {
                BOOST_ASSERT(0 != 0 && "=> clearBackground-attribute has unknown value n <Halvorn-demo-settings>::<demoparts>::<part>! Valid values are either 'true' or 'false'.");
            }
            attributeParams.emplace_back(QStringLiteral("clearBackground"), FromUtf8(temp));
        }
        temp = part.Attribute("clearZBuffer");
        if (temp != nullptr) {
            const std::string value(temp);
            if (value != "true" && value != "false") {
                BOOST_ASSERT(0 != 0 && "=> clearZBuffer-attribute has unknown value n <Halvorn-demo-settings>::<demoparts>::<part>! Valid values are either 'true' or 'false'.");
            }
            attributeParams.emplace_back(QStringLiteral("clearZBuffer"), FromUtf8(temp));
        }

        std::vector<DemoPartParam> params;
        for (const XmlElement& param : part.Children("param")) {
            const int attributeCount = param.AttributeCount();
            for (int a = 0; a < attributeCount; ++a) {
                params.emplace_back(FromUtf8(param.AttributeName(a)), FromUtf8(param.AttributeValue(a)));
            }
        }

        // A shader part animates the numbers its shader declares. Without a
        // shader to read, the part itself says why when it is made.
        std::vector<Animation::Uniform> uniforms;
        const bool shaderRead =
            className != QLatin1String("lib.Shader") || ReadShaderUniforms(params, app->GetShaderPath(), uniforms);

        // Checked before the part is made, so a bad timeline loads no pictures.
        std::vector<Animation> animations;
        std::vector<std::string> animatedKeys;
        const int animateCount = shaderRead ? part.ChildCount("animate") : 0;
        for (int a = 0; a < animateCount; ++a) {
            const XmlElement animate = part.Child("animate", a);
            const Animation::Source source = Animation::Source::Of(animate);
            Animation animation;
            std::string problem;
            if (!Animation::Parse(source, className, name, model->mHasTempo ? &model->mTempo : nullptr, uniforms,
                                  animation, problem)) {
                throw std::runtime_error(problem);
            }
            animations.push_back(animation);
            animatedKeys.push_back(source.key);
        }
        std::vector<Reaction> reactions =
            shaderRead ? ReadReactions(part, className, name, uniforms, animatedKeys) : std::vector<Reaction>();
        if (!reactions.empty()) {
            // Every frame must be exact, so the load waits for the music.
            const std::shared_ptr<SoundtrackAnalysis> music = app->GetAnalysedSoundtrack();
            for (Reaction& reaction : reactions) {
                if (music) {
                    reaction.Listen(*music->Get());
                }
                animations.push_back(reaction.AsAnimation());
            }
        }

        DemoPart* demoPart =
            app->GetDemoPart(NarrowTime(start), NarrowTime(end), priority, name, attributeParams, params, className);
        if (demoPart == nullptr) {
            std::cout << "!! DemoPart class=\"" << className.toStdString() << "\" was not added to DemoApp!"
                      << std::endl;
            BOOST_ASSERT(demoPart != 0);
        }
        demoPart->mAnimations = animations;
        demoPart->Prepare();
        demoPart->PrintDescription();
        model->AddPart(demoPart);

        const int sceneCount = part.ChildCount("scene");
        for (int s = 0; s < sceneCount; ++s) {
            const char* sceneFile = part.Child("scene", s).Attribute("file");
            if (sceneFile != nullptr) {
                std::cout << "  => scene=\"" << FromUtf8(sceneFile).toStdString() << "\" (not loaded!)" << std::endl;
            } else {
                std::cout << "  => scene without a file attribute (not loaded!)" << std::endl;
            }
        }
    }
}

bool DemoSettingsLoaderXml::ReadTempo(const XmlElement& element, Tempo& tempo)
{
    const char* bpm = element.Attribute("bpm");
    if (bpm == nullptr) {
        return false;
    }
    const char* beatsPerBar = element.Attribute("beatsPerBar");
    const char* offset = element.Attribute("offset");
    const Tempo read(std::atof(bpm), beatsPerBar != nullptr ? ReadInt(beatsPerBar) : 4,
                     offset != nullptr ? std::atof(offset) : 0.0);
    if (!read.IsValid()) {
        return false;
    }
    tempo = read;
    return true;
}
