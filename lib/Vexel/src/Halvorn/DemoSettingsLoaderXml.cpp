#include "Halvorn/DemoSettingsLoaderXml.h"

#include "AssertException.h"
#include "Halvorn/DemoApp.h"
#include "Halvorn/DemoModel.h"
#include "Halvorn/DemoPart.h"
#include "Halvorn/DemoPartParam.h"
#include "Halvorn/XmlElement.h"
#include "PictureCache.h"

#include <QByteArray>
#include <QFile>
#include <QString>

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

// The tempo is optional and only informs tools; one that cannot be used is
// left out rather than stopping the demo.
void ReadTempo(const XmlElement& element, DemoModel* model)
{
    model->mHasTempo = false;
    const char* bpm = element.Attribute("bpm");
    if (bpm == nullptr) {
        return;
    }
    const char* beatsPerBar = element.Attribute("beatsPerBar");
    const char* offset = element.Attribute("offset");
    const Tempo tempo(std::atof(bpm), beatsPerBar != nullptr ? ReadInt(beatsPerBar) : 4,
                      offset != nullptr ? std::atof(offset) : 0.0);
    if (tempo.IsValid()) {
        model->mTempo = tempo;
        model->mHasTempo = true;
    }
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
        if (image != nullptr) {
            files.push_back(texturePath + FromUtf8(image));
        }
    }
    return files;
}

// Decoded pictures that no part took are not kept past the load.
struct PrefetchGuard
{
    ~PrefetchGuard() { PictureCache::DropPrefetched(); }
};

} // namespace

void DemoSettingsLoaderXml::Load(const QString& fileName, DemoModel* model, DemoApp* app) const
{
    BOOST_ASSERT(model != nullptr && app != nullptr);
    std::cout << "Loading demo settings from \"" << fileName.toStdString() << "\"..." << std::endl;

    if (!QFile::exists(fileName)) {
        throw std::domain_error("File not found! (\"" + fileName.toStdString() + "\")");
    }

    const QByteArray localName = fileName.toLocal8Bit();
    const XmlElement root = XmlElement::OpenFile(localName.constData(), "Halvorn-demo-settings");

    model->mName = FromUtf8(root.Child("name").Text(0));
    model->mVersion = FromUtf8(root.Child("version").Text(0));

    const char* soundtrack = root.Child("soundtrack").Attribute("file");
    if (soundtrack == nullptr) {
        BOOST_ASSERT(false && "Not implemented yet");
    }
    model->mSoundtrackFile = FromUtf8(soundtrack);

    ReadTempo(root.Child("tempo"), model);

    const XmlElement demoParts = root.Child("demoparts");
    model->Clear();

    const std::vector<XmlElement> parts = demoParts.Children("part");
    const PrefetchGuard prefetchGuard;
    PictureCache::Prefetch(PicturesToDecode(parts, app->GetTexturePath()));
    for (const XmlElement& part : parts) {
        const char* temp = nullptr;

        temp = part.Attribute("start");
        BOOST_ASSERT(temp != 0 && "=> start-attribute missing from <Halvorn-demo-settings>::<demoparts>::<part>!");
        const double start = std::atof(temp);

        double end = 0.0;
        temp = part.Attribute("length");
        if (temp != nullptr) {
            end = start + std::atof(temp);
        } else {
            temp = part.Attribute("end");
            BOOST_ASSERT(temp != 0 && "=> end-attribute missing from <Halvorn-demo-settings>::<demoparts>::<part>!");
            end = std::atof(temp);
        }

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

        DemoPart* demoPart =
            app->GetDemoPart(NarrowTime(start), NarrowTime(end), priority, name, attributeParams, params, className);
        if (demoPart == nullptr) {
            std::cout << "!! DemoPart class=\"" << className.toStdString() << "\" was not added to DemoApp!"
                      << std::endl;
            BOOST_ASSERT(demoPart != 0);
        }
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
