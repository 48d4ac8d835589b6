#pragma once

#include <cstdint>
#include <vector>

// The beat of a piece of music, found with aubio: its tempo, the time of its
// first downbeat and its strongest onsets.
class TempoDetection
{
public:
    struct Onset
    {
        double mSeconds = 0.0;
        // Relative to the strongest onset of the piece: 0..1.
        double mStrength = 0.0;
    };

    // Mono 16-bit samples at sampleRate.
    TempoDetection(const std::vector<std::int16_t>& samples, int sampleRate, int beatsPerBar = 4);

    // False when no steady beat was found; the tempo is then meaningless.
    bool HasTempo() const { return mHasTempo; }
    double Bpm() const { return mBpm; }
    // The first downbeat at or after the music begins.
    double FirstDownbeat() const { return mFirstDownbeat; }
    // The beats aubio found.
    const std::vector<double>& Beats() const { return mBeats; }
    // Every onset in time order.
    const std::vector<Onset>& Onsets() const { return mOnsets; }
    // The count strongest onsets, in time order.
    std::vector<Onset> Strongest(std::size_t count) const;

private:
    // Turns aubio's onset times into the attacks near them, with their strengths.
    void MeasureOnsets(const std::vector<std::int16_t>& samples, int sampleRate, const std::vector<double>& found);
    void FitGrid(const std::vector<std::int16_t>& samples, int sampleRate, int beatsPerBar);
    // Which beat of the bar, counted from the grid's line at phase, is the first.
    int DownbeatPlace(const std::vector<std::int16_t>& samples, int sampleRate, int beatsPerBar, double phase,
                      double beat) const;

    bool mHasTempo = false;
    double mBpm = 0.0;
    double mFirstDownbeat = 0.0;
    double mMusicStart = 0.0;
    std::vector<double> mBeats;
    std::vector<Onset> mOnsets;
};
