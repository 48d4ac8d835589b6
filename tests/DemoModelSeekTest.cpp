#include "Halvorn/DemoModel.h"
#include "RecordingPart.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

using VexelTest::PartJournal;
using VexelTest::RecordingPart;

namespace {

// Equal starts, equal priorities, priorities against start order, a part
// shorter than a frame and one that ends past the others.
void AddParts(DemoModel& model, PartJournal& journal)
{
    model.AddPart(new RecordingPart(journal, 0.0, 4.0, 5, "backdrop"));
    model.AddPart(new RecordingPart(journal, 0.0, 2.5, 5, "glow"));
    model.AddPart(new RecordingPart(journal, 1.0, 1.05, 1, "flash"));
    model.AddPart(new RecordingPart(journal, 2.0, 6.0, 0, "clear"));
    model.AddPart(new RecordingPart(journal, 2.0, 3.3, 5, "logo"));
    model.AddPart(new RecordingPart(journal, 3.0, 9.0, 7, "scene"));
    model.AddPart(new RecordingPart(journal, 0.5, 3.0, 5, "text"));
}

// The lists in order, with running times.
std::string State(const DemoModel& model)
{
    std::ostringstream text;
    text.precision(9);
    for (const auto* list : {&model.mPastParts, &model.mCurrentParts, &model.mFutureParts}) {
        text << "|";
        for (const DemoPart& part : *list) {
            text << " " << part.mName.toStdString() << "=" << std::fixed << part.mRunningTime;
        }
    }
    return text.str();
}

} // namespace

TEST(DemoModelSeekTest, SeekGivesTheStateOfAStraightPlay)
{
    const double frame = 1.0 / 8.0;
    for (const double target : {0.0, 0.75, 1.0, 2.25, 3.125, 5.5, 9.0, 10.0}) {
        SCOPED_TRACE(target);
        PartJournal journal;
        DemoModel straight;
        straight.mQuiet = true;
        AddParts(straight, journal);
        // The first frame shows time 0.
        straight.Update(0.0);
        while (straight.mTime < target - 1e-9) {
            straight.Update(frame);
        }

        DemoModel sought;
        sought.mQuiet = true;
        AddParts(sought, journal);
        for (const double from : {7.0, 0.5, target}) {
            sought.AdvanceTo(from);
            sought.Seek(target);
            EXPECT_EQ(State(sought), State(straight)) << "seek from " << from;
        }
        // Backwards AdvanceTo is a seek.
        sought.AdvanceTo(9.5);
        sought.AdvanceTo(target);
        EXPECT_EQ(State(sought), State(straight));
        EXPECT_DOUBLE_EQ(sought.mTime, target);
    }
}

TEST(DemoModelSeekTest, PartsAreKeptAndEachBeginHasItsEnd)
{
    PartJournal journal;
    DemoModel model;
    model.mQuiet = true;
    model.AddPart(new RecordingPart(journal, 1.0, 5.0, 0, "a"));
    model.AdvanceTo(2.0);
    journal.Take();
    model.Seek(0.5);
    // Running, so ended; then put back and not started again before 1 s.
    EXPECT_EQ(journal.Take(), (std::vector<std::string>{"end a"}));
    model.Seek(3.0);
    EXPECT_EQ(journal.Take(), (std::vector<std::string>{"begin a", "update a 0 0 1", "update a 2 2 3"}));
    EXPECT_EQ(model.mCurrentParts.size(), 1u);
}
