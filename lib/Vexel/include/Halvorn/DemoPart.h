#pragma once

#include "Halvorn/Animation.h"
#include "Halvorn/DemoPartParam.h"
#include "Halvorn/SceneBase.h"

#include <glm/vec4.hpp>

#include <QString>

#include <vector>

class DemoApp;

// A scene with a place on the timeline. The timeline calls Update and Render;
// they turn its frame times into the part's step, running time and timeline
// time for the concrete part's UpdateDemoPart and RenderDemoPart.
class DemoPart : public SceneBase
{
public:
    DemoPart(DemoApp* app, double start, double end, unsigned int priority, const QString& name,
             const std::vector<DemoPartParam>& attributeParams, const std::vector<DemoPartParam>& params,
             const QString& className);
    ~DemoPart() override;

    void Update(double delta, double time) override;
    // Replays the values of the latest update into the part's target; both
    // arguments are ignored.
    void Render(double delta, double time) override;

    virtual void BeginPart() {}
    virtual void EndPart() {}
    // Called by the loader once the part has its animations, before the
    // timeline runs: work that depends on them is done here, not in a frame.
    virtual void Prepare() {}
    virtual void UpdateDemoPart(double step, double runningTime, double time) = 0;
    virtual void RenderDemoPart(double step, double runningTime, double time) = 0;
    virtual DemoPart* Clone() = 0;

    void PrintDescription() const;

    double mStart;
    double mEnd;
    double mRunningTime = 0.0;
    // One-off step for the next update instead of the frame's delta; 0 means none.
    double mPendingStep = 0.0;
    double mFixedStepAccumulator = 0.0;
    unsigned int mPriority;
    QString mName;
    QString mClassName;
    QString mMusicTrack;
    bool mClearBackground = true;
    bool mClearZBuffer = true;
    // On the 0-255 scale of the settings file.
    glm::vec4 mClearColor{0.0f, 0.0f, 0.0f, 1.0f};
    DemoApp* mDemoApp;
    // Own copies: the loader discards its lists right after construction, and
    // Clone must still be able to rebuild the part from them.
    const std::vector<DemoPartParam> mAttributeParams;
    const std::vector<DemoPartParam> mParams;
    bool mFixedStep = false;
    double mFixedStepLength = 0.0;
    double mLastDelta = 0.0;
    double mLastTime = 0.0;
    // From the part's animate elements, set by the loader after construction;
    // the concrete part applies them in each update from its running time.
    // The part's react elements come after them, held at their value for
    // the update's timeline time before the concrete part's update.
    std::vector<Animation> mAnimations;
    // The buffer the part draws into (its "target" parameter), as an index
    // among the timeline's buffers; -1 for the picture the frame shows.
    int mTarget = -1;
    // The buffers the concrete part reads, by index.
    std::vector<int> mReadBuffers;

private:
    void HoldReactions(double time);
};
