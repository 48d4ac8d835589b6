#pragma once

#include "Halvorn/XmlElement.h"

#include <QString>

#include <string>
#include <vector>

// A named buffer of the settings file, <buffer name format resolution clear>:
// a picture parts draw into and others read. Read the same way by the loader
// and the settings check, so both say the same; no GL.
class BufferSettings
{
public:
    enum class Format
    {
        Rgba8,
        Rgba16f,
        Rgba32f
    };

    struct Problem
    {
        XmlElement element;
        // The attribute it is about; null for the element as a whole.
        const char* attribute = nullptr;
        std::string message;
        // Played anyway where the file is otherwise good (--check warns).
        bool warning = false;
    };

    // Every buffer element of the document element, in file order. A buffer
    // with a problem is still listed under its name (when it has one), so
    // that the parts naming it are not reported too.
    static std::vector<BufferSettings> ReadAll(const XmlElement& root, std::vector<Problem>& problems);

    // The index of the buffer of that name, or -1.
    static int IndexOf(const std::vector<BufferSettings>& buffers, const QString& name);
    // What a part naming no such buffer is told: "part \"NAME\": unknown
    // buffer \"BUFFER\" (buffers: A, B)", or "(the file defines none)".
    static std::string UnknownBuffer(const QString& partName, const QString& name,
                                     const std::vector<BufferSettings>& buffers);
    // Bytes per pixel of a format.
    static int PixelBytes(Format format);
    static const char* FormatName(Format format);

    QString mName;
    Format mFormat = Format::Rgba8;
    // Of the area the parts draw into, each side.
    float mResolution = 1.0f;
    // Cleared to transparent black at the start of every frame, rather than kept.
    bool mClearEachFrame = false;
    // Where its element stands in the file.
    int mLine = 0;
    int mColumn = 0;

    static constexpr float MinResolution = 0.125f;
};
