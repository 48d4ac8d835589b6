#include "StarterSoundtrack.h"

#include <algorithm>
#include <cmath>

namespace {

const double Pi = 3.14159265358979323846;

// The chords a bar, in turn, as MIDI notes: root (for the bass) and three voices.
const int Chords[][4] = {{45, 57, 60, 64}, {41, 57, 60, 65}, {48, 55, 60, 64}, {43, 55, 59, 62}};

double Hz(int midiNote)
{
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

// Noise from a fixed seed, from -1 to 1.
double Noise(std::uint32_t& state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<double>(state) / 4294967295.0 * 2.0 - 1.0;
}

void Put(std::string& bytes, std::uint32_t value, int size)
{
    for (int i = 0; i < size; ++i) {
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
    }
}

} // namespace

StarterSoundtrack::StarterSoundtrack(double bpm, int beatsPerBar, int bars)
    : mBeat(60.0 / bpm * SampleRate)
    , mLeft(static_cast<std::size_t>(std::llround(mBeat * beatsPerBar * bars)), 0.0)
    , mRight(mLeft.size(), 0.0)
{
    const auto at = [this](double beat) { return static_cast<std::size_t>(std::llround(beat * mBeat)); };
    for (int bar = 0; bar < bars; ++bar) {
        const int* chord = Chords[bar % 4];
        const double first = static_cast<double>(bar) * beatsPerBar;
        for (int voice = 1; voice < 4; ++voice) {
            AddNote(at(first), at(first + beatsPerBar) - at(first), chord[voice], 0.07, voice - 2.0);
        }
        for (int beat = 0; beat < beatsPerBar; ++beat) {
            AddKick(at(first + beat));
            AddHat(at(first + beat + 0.5), 0.12);
            AddHat(at(first + beat + 0.75), 0.05);
            AddNote(at(first + beat + 0.5), at(0.45), chord[0] - 12, 0.22, 0.0);
        }
    }
    // Under every kick the rest ducks for a moment, so the beat stands out.
    for (std::size_t n = 0; n < mLeft.size(); ++n) {
        const double sinceKick = std::fmod(static_cast<double>(n), mBeat) / SampleRate;
        const double duck = 1.0 - 0.5 * std::exp(-sinceKick / 0.08);
        mLeft[n] *= duck;
        mRight[n] *= duck;
    }
    for (int beat = 0; beat < beatsPerBar * bars; ++beat) {
        AddKick(at(beat));
    }
    // Out over the last beat, so the end does not click.
    const std::size_t fade = std::min(mLeft.size(), at(1.0));
    for (std::size_t i = 0; i < fade; ++i) {
        const double gain = static_cast<double>(i) / static_cast<double>(fade);
        mLeft[mLeft.size() - 1 - i] *= gain;
        mRight[mRight.size() - 1 - i] *= gain;
    }
}

void StarterSoundtrack::AddKick(std::size_t first)
{
    // A sine falling from 150 Hz to 50 Hz (the phase is the integral of that
    // pitch) and a click of noise, which makes the beat easy to find.
    std::uint32_t state = 0x9e3779b9u;
    const std::size_t length = std::min(mLeft.size() - std::min(first, mLeft.size()), std::size_t(SampleRate / 3));
    for (std::size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / SampleRate;
        const double phase = 2.0 * Pi * (50.0 * t + 100.0 * 0.04 * (1.0 - std::exp(-t / 0.04)));
        const double value = 0.8 * std::exp(-t / 0.12) * std::sin(phase) + 0.3 * std::exp(-t / 0.004) * Noise(state);
        mLeft[first + i] += value;
        mRight[first + i] += value;
    }
}

void StarterSoundtrack::AddHat(std::size_t first, double loudness)
{
    // Differences of noise: the hiss without the body.
    std::uint32_t state = 0x2545f491u ^ static_cast<std::uint32_t>(first);
    double previous = 0.0;
    const std::size_t length = std::min(mLeft.size() - std::min(first, mLeft.size()), std::size_t(SampleRate / 10));
    for (std::size_t i = 0; i < length; ++i) {
        const double noise = Noise(state);
        const double value = loudness * std::exp(-static_cast<double>(i) / SampleRate / 0.02) * (noise - previous);
        previous = noise;
        mLeft[first + i] += value * 0.8;
        mRight[first + i] += value;
    }
}

void StarterSoundtrack::AddNote(std::size_t first, std::size_t length, int midiNote, double loudness, double pan)
{
    // A few harmonics, a soft attack and release; pan from -1 (left) to 1.
    const double hz = Hz(midiNote);
    const double attack = 0.01 * SampleRate;
    const double release = 0.08 * SampleRate;
    length = std::min(length, mLeft.size() - std::min(first, mLeft.size()));
    for (std::size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / SampleRate;
        const double left = static_cast<double>(length - i);
        const double envelope = std::min({1.0, i / attack, left / release}) * (0.6 + 0.4 * std::exp(-t / 0.3));
        double value = 0.0;
        for (int harmonic = 1; harmonic <= 4; ++harmonic) {
            value += std::sin(2.0 * Pi * hz * harmonic * t) / (harmonic * harmonic);
        }
        value *= loudness * envelope;
        mLeft[first + i] += value * (1.0 - 0.4 * pan);
        mRight[first + i] += value * (1.0 + 0.4 * pan);
    }
}

std::string StarterSoundtrack::WavFile() const
{
    const auto data = static_cast<std::uint32_t>(mLeft.size() * 4);
    std::string bytes = "RIFF";
    Put(bytes, 36 + data, 4);
    bytes += "WAVEfmt ";
    Put(bytes, 16, 4);
    Put(bytes, 1, 2); // PCM
    Put(bytes, 2, 2);
    Put(bytes, SampleRate, 4);
    Put(bytes, SampleRate * 4, 4);
    Put(bytes, 4, 2);
    Put(bytes, 16, 2);
    bytes += "data";
    Put(bytes, data, 4);
    bytes.reserve(bytes.size() + data);
    for (std::size_t n = 0; n < mLeft.size(); ++n) {
        for (double value : {mLeft[n], mRight[n]}) {
            // Soft-clipped, so a loud moment bends rather than wraps.
            const double clipped = std::tanh(value);
            Put(bytes, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(clipped * 32767.0))), 2);
        }
    }
    return bytes;
}
