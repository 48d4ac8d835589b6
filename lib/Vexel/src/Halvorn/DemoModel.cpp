#include "Halvorn/DemoModel.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <iterator>
#include <set>

namespace {

using PartList = boost::ptr_list<DemoPart>;

// Models are made and cleared on the main thread only.
unsigned long long sTimelines = 0;

// Relinks the node: the part is neither copied nor re-created, and nothing can throw.
void MoveToEnd(PartList& from, PartList::iterator part, PartList& to)
{
    to.base().splice(to.base().end(), from.base(), part.base());
}

// A start that is not a number can never become due; it goes after every
// number so that it cannot hold back the parts behind it.
bool StartsBefore(const DemoPart& a, const DemoPart& b)
{
    return a.mStart < b.mStart || (!std::isnan(a.mStart) && std::isnan(b.mStart));
}

bool ByPriority(const DemoPart& a, const DemoPart& b)
{
    return a.mPriority < b.mPriority;
}

void PrintParts(const PartList& parts, bool withRunningTime)
{
    for (const DemoPart& part : parts) {
        std::cout << "  - " << part.mName.toStdString() << " (" << part.mStart << "-" << part.mEnd << ")";
        if (withRunningTime) {
            std::cout << " total running time=" << part.mRunningTime;
        }
        std::cout << std::endl;
    }
    std::cout << std::endl;
    std::cout << std::endl;
}

} // namespace

DemoModel::DemoModel()
    : mTimeline(++sTimelines)
{
}

DemoModel::~DemoModel()
{
    // The log ends with the final state of the timeline.
    if (!mQuiet) {
        PrintStatus(mTime);
    }
    mFutureParts.clear();
    mCurrentParts.clear();
    mPastParts.clear();
}

void DemoModel::AddPart(DemoPart* part)
{
    if (part != nullptr) {
        mArrival[part] = mArrivals++;
    }
    // Settings files list parts mostly in start order, so appending is the
    // common case; push_back also refuses a null part.
    if (part == nullptr || mFutureParts.empty() || !StartsBefore(*part, mFutureParts.back())) {
        mFutureParts.push_back(part);
        return;
    }
    // The stable position: after every part that does not start later.
    auto position = std::prev(mFutureParts.end());
    while (position != mFutureParts.begin() && StartsBefore(*part, *std::prev(position))) {
        --position;
    }
    mFutureParts.insert(position, part);
}

void DemoModel::Clear()
{
    mFutureParts.clear();
    mCurrentParts.clear();
    mPastParts.clear();
    mArrival.clear();
    mArrivals = 0;
    mTime = 0.0;
    mTimeline = ++sTimelines;
}

bool DemoModel::Update(double delta)
{
    mTime += delta;
    const bool startedAny = MoveFutureParts(mTime);
    const bool finishedAny = MoveCurrentParts(mTime);
    // Usually nothing changed since the last frame; a stable sort of a list
    // already in order would leave it as it is anyway.
    if (!std::is_sorted(mCurrentParts.begin(), mCurrentParts.end(), ByPriority)) {
        mCurrentParts.sort(ByPriority);
    }

    const double previous = mTime - delta;
    for (DemoPart& part : mCurrentParts) {
        // A part that started inside this frame only gets the time since its start.
        const double partDelta = part.mStart > previous ? mTime - part.mStart : delta;
        part.Update(partDelta, mTime);
    }

    if ((startedAny || finishedAny) && !mQuiet) {
        PrintStatus(mTime);
    }
    return HasWork();
}

std::size_t DemoModel::Arrival(const DemoPart& part) const
{
    // A part put in a list by hand counts as the latest arrival.
    const auto found = mArrival.find(&part);
    return found != mArrival.end() ? found->second : mArrivals;
}

bool DemoModel::HasWork() const
{
    return mKeepRunning != 0 || !mFutureParts.empty() || !mCurrentParts.empty();
}

