#pragma once

#include <QString>

// One name/value pair of a part's settings; readers convert the text themselves.
class DemoPartParam
{
public:
    DemoPartParam(const QString& name, const QString& value);
    virtual ~DemoPartParam();

    DemoPartParam(const DemoPartParam&) = default;
    DemoPartParam& operator=(const DemoPartParam&) = default;

    QString mName;
    QString mValue;
};
