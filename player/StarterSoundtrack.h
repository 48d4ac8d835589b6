#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The soundtrack of a new demo, made by the player itself so that the demo
// plays with music at its own tempo from the start: a kick on every beat, a
// hat between the beats, a bass and a chord a bar (A minor, F, C, G), fading
// out over the last beat. Nothing random: the same tempo and length give the
// same samples on every run.
class StarterSoundtrack
{
public:
    static constexpr int SampleRate = 44100;

    StarterSoundtrack(double bpm, int beatsPerBar, int bars);

    // Whole sample frames: exactly the bars at the tempo.
    std::size_t Frames() const { return mLeft.size(); }
    // A 16-bit stereo PCM WAV file of it.
    std::string WavFile() const;

private:
    void AddKick(std::size_t first);
    void AddHat(std::size_t first, double loudness);
    void AddNote(std::size_t first, std::size_t length, int midiNote, double loudness, double pan);

    double mBeat;
    std::vector<double> mLeft;
    std::vector<double> mRight;
};
