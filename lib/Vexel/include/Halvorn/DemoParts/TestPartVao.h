#pragma once

#include "Halvorn/DemoPart.h"
#include "Halvorn/DemoParts/TestSceneVao.h"

#include <QString>

#include <vector>

// Puts the test scene on the timeline. Every per-frame call, through either
// scene side, goes through the part's timing, so the scene runs on the part's
// own running time.
class TestPartVao : public TestSceneVao, public virtual DemoPart
{
public:
    // The parameter list is not read.
    TestPartVao(DemoApp* app, double start, double end, unsigned int priority, const QString& name,
                const std::vector<DemoPartParam>& attributeParams, const std::vector<DemoPartParam>& params);
    ~TestPartVao() override;

    void Update(double delta, double time) override;
    void Render(double delta, double time) override;
    void UpdateDemoPart(double step, double runningTime, double time) override;
    void RenderDemoPart(double step, double runningTime, double time) override;
    DemoPart* Clone() override;
};
