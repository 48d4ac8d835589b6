#include "Halvorn/DemoPart.h"

#include "AssertException.h"
#include "Halvorn/BufferSettings.h"
#include "Halvorn/DemoApp.h"
#include "Halvorn/DemoParts/PartParams.h"
#include "Halvorn/Reaction.h"

#include <iostream>
#include <stdexcept>

DemoPart::DemoPart(DemoApp* app, double start, double end, unsigned int priority, const QString& name,
                   const std::vector<DemoPartParam>& attributeParams, const std::vector<DemoPartParam>& params,
                   const QString& className)
    : SceneBase(app)
    , mStart(start)
    , mEnd(end)
    , mPriority(priority)
    , mName(name)
    , mClassName(className)
    , mDemoApp(app)
    , mAttributeParams(attributeParams)
    , mParams(params)
{
    // A later entry overrides an earlier one.
    for (const DemoPartParam& param : mAttributeParams) {
        if (param.mName != QLatin1String("clearColor")) {
            continue;
        }
        VEXEL_READ_COLOR(param.mValue, mClearColor, "=> clearColor-attribute has unknown red value!",
                         "=> clearColor-attribute has unknown green value!",
                         "=> clearColor-attribute has unknown blue value!");
    }
    // A later target overrides an earlier one, as every parameter does.
    const DemoPartParam* target = nullptr;
    for (const DemoPartParam& param : mParams) {
        if (param.mName == QLatin1String(PartParams::TargetKey)) {
            target = &param;
        }
    }
    if (target != nullptr && mDemoApp != nullptr) {
        const std::vector<BufferSettings>& buffers = mDemoApp->DeclaredBuffers();
        mTarget = BufferSettings::IndexOf(buffers, target->mValue);
        if (mTarget < 0) {
            throw std::runtime_error(BufferSettings::UnknownBuffer(mName, target->mValue, buffers));
        }
    }
}

DemoPart::~DemoPart() = default;

void DemoPart::Update(double delta, double time)
{
    const double base = time - delta;
    const double step = mPendingStep != 0.0 ? mPendingStep : delta;

    if (!mFixedStep) {
        mRunningTime += step;
        HoldReactions(base + step);
        UpdateDemoPart(step, mRunningTime, base + step);
    } else {
        // A step of zero or less would never drain the accumulator.
        BOOST_ASSERT(mFixedStepLength > 0.0 && "=> fixed step length must be greater than zero!");
        mFixedStepAccumulator += step;
        double stepTime = base;
        while (mFixedStepAccumulator >= mFixedStepLength) {
            mRunningTime += mFixedStepLength;
            stepTime += mFixedStepLength;
            HoldReactions(stepTime);
            UpdateDemoPart(mFixedStepLength, mRunningTime, stepTime);
            mFixedStepAccumulator -= mFixedStepLength;
        }
    }

    if (mPendingStep == 0.0) {
        mLastDelta = delta;
        mLastTime = time;
    } else {
        mLastDelta = mPendingStep;
        mLastTime = mPendingStep + base;
        mPendingStep = 0.0;
    }
}

void DemoPart::Render(double /*delta*/, double /*time*/)
{
    if (mDemoApp != nullptr) {
        mDemoApp->DrawPartInto(mTarget);
    }
    RenderDemoPart(mLastDelta, mRunningTime, mLastTime);
}

void DemoPart::HoldReactions(double time)
{
    // The timeline time, not the running time: the running time is a sum of
    // steps, which differs in its last bits between a seek and a straight play.
    for (Animation& animation : mAnimations) {
        if (animation.mReaction) {
            animation.mHeld = animation.mReaction->ValueAt(time);
        }
    }
}

void DemoPart::PrintDescription() const
{
    std::cout << "DemoPart [" << mStart << " - " << mEnd << " " << mName.toStdString()
              << ", class=" << mClassName.toStdString() << ", priority=" << mPriority
              << ", music=" << mMusicTrack.toStdString() << "]" << std::endl;
}
