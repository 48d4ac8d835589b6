#include "Halvorn/DemoPartParam.h"

DemoPartParam::DemoPartParam(const QString& name, const QString& value)
    : mName(name)
    , mValue(value)
{
}

DemoPartParam::~DemoPartParam() = default;
