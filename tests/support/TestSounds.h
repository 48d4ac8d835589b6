#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace VexelTest {

// Sounds the music tests generate: 16-bit samples, and WAV files of them.
using Samples = std::vector<std::int16_t>;

inline std::int16_t SampleOf(double value)
{
    return static_cast<std::int16_t>(std::lround(std::fmax(-1.0, std::fmin(value, 32767.0 / 32768.0)) * 32768.0));
}

// A sine over [from, to) seconds of a track of length seconds (silence elsewhere).
inline void AddTone(Samples& samples, int rate, double hz, double amplitude, double from, double to)
{
    const double pi = std::acos(-1.0);
    for (auto n = static_cast<std::size_t>(std::ceil(from * rate)); n < samples.size() && n < to * rate; ++n) {
        samples[n] = SampleOf(samples[n] / 32768.0 + amplitude * std::sin(2.0 * pi * hz * n / rate));
    }
}

// A metronome: a 30 ms decaying tone on every beat from offset on, the
// first beat of each bar louder and higher, as makers' click tracks are.
inline Samples ClickTrack(double bpm, int beatsPerBar, double offset, double seconds, int rate = 44100)
{
    Samples samples(static_cast<std::size_t>(seconds * rate), 0);
    const double pi = std::acos(-1.0);
    for (long beat = 0;; ++beat) {
        const double at = offset + beat * 60.0 / bpm;
        if (at >= seconds) {
            break;
        }
        const bool downbeat = beat % beatsPerBar == 0;
        const double hz = downbeat ? 1600.0 : 1000.0;
        const double amplitude = downbeat ? 0.9 : 0.45;
        const auto first = static_cast<std::size_t>(std::llround(at * rate));
        for (std::size_t n = first; n < samples.size() && n < first + rate * 3 / 100; ++n) {
            const double t = static_cast<double>(n - first) / rate;
            samples[n] = SampleOf(amplitude * std::exp(-t / 0.008) * std::sin(2.0 * pi * hz * t));
        }
    }
    return samples;
}

// A 16-bit PCM WAV file's bytes; interleaved holds channels samples a frame.
inline std::string WavBytes(const Samples& interleaved, int channels, int rate)
{
    std::string bytes;
    const auto put = [&bytes](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i) {
            bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
        }
    };
    const auto data = static_cast<std::uint32_t>(interleaved.size() * 2);
    bytes += "RIFF";
    put(36 + data, 4);
    bytes += "WAVEfmt ";
    put(16, 4);
    put(1, 2);
    put(static_cast<std::uint32_t>(channels), 2);
    put(static_cast<std::uint32_t>(rate), 4);
    put(static_cast<std::uint32_t>(rate * channels * 2), 4);
    put(static_cast<std::uint32_t>(channels * 2), 2);
    put(16, 2);
    bytes += "data";
    put(data, 4);
    for (std::int16_t sample : interleaved) {
        put(static_cast<std::uint16_t>(sample), 2);
    }
    return bytes;
}

} // namespace VexelTest
