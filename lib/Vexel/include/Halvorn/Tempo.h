#pragma once

#include <QString>

// The musical grid of a demo: beats per minute, beats per bar and the time in
// seconds of bar 1, beat 1. Bars and beats are counted from 1.
class Tempo
{
public:
    Tempo() = default;
    Tempo(double bpm, int beatsPerBar, double offset);

    // A usable grid: a finite, positive bpm, at least one beat per bar, a
    // finite offset and a bar of finite length.
    bool IsValid() const;

    double SecondsPerBeat() const;
    double SecondsPerBar() const;
    // Beats since bar 1, beat 1 (0 there), as a real number.
    double BeatsAt(double seconds) const;
    double SecondsAtBeats(double beats) const;
    // bar and beat from 1; beat may have a fraction.
    double SecondsAt(int bar, double beat) const;
    // The bar and beat at a time; the beat keeps its fraction.
    void BarBeatAt(double seconds, int& bar, double& beat) const;
    // The start of the bar that holds seconds.
    double BarStartAt(double seconds) const;

    double mBpm = 0.0;
    int mBeatsPerBar = 4;
    double mOffset = 0.0;
};

// A time as a maker writes it: seconds ("12.5"), or "BAR:BEAT" ("9:1", beat
// may have a fraction) when a tempo is given. Returns false and says why in
// error on anything else; seconds is then left alone.
bool ParseTime(const QString& text, const Tempo* tempo, double& seconds, QString& error);
