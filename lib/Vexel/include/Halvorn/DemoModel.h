#pragma once

#include "Halvorn/BufferSettings.h"
#include "Halvorn/DemoPart.h"
#include "Halvorn/Tempo.h"

#include <boost/ptr_container/ptr_list.hpp>

#include <QString>

#include <cstddef>
#include <unordered_map>
#include <vector>

// The demo's timeline: parts wait in the future list, run in the current list
// and rest in the past list; the lists own them.
class DemoModel
{
public:
    DemoModel();
    ~DemoModel();

    DemoModel(const DemoModel&) = delete;
    DemoModel& operator=(const DemoModel&) = delete;

    // Takes ownership. Keeps the future list stably sorted by start.
    void AddPart(DemoPart* part);
    // Deletes every part and rewinds the clock; name, version and soundtrack stay.
    void Clear();
    // Advances the timeline by one frame; false once nothing is left to play.
    bool Update(double delta);
    // Puts every part back and replays a straight play up to time, with a
    // frame at each part start and end on the way: the same running parts,
    // order and running times, without re-creating any part.
    bool Seek(double time);
    // Forward an update by the difference, backwards a seek.
    bool AdvanceTo(double time);
    // Draws the running parts, lowest priority value first.
    void Render(double delta);
    void PrintStatus(double time) const;

    // Both return whether any part moved.
    bool MoveFutureParts(double time);
    bool MoveCurrentParts(double time);

    QString mName;
    QString mVersion;
    QString mSoundtrackFile;
    // From an optional tempo element; the timeline itself never reads it.
    Tempo mTempo;
    bool mHasTempo = false;
    // The file's buffers, in file order; parts name them by index.
    std::vector<BufferSettings> mBuffers;
    // Counts the seeks, so that what keeps pictures from frame to frame
    // knows when to start again.
    unsigned int mSeeks = 0;
    // A new number for every model and after every Clear, even where a new
    // model takes an old one's place in memory: what follows the parts and
    // buffers of a timeline knows when they are others.
    unsigned long long mTimeline;
    boost::ptr_list<DemoPart> mPastParts;
    boost::ptr_list<DemoPart> mCurrentParts;
    boost::ptr_list<DemoPart> mFutureParts;
    double mTime = 0.0;
    int mPlayMode = 2;
    int mPreviousPlayMode = 2;
    int mKeepRunning = 0;
    // No status reports or part moves on the console.
    bool mQuiet = false;
    // A part leaves as soon as the clock reaches its end, so that time t
    // shows exactly the parts with start <= t < end however t was reached.
    // Without it, as the demo plays, a part that reaches its end gets one
    // last update and is drawn in that frame.
    bool mRetireAtEnd = false;

private:
    bool HasWork() const;
    std::size_t Arrival(const DemoPart& part) const;

    // Order of arrival, so that a seek restores the order among equal starts.
    std::unordered_map<const DemoPart*, std::size_t> mArrival;
    std::size_t mArrivals = 0;
};
