#include "TimelineBuilder.h"

#include "AssertException.h"
#include "Halvorn/DemoModel.h"
#include "Halvorn/DemoSettingsLoaderXml.h"
#include "Halvorn/SettingsCheck.h"
#include "Halvorn/ShaderPartSettings.h"
#include "Halvorn/ShaderSource.h"
#include "Halvorn/XmlElement.h"
#include "ShaderProgram.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <exception>
#include <utility>

namespace {

const char* const RootTag = "Halvorn-demo-settings";

// The reader's texts carry their own "Error: " in front; here the line
// already says so, as compilers do, in lower case.
QString ParseErrorText(int code)
{
    if (code == XmlParseResult::FirstTagNotFound) {
        return QStringLiteral("expected the document element <%1>").arg(QString::fromLatin1(RootTag));
    }
    QString text = QString::fromUtf8(XmlElement::ErrorText(code));
    for (const QLatin1String prefix : {QLatin1String("Error: "), QLatin1String("Warning: ")}) {
        if (text.startsWith(prefix)) {
            text = text.mid(prefix.size());
        }
    }
    if (!text.isEmpty()) {
        text[0] = text[0].toLower();
    }
    return text;
}

// A shader part's shader and the pictures its samplers name; the pictures
// only while the shader can be read, since the shader says which keys are
// samplers, and not the buffers they name.
std::vector<QString> ShaderPartFiles(const XmlElement& part, const QString& root,
                                     const std::vector<BufferSettings>& buffers)
{
    const std::vector<DemoPartParam> params = DemoPartParam::OfPart(part);
    std::vector<ShaderPartSettings::Problem> ignored;
    const ShaderPartSettings named = ShaderPartSettings::Read(QString(), params, nullptr, ignored);
    if (named.mShader.isEmpty()) {
        return {};
    }
    const QString shader = root + QStringLiteral("data/shaders/") + named.mShader;
    std::vector<QString> files = {shader};
    std::string text;
    std::string error;
    if (ShaderSource::ReadFile(shader, text, error)) {
        const ShaderSource source(text);
        for (const ShaderPartSettings::Sampler& sampler :
             ShaderPartSettings::Read(QString(), params, &source, ignored, &buffers).mSamplers) {
            if (sampler.source == ShaderPartSettings::Source::Picture) {
                files.push_back(root + QStringLiteral("data/textures/") + sampler.picture);
            }
        }
    }
    return files;
}

} // namespace

QString TimelineBuilder::SettingsFileIn(const QString& given)
{
    if (!QFileInfo(given).isDir()) {
        return given;
    }
    const QString inside = QDir(given).filePath(QStringLiteral("morvelin.xml"));
    return QFileInfo::exists(inside) ? inside : given;
}

bool TimelineBuilder::Check(const QString& settingsFile, Tempo& tempo, bool& hasTempo, QString& error)
{
    hasTempo = false;
    const QFileInfo info(settingsFile);
    if (!info.isFile()) {
        error =
            settingsFile + QStringLiteral(": error: ") +
            (info.isDir() ? QString::fromLatin1(SettingsCheck::FolderText) : QStringLiteral("no such settings file"));
        return false;
    }
    XmlParseResult result;
    const QByteArray path = settingsFile.toLocal8Bit();
    const XmlElement root = XmlElement::ParseFile(path.constData(), RootTag, &result);
    // Even the reader's warning (an element never closed) makes the loader
    // show a message box and end the process, so it is an error here too.
    if (result.code != 0) {
        QString where = settingsFile;
        if (result.line > 0) {
            where += QStringLiteral(":%1:%2").arg(result.line).arg(result.column);
        }
        QString text = ParseErrorText(result.code);
        if (result.nestedTooDeep) {
            text = QStringLiteral("nested deeper than %1 elements").arg(XmlElement::MaxDepth);
        } else if (result.code == XmlParseResult::FirstTagNotFound &&
                   !SettingsCheck::DocumentElementOf(XmlElement::ParseFile(path.constData(), nullptr, nullptr))) {
            text = QString::fromLatin1(SettingsCheck::NoDocumentElement);
        }
        error = where + QStringLiteral(": error: ") + text;
        return false;
    }
    hasTempo = DemoSettingsLoaderXml::ReadTempo(root.Child("tempo"), tempo);
    return true;
}

