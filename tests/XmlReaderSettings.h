#pragma once

#include "Halvorn/XmlEncoding.h"

// The reader's two process-wide settings, put back as found when a test ends.
class XmlReaderSettings
{
public:
    explicit XmlReaderSettings(bool utf8 = true, bool wideText = true)
        : mUtf8(XmlEncoding::Utf8TableInForce()), mWideText(XmlEncoding::WideTextDetection())
    {
        XmlEncoding::UseUtf8Table(utf8);
        XmlEncoding::SetWideTextDetection(wideText);
    }
    ~XmlReaderSettings()
    {
        XmlEncoding::UseUtf8Table(mUtf8);
        XmlEncoding::SetWideTextDetection(mWideText);
    }
    XmlReaderSettings(const XmlReaderSettings&) = delete;
    XmlReaderSettings& operator=(const XmlReaderSettings&) = delete;

private:
    bool mUtf8;
    bool mWideText;
};
