#pragma once

#include "DrawTarget.h"
#include "Halvorn/DemoPartParam.h"
#include "VexelApp.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class DemoModel;
class DemoPart;
class SoundtrackAnalysis;

// The application base for a demo: owns the timeline and hands every frame to it.
class DemoApp : public VexelApp
{
public:
    DemoApp(int argc, char** argv, const QString& title, const QString& version, int width, int height,
            float aspectRatio, bool noSound, int glMajorVersion, int glMinorVersion,
            const WindowPlacement& placement = WindowPlacement());
    ~DemoApp() override;

    // Knows "--settings <file>".
    int ParseArgument(int argc, const QStringList& arguments, int index) override;
    // The model keeps its own clock, so total is not used.
    void Update(double delta, double total) override;
    void Render(double delta, double total) const override;
    // Key releases are neither logged nor passed on.
    void KeyUp(int key) override;
    // The arrow keys set the play mode; every other key goes to the base.
    void KeyDown(int key) override;

    // The part factory: a new part for a class name, or null for an unknown one.
    virtual DemoPart* GetDemoPart(float start, float end, unsigned int priority, const QString& name,
                                  const std::vector<DemoPartParam>& attributeParams,
                                  const std::vector<DemoPartParam>& params, const QString& className);

    // The analysis of the model's soundtrack (found from the data root),
    // begun on the first call and shared by all who ask; a demo that never
    // asks has nothing analysed.
    std::shared_ptr<SoundtrackAnalysis> GetSoundtrackAnalysis();

    QString mSettingsFile;
    DemoModel* mModel = nullptr;
    // Where the parts draw now; the whole window unless the application
    // draws elsewhere. Set while drawing, so also from the const Render.
    mutable DrawTarget mDrawTarget;

private:
    std::shared_ptr<SoundtrackAnalysis> mSoundtrackAnalysis;
};