bool TimelineBuilder::Build(const QString& settingsFile, DemoApp* app, DemoModel* model, QString& error)
{
    Tempo tempo;
    bool hasTempo = false;
    // The loader's own parser would end the process on a malformed file.
    if (!Check(settingsFile, tempo, hasTempo, error)) {
        return false;
    }
    // Each frame shows what its time shows, however the time was reached.
    model->mRetireAtEnd = true;
    try {
        DemoSettingsLoaderXml().Load(settingsFile, model, app);
        return true;
    } catch (const std::exception& failure) {
        error = settingsFile + QStringLiteral(": error: ") + QString::fromUtf8(failure.what()).trimmed();
    } catch (const AssertException&) {
        // The failed check's report above names no place; the whole-file
        // check says where, when it finds the fault.
        QStringList located;
        for (const Diagnostic& found : SettingsCheck().Run(settingsFile)) {
            if (found.mSeverity == Diagnostic::Severity::Error) {
                located << QString::fromStdString(found.Format());
            }
        }
        error = located.isEmpty()
                    ? settingsFile + QStringLiteral(": error: a part entry cannot be used (see the report above)")
                    : located.join(QLatin1Char('\n'));
    }
    model->Clear();
    return false;
}

std::vector<QString> TimelineBuilder::InputFiles(const QString& settingsFile)
{
    const QString root = DataRoot(settingsFile);
    std::vector<QString> files = {settingsFile, root + QStringLiteral("data/shaders/") + StandardVertexShaderFile,
                                  root + QStringLiteral("data/shaders/") + StandardFragmentShaderFile};
    XmlParseResult result;
    const QByteArray path = settingsFile.toLocal8Bit();
    const XmlElement document = XmlElement::ParseFile(path.constData(), RootTag, &result);
    if (result.code != 0 && result.code != 1) {
        return files;
    }
    const auto add = [&files](const QString& file) {
        if (std::find(files.begin(), files.end(), file) == files.end()) {
            files.push_back(file);
        }
    };
    std::vector<BufferSettings::Problem> ignored;
    const std::vector<BufferSettings> buffers = BufferSettings::ReadAll(document, ignored);
    for (const XmlElement& part : document.Child("demoparts").Children("part")) {
        const char* className = part.Attribute("class");
        if (className != nullptr && std::string(className) == "lib.Shader") {
            for (const QString& file : ShaderPartFiles(part, root, buffers)) {
                add(file);
            }
            continue;
        }
        for (const XmlElement& param : part.Children("param")) {
            // Pictures, and the fonts of text parts.
            for (const auto& [key, folder] : {std::pair<const char*, const char*>{"image", "data/textures/"},
                                              std::pair<const char*, const char*>{"font", "data/fonts/"}}) {
                // "@NAME" is a buffer, not a file.
                if (const char* name = param.Attribute(key); name != nullptr && name[0] != '@') {
                    add(root + QLatin1String(folder) + QString::fromUtf8(name));
                }
            }
        }
    }
    return files;
}

QString TimelineBuilder::DataRoot(const QString& settingsFile)
{
    return QFileInfo(settingsFile).absolutePath() + QLatin1Char('/');
}

double TimelineBuilder::EndTime(const DemoModel& model)
{
    double end = 0.0;
    for (const boost::ptr_list<DemoPart>* list : {&model.mFutureParts, &model.mCurrentParts}) {
        for (const DemoPart& part : *list) {
            if (std::isfinite(part.mEnd)) {
                end = std::max(end, part.mEnd);
            }
        }
    }
    return end;
}

QString TimelineBuilder::SoundtrackPath(const QString& settingsFile, const QString& soundtrack)
{
    if (soundtrack.isEmpty() || QDir::isAbsolutePath(soundtrack)) {
        return soundtrack;
    }
    return DataRoot(settingsFile) + soundtrack;
}

bool TimelineBuilder::CheckSoundtrackKind(const QString& settingsFile, QString& error)
{
    XmlParseResult result;
    const QByteArray path = settingsFile.toLocal8Bit();
    const XmlElement soundtrack = XmlElement::ParseFile(path.constData(), RootTag, &result).Child("soundtrack");
    const char* file = soundtrack.Attribute("file");
    if (file == nullptr) {
        return true;
    }
    const QFileInfo info(SoundtrackPath(settingsFile, QString::fromUtf8(file)));
    if (!info.exists() || info.isFile()) {
        return true;
    }
    const int i = soundtrack.AttributeIndex("file");
    error = QStringLiteral("%1:%2:%3: error: soundtrack \"%4\" is %5")
                .arg(settingsFile)
                .arg(soundtrack.AttributeLine(i))
                .arg(soundtrack.AttributeColumn(i))
                .arg(QString::fromUtf8(file),
                     info.isDir() ? QStringLiteral("a folder") : QStringLiteral("not a regular file"));
    return false;
}
