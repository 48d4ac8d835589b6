#pragma once

#include "DrawTarget.h"
#include "Halvorn/DemoPartParam.h"
#include "VexelApp.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class BufferSettings;
class DemoBuffers;
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
    // The same once it is done, for what every frame must show exactly (the
    // shaders' music inputs, react elements): waits for it. Null, after one
    // warning on standard error, when the music cannot be analysed.
    std::shared_ptr<SoundtrackAnalysis> GetAnalysedSoundtrack();

    // Draws the model's running parts, each into its target, into the frame
    // mDrawTarget says; the buffers follow its area.
    void RenderParts(double delta) const;
    // Where a part draws from now on: a buffer, or -1 for mDrawTarget as the
    // frame began. Outside RenderParts, or without buffers, it does nothing.
    void DrawPartInto(int buffer) const;
    // The buffers parts are made against: those of the timeline being loaded
    // (see SetLoadingBuffers), else those of the model.
    const std::vector<BufferSettings>& DeclaredBuffers() const;
    // The loader names the buffers of the timeline it builds, and null when done.
    void SetLoadingBuffers(const std::vector<BufferSettings>* buffers) { mLoadingBuffers = buffers; }
    // The buffers' pictures; null until a timeline with buffers is drawn.
    const DemoBuffers* Buffers() const { return mBuffers.get(); }

    QString mSettingsFile;
    DemoModel* mModel = nullptr;
    // Where the parts draw now; the whole window unless the application
    // draws elsewhere. Set while drawing, so also from the const Render.
    mutable DrawTarget mDrawTarget;

private:
    std::shared_ptr<SoundtrackAnalysis> mSoundtrackAnalysis;
    const std::vector<BufferSettings>* mLoadingBuffers = nullptr;
    mutable std::unique_ptr<DemoBuffers> mBuffers;
    // The analysis whose failure has been reported.
    const SoundtrackAnalysis* mReportedFailure = nullptr;
};
