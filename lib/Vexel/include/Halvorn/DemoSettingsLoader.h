#pragma once

class DemoApp;
class DemoModel;
class QString;

// Reads a demo's settings into the timeline; the application makes the parts.
class DemoSettingsLoader
{
public:
    virtual ~DemoSettingsLoader() = default;

    virtual void Load(const QString& fileName, DemoModel* model, DemoApp* app) const = 0;
};
