#pragma once

#include "AssertException.h"
#include "Halvorn/DemoPart.h"
#include "Halvorn/DemoParts/PartParams.h"

#include <GL/glew.h>
#include <glm/vec4.hpp>

#include <QString>

#include <iostream>
#include <vector>

// Clears the colour and depth buffers to the colour of its "color" parameter
// every frame it is drawn (the whole of a buffer it draws into).
class ClearScreen : public virtual DemoPart
{
public:
    ClearScreen(DemoApp* app, double start, double end, unsigned int priority, const QString& name,
                const std::vector<DemoPartParam>& attributeParams, const std::vector<DemoPartParam>& params)
        : DemoPart(app, start, end, priority, name, attributeParams, params, "ClearScreen")
        , mColor(0.0f, 0.0f, 0.0f, 0.0f)
    {
        std::cout << "ClearScreen::ClearScreen()" << std::endl;
        for (const DemoPartParam& param : params) {
            if (param.mName == QLatin1String("color")) {
                VEXEL_READ_COLOR_PARAM(param.mValue, mColor);
            } else if (param.mName != QLatin1String(PartParams::TargetKey)) {
                PartParams::ReportUnknownKey(param.mName);
            }
        }
    }

    ~ClearScreen() override = default;

    void UpdateDemoPart(double /*step*/, double runningTime, double /*time*/) override
    {
        for (const Animation& animation : mAnimations) {
            if (animation.mTarget == Animation::Target::Color) {
                mColor = glm::vec4(animation.Evaluate(runningTime), 255.0f);
            }
        }
    }

    // The clear alpha is always 0: the stored alpha only marks a given colour.
    void RenderDemoPart(double /*step*/, double /*runningTime*/, double /*time*/) override
    {
        glClearColor(mColor.r / 255.0f, mColor.g / 255.0f, mColor.b / 255.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    DemoPart* Clone() override
    {
        return new ClearScreen(mDemoApp, mStart, mEnd, mPriority, mName, mAttributeParams, mParams);
    }

    // Red, green, blue, alpha on the 0-255 scale of the settings file.
    glm::vec4 mColor;
};