bool DemoModel::Seek(double time)
{
    ++mSeeks;
    // Running parts end before they go back, so each BeginPart has its EndPart.
    for (DemoPart& part : mCurrentParts) {
        part.EndPart();
    }
    mFutureParts.base().splice(mFutureParts.base().end(), mCurrentParts.base());
    mFutureParts.base().splice(mFutureParts.base().end(), mPastParts.base());
    mFutureParts.sort([this](const DemoPart& a, const DemoPart& b) {
        if (StartsBefore(a, b) || StartsBefore(b, a)) {
            return StartsBefore(a, b);
        }
        return Arrival(a) < Arrival(b);
    });
    for (DemoPart& part : mFutureParts) {
        part.mRunningTime = 0.0;
        part.mPendingStep = 0.0;
        part.mFixedStepAccumulator = 0.0;
        part.mLastDelta = 0.0;
        part.mLastTime = 0.0;
    }
    mTime = 0.0;

    // A frame at every start and end on the way, as a straight play has one
    // at or soon after each: parts retire and start as they would there.
    std::set<double> stops;
    for (const DemoPart& part : mFutureParts) {
        for (const double stop : {part.mStart, part.mEnd}) {
            if (stop > 0.0 && stop < time) {
                stops.insert(stop);
            }
        }
    }
    stops.insert(std::max(time, 0.0));

    const bool quiet = mQuiet;
    mQuiet = true;
    bool running = true;
    for (const double stop : stops) {
        running = Update(stop - mTime);
    }
    mQuiet = quiet;
    if (!mQuiet) {
        PrintStatus(mTime);
    }
    return running;
}

bool DemoModel::AdvanceTo(double time)
{
    if (time >= mTime) {
        return Update(time - mTime);
    }
    return Seek(time);
}

bool DemoModel::MoveFutureParts(double time)
{
    bool moved = false;
    // The list is sorted by start, so the first part not yet due ends the walk
    // (a start that is not a number never becomes due).
    while (!mFutureParts.empty() && time >= mFutureParts.front().mStart) {
        DemoPart& part = mFutureParts.front();
        if (!mQuiet) {
            std::cout << "Moving futurepart \"" << part.mName.toStdString() << "\" to currentparts..." << std::endl;
        }
        part.BeginPart();
        part.mPendingStep += time - part.mStart;
        MoveToEnd(mFutureParts, mFutureParts.begin(), mCurrentParts);
        moved = true;
    }
    return moved;
}

bool DemoModel::MoveCurrentParts(double time)
{
    bool moved = false;
    auto it = mCurrentParts.begin();
    while (it != mCurrentParts.end()) {
        DemoPart& part = *it;
        if (time < part.mEnd) {
            ++it;
            continue;
        }
        const double remaining = (part.mEnd - part.mStart) - part.mRunningTime;
        if (mRetireAtEnd || part.mRunningTime == 0.0 || !(remaining > 0.0)) {
            if (!mQuiet) {
                std::cout << "Moving currentpart \"" << part.mName.toStdString() << "\" to pastparts..." << std::endl;
            }
            part.EndPart();
            const auto next = std::next(it);
            MoveToEnd(mCurrentParts, it, mPastParts);
            it = next;
            moved = true;
        } else {
            // One more update lands its running time exactly on its length;
            // the next frame retires it.
            part.mPendingStep += remaining;
            ++it;
        }
    }
    return moved;
}

void DemoModel::Render(double delta)
{
    for (DemoPart& part : mCurrentParts) {
        part.Render(delta, mTime);
    }
}

void DemoModel::PrintStatus(double time) const
{
    std::cout << "== Time now " << time << " ==" << std::endl;
    std::cout << "== Past parts ==" << std::endl;
    PrintParts(mPastParts, true);
    std::cout << "== Current parts ==" << std::endl;
    PrintParts(mCurrentParts, false);
    std::cout << "== Future parts ==" << std::endl;
    PrintParts(mFutureParts, false);
}
