#pragma once

#include "Halvorn/DemoApp.h"

// MORVELIN itself: a 1280x720 OpenGL 3.3 demo whose timeline comes from
// "morvelin.xml" and whose soundtrack starts as soon as it is loaded.
class KorvaneApp : public DemoApp
{
public:
    KorvaneApp(int argc, char** argv, const QString& title, const QString& version);
    ~KorvaneApp() override;

    // The command line is not read: the demo always plays its own settings file.
    int ParseArgument(int argc, const QStringList& arguments, int index) override;
    // Adds no classes of its own; every name goes to the framework.
    DemoPart* GetDemoPart(float start, float end, unsigned int priority, const QString& name,
                          const std::vector<DemoPartParam>& attributeParams,
                          const std::vector<DemoPartParam>& params, const QString& className) override;
};
