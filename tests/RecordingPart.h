#pragma once

#include "Halvorn/DemoPart.h"

#include <initializer_list>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace VexelTest {

// What the parts of a test were asked to do, in call order, e.g.
// "begin a", "update a 0.5 5 5", "render a 0.5 5 5", "end a", "delete a".
class PartJournal
{
public:
    void Add(const std::string& what, const QString& part, std::initializer_list<double> values = {})
    {
        std::ostringstream entry;
        entry << what << " " << part.toStdString();
        for (const double value : values) {
            entry << " " << value;
        }
        mEntries.push_back(entry.str());
    }
    std::vector<std::string> Take() { return std::exchange(mEntries, {}); }

private:
    std::vector<std::string> mEntries;
};

// A part that only records; it derives virtually, as every concrete part does.
class RecordingPart : public virtual DemoPart
{
public:
    RecordingPart(PartJournal& journal, double start, double end, unsigned int priority = 0,
                  const QString& name = "part", const std::vector<DemoPartParam>& attributeParams = {},
                  const std::vector<DemoPartParam>& params = {})
        : DemoPart(nullptr, start, end, priority, name, attributeParams, params, "RecordingPart")
        , mJournal(journal)
    {
    }
    ~RecordingPart() override { mJournal.Add("delete", mName); }

    void BeginPart() override { mJournal.Add("begin", mName); }
    void EndPart() override { mJournal.Add("end", mName); }
    void UpdateDemoPart(double step, double runningTime, double time) override
    {
        mJournal.Add("update", mName, {step, runningTime, time});
    }
    void RenderDemoPart(double step, double runningTime, double time) override
    {
        mJournal.Add("render", mName, {step, runningTime, time});
    }
    DemoPart* Clone() override
    {
        return new RecordingPart(mJournal, mStart, mEnd, mPriority, mName, mAttributeParams, mParams);
    }

private:
    PartJournal& mJournal;
};

} // namespace VexelTest
