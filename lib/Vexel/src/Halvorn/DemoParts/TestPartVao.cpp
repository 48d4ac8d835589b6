#include "Halvorn/DemoParts/TestPartVao.h"

#include "Halvorn/DemoApp.h"

TestPartVao::TestPartVao(DemoApp* app, double start, double end, unsigned int priority, const QString& name,
                         const std::vector<DemoPartParam>& attributeParams,
                         const std::vector<DemoPartParam>& params)
    : DemoPart(app, start, end, priority, name, attributeParams, params, "TestPartVao")
    , TestSceneVao(app)
{
}

TestPartVao::~TestPartVao() = default;

void TestPartVao::Update(double delta, double time)
{
    DemoPart::Update(delta, time);
}

void TestPartVao::Render(double delta, double time)
{
    DemoPart::Render(delta, time);
}

void TestPartVao::UpdateDemoPart(double step, double runningTime, double /*time*/)
{
    TestSceneVao::Update(step, runningTime);
}

void TestPartVao::RenderDemoPart(double step, double runningTime, double /*time*/)
{
    TestSceneVao::Render(step, runningTime);
}

DemoPart* TestPartVao::Clone()
{
    return new TestPartVao(mDemoApp, mStart, mEnd, mPriority, mName, mAttributeParams, mParams);
}
