#include "Halvorn/DemoPartParam.h"

#include "Halvorn/XmlElement.h"

DemoPartParam::DemoPartParam(const QString& name, const QString& value)
    : mName(name)
    , mValue(value)
{
}

DemoPartParam::~DemoPartParam() = default;

std::vector<DemoPartParam> DemoPartParam::OfPart(const XmlElement& part)
{
    std::vector<DemoPartParam> params;
    for (const XmlElement& param : part.Children("param")) {
        for (int a = 0; a < param.AttributeCount(); ++a) {
            const char* value = param.AttributeValue(a);
            params.emplace_back(QString::fromUtf8(param.AttributeName(a)), QString::fromUtf8(value ? value : ""));
        }
    }
    return params;
}
