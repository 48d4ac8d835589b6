#include "Halvorn/BufferSettings.h"

#include "Halvorn/ShaderPartSettings.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

struct FormatEntry
{
    const char* name;
    BufferSettings::Format format;
    int bytes;
};

const FormatEntry Formats[] = {
    {"rgba8", BufferSettings::Format::Rgba8, 4},
    {"rgba16f", BufferSettings::Format::Rgba16f, 8},
    {"rgba32f", BufferSettings::Format::Rgba32f, 16},
};

const char* const Attributes[] = {"name", "format", "resolution", "clear"};

std::string Quoted(const QString& text)
{
    return "\"" + text.toStdString() + "\"";
}

} // namespace

std::vector<BufferSettings> BufferSettings::ReadAll(const XmlElement& root, std::vector<Problem>& problems)
{
    std::vector<BufferSettings> buffers;
    for (const XmlElement& element : root.Children("buffer")) {
        const auto report = [&](const char* attribute, const std::string& message, bool warning = false) {
            problems.push_back(Problem{element, attribute, message, warning});
        };
        const char* name = element.Attribute("name");
        if (name == nullptr || *name == '\0') {
            report(name == nullptr ? nullptr : "name", "the buffer has no name");
            continue;
        }
        BufferSettings buffer;
        buffer.mName = QString::fromUtf8(name);
        buffer.mLine = element.Line();
        buffer.mColumn = element.Column();
        const std::string what = "buffer " + Quoted(buffer.mName);
        const int earlier = IndexOf(buffers, buffer.mName);
        if (earlier >= 0) {
            report("name", what + " is defined twice (first at line " +
                               std::to_string(buffers[static_cast<std::size_t>(earlier)].mLine) + ")");
            continue;
        }
        // A sampler value names a source before a buffer: such a buffer could never be read.
        if (ShaderPartSettings::SourceNamed(buffer.mName) != ShaderPartSettings::Source::Picture) {
            report("name", what + ": the name of a lib.Shader source (previous, screen, noise, checker, music); "
                                  "give it another");
        }
        if (const char* format = element.Attribute("format")) {
            const auto found = std::find_if(std::begin(Formats), std::end(Formats), [format](const FormatEntry& known) {
                return std::string(format) == known.name;
            });
            if (found != std::end(Formats)) {
                buffer.mFormat = found->format;
            } else {
                report("format",
                       what + ": format " + Quoted(QString::fromUtf8(format)) + " is not rgba8, rgba16f or rgba32f");
            }
        }
        if (const char* resolution = element.Attribute("resolution")) {
            bool ok = false;
            const double value = QString::fromUtf8(resolution).trimmed().toDouble(&ok);
            if (ok && value >= MinResolution && value <= 1.0) {
                buffer.mResolution = static_cast<float>(value);
            } else {
                report("resolution", what + ": resolution " + Quoted(QString::fromUtf8(resolution)) +
                                         " is not a number from 0.125 to 1");
            }
        }
        if (const char* clear = element.Attribute("clear")) {
            const std::string value(clear);
            if (value == "frame" || value == "never") {
                buffer.mClearEachFrame = value == "frame";
            } else {
                report("clear",
                       what + ": clear " + Quoted(QString::fromUtf8(clear)) + " is not \"frame\" or \"never\"");
            }
        }
        for (int a = 0; a < element.AttributeCount(); ++a) {
            const std::string attribute(element.AttributeName(a));
            if (std::find(std::begin(Attributes), std::end(Attributes), attribute) == std::end(Attributes)) {
                report(element.AttributeName(a),
                       what + ": unknown attribute " + Quoted(QString::fromStdString(attribute)) +
                           " (name, format, resolution, clear)",
                       true);
            }
        }
        buffers.push_back(buffer);
    }
    return buffers;
}

int BufferSettings::IndexOf(const std::vector<BufferSettings>& buffers, const QString& name)
{
    const auto found = std::find_if(buffers.begin(), buffers.end(),
                                    [&name](const BufferSettings& buffer) { return buffer.mName == name; });
    return found != buffers.end() ? static_cast<int>(found - buffers.begin()) : -1;
}

std::string BufferSettings::UnknownBuffer(const QString& partName, const QString& name,
                                          const std::vector<BufferSettings>& buffers)
{
    std::string known;
    for (const BufferSettings& buffer : buffers) {
        known += (known.empty() ? "" : ", ") + buffer.mName.toStdString();
    }
    return "part " + Quoted(partName) + ": unknown buffer " + Quoted(name) +
           (known.empty() ? " (the file defines none)" : " (buffers: " + known + ")");
}

int BufferSettings::PixelBytes(Format format)
{
    for (const FormatEntry& entry : Formats) {
        if (entry.format == format) {
            return entry.bytes;
        }
    }
    return 4;
}

const char* BufferSettings::FormatName(Format format)
{
    for (const FormatEntry& entry : Formats) {
        if (entry.format == format) {
            return entry.name;
        }
    }
    return "rgba8";
}
