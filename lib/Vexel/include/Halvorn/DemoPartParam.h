#pragma once

#include <QString>

#include <vector>

class XmlElement;

// One name/value pair of a part's settings; readers convert the text themselves.
class DemoPartParam
{
public:
    DemoPartParam(const QString& name, const QString& value);
    virtual ~DemoPartParam();

    DemoPartParam(const DemoPartParam&) = default;
    DemoPartParam& operator=(const DemoPartParam&) = default;

    // Every attribute of a part's param elements, in file order, as the
    // loader hands them to the part.
    static std::vector<DemoPartParam> OfPart(const XmlElement& part);

    QString mName;
    QString mValue;
};
