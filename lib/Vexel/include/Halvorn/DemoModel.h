#pragma once

#include "Halvorn/DemoPart.h"
#include "Halvorn/Tempo.h"

#include <boost/ptr_container/ptr_list.hpp>

#include <QString>

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
    boost::ptr_list<DemoPart> mPastParts;
    boost::ptr_list<DemoPart> mCurrentParts;
    boost::ptr_list<DemoPart> mFutureParts;
    double mTime = 0.0;
    int mPlayMode = 2;
    int mPreviousPlayMode = 2;
    int mKeepRunning = 0;
};
