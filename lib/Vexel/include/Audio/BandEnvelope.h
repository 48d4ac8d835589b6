#pragma once

#include <cstdint>
#include <vector>

class MusicAnalysis;

// How loud a band of the soundtrack is at a time, from 0 (silence) to 1 (the
// band's loudest step in the whole track), through an envelope that rises
// with the attack and falls with the release time. Made once per band from
// the analysis's steps; the value at a time depends on the time alone.
class BandEnvelope
{
public:
    // lowHz < highHz; attack and release in seconds, 0 or more.
    BandEnvelope(const MusicAnalysis& analysis, double lowHz, double highHz, double attack, double release);

    float At(double time) const;

    // The bins summed: those whose centre lies in the band, or the one
    // nearest to it for a band narrower than a bin.
    int FirstBin() const { return mFirstBin; }
    int LastBin() const { return mLastBin; }

private:
    int mFirstBin = 0;
    int mLastBin = 0;
    double mRelease = 0.0;
    // The envelope after each step.
    std::vector<float> mSteps;
};
