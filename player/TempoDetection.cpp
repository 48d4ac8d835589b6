#include "TempoDetection.h"

#include "Audio/WindowedFft.h"

#include <aubio/aubio.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>

namespace {

constexpr unsigned int Window = 1024;
constexpr unsigned int Hop = 512;
// Fewer beats than this give no steady grid.
constexpr std::size_t FewestBeats = 8;
constexpr double LowestBpm = 50.0;
constexpr double HighestBpm = 220.0;
// How far from a grid line an onset still counts as on it.
constexpr double MatchSeconds = 0.03;
// The attack of an onset is found to this span, and its strength is the
// growth in loudness over the next span against the one before.
constexpr double AttackSeconds = 0.005;
constexpr double LoudnessSeconds = 0.05;
// Where the music begins: the first sample louder than -50 dB.
constexpr int AudibleSample = 104;
// The chord and bass changes at a bar line are looked for below 1 kHz, in
// spectra a fiftieth of a second apart.
constexpr int ChangeBins = 48;
constexpr int ChangeFramesPerSecond = 50;
// A piece is scored in stretches this long, so that a tempo that drifts a little still fits.
constexpr double StretchSeconds = 16.0;
constexpr double TwoPi = 6.283185307179586;

struct AubioDeleter
{
    void operator()(aubio_tempo_t* tempo) const { del_aubio_tempo(tempo); }
    void operator()(aubio_onset_t* onset) const { del_aubio_onset(onset); }
    void operator()(fvec_t* vector) const { del_fvec(vector); }
};

// The onsets' agreement on where the beats of a period fall: 1 when every
// onset lies on one grid, near 0 when they lie anywhere. Scored in stretches,
// each weighed by its strength, and times the share of the grid's lines that
// hold an onset, so that double the tempo, with half its lines empty, loses.
double GridScore(const std::vector<TempoDetection::Onset>& onsets, double period, bool inStretches)
{
    double agreement = 0.0;
    double weight = 0.0;
    long lines = 0;
    long held = 0;
    std::size_t begin = 0;
    while (begin < onsets.size()) {
        std::size_t end = begin;
        double sine = 0.0;
        double cosine = 0.0;
        double strength = 0.0;
        const double until = inStretches ? onsets[begin].mSeconds + StretchSeconds : 1e300;
        for (; end < onsets.size() && onsets[end].mSeconds < until; ++end) {
            const double angle = TwoPi * onsets[end].mSeconds / period;
            sine += onsets[end].mStrength * std::sin(angle);
            cosine += onsets[end].mStrength * std::cos(angle);
            strength += onsets[end].mStrength;
        }
        agreement += std::hypot(sine, cosine);
        weight += strength;
        // The stretch's grid lines between its first and last onset.
        const double phase = std::atan2(sine, cosine) / TwoPi * period;
        const double from = onsets[begin].mSeconds;
        const double to = onsets[end - 1].mSeconds;
        std::size_t next = begin;
        for (double line = phase + std::ceil((from - MatchSeconds - phase) / period) * period;
             line <= to + MatchSeconds; line += period) {
            ++lines;
            while (next < end && onsets[next].mSeconds < line - MatchSeconds) {
                ++next;
            }
            held += next < end && onsets[next].mSeconds <= line + MatchSeconds ? 1 : 0;
        }
        begin = end;
    }
    return weight > 0.0 && lines > 0 ? agreement / weight * held / lines : 0.0;
}

// Where on the period the onsets' grid lies, in seconds from 0.
double GridPhase(const std::vector<TempoDetection::Onset>& onsets, double period)
{
    double sine = 0.0;
    double cosine = 0.0;
    for (const TempoDetection::Onset& onset : onsets) {
        sine += onset.mStrength * std::sin(TwoPi * onset.mSeconds / period);
        cosine += onset.mStrength * std::cos(TwoPi * onset.mSeconds / period);
    }
    return std::atan2(sine, cosine) / TwoPi * period;
}

} // namespace

TempoDetection::TempoDetection(const std::vector<std::int16_t>& samples, int sampleRate, int beatsPerBar)
{
    const auto rate = static_cast<unsigned int>(sampleRate);
    std::unique_ptr<aubio_tempo_t, AubioDeleter> tempo(new_aubio_tempo("default", Window, Hop, rate));
    std::unique_ptr<aubio_onset_t, AubioDeleter> onset(new_aubio_onset("default", Window, Hop, rate));
    std::unique_ptr<fvec_t, AubioDeleter> in(new_fvec(Hop));
    std::unique_ptr<fvec_t, AubioDeleter> beat(new_fvec(1));
    std::unique_ptr<fvec_t, AubioDeleter> isOnset(new_fvec(1));
    if (!tempo || !onset || !in || !beat || !isOnset) {
        return;
    }
    // A beat that falls between two clicks is still a beat.
    aubio_tempo_set_silence(tempo.get(), -1000.0f);
    // aubio takes its first hops to settle and finds nothing in them.
    const std::size_t lead = 8 * Hop;
    const double leadSeconds = static_cast<double>(lead) / sampleRate;
    unsigned int lastBeat = 0;
    std::vector<double> onsets;
    for (std::size_t at = 0; at < lead + samples.size(); at += Hop) {
        for (std::size_t i = 0; i < Hop; ++i) {
            const std::size_t n = at + i;
            in->data[i] = n >= lead && n - lead < samples.size() ? samples[n - lead] / 32768.0f : 0.0f;
        }
        aubio_tempo_do(tempo.get(), in.get(), beat.get());
        // The output holds the beat's fraction of a hop, 0 for a beat right
        // on a hop; the time of the last beat tells them all.
        if (aubio_tempo_get_last(tempo.get()) != lastBeat) {
            lastBeat = aubio_tempo_get_last(tempo.get());
            mBeats.push_back(aubio_tempo_get_last_s(tempo.get()) - leadSeconds);
        }
        aubio_onset_do(onset.get(), in.get(), isOnset.get());
        if (isOnset->data[0] != 0.0f) {
            onsets.push_back(aubio_onset_get_last_s(onset.get()) - leadSeconds);
        }
    }
    MeasureOnsets(samples, sampleRate, onsets);
    for (std::size_t n = 0; n < samples.size(); ++n) {
        if (std::abs(samples[n]) >= AudibleSample) {
            mMusicStart = static_cast<double>(n) / sampleRate;
            break;
        }
    }
    FitGrid(samples, sampleRate, beatsPerBar);
}

void TempoDetection::MeasureOnsets(const std::vector<std::int16_t>& samples, int sampleRate,
                                   const std::vector<double>& found)
{
    // aubio's onset times are those of its hops, less a fixed delay; the
    // attack itself is where the sound grows fastest, nearby.
    std::vector<double> energy(samples.size() + 1, 0.0);
    for (std::size_t n = 0; n < samples.size(); ++n) {
        energy[n + 1] = energy[n] + static_cast<double>(samples[n]) * samples[n];
    }
    const auto count = static_cast<std::int64_t>(samples.size());
    const auto sum = [&energy, count](std::int64_t from, std::int64_t to) {
        return energy[static_cast<std::size_t>(std::clamp<std::int64_t>(to, 0, count))] -
               energy[static_cast<std::size_t>(std::clamp<std::int64_t>(from, 0, count))];
    };
    const auto attack = static_cast<std::int64_t>(AttackSeconds * sampleRate);
    const auto reach = static_cast<std::int64_t>(MatchSeconds * 1.5 * sampleRate);
    const auto loudness = static_cast<std::int64_t>(LoudnessSeconds * sampleRate);
    double strongest = 0.0;
    for (const double seconds : found) {
        const auto near = static_cast<std::int64_t>(std::llround(seconds * sampleRate));
        std::int64_t at = near;
        double rise = -1.0;
        for (std::int64_t n = std::max<std::int64_t>(near - reach, 0); n <= std::min(near + reach, count); ++n) {
            const double growth = sum(n, n + attack) - sum(n - attack, n);
            if (growth > rise) {
                rise = growth;
                at = n;
            }
        }
        const double strength =
            std::max(0.0, std::sqrt(sum(at, at + loudness) / loudness) - std::sqrt(sum(at - loudness, at) / loudness)) /
            32768.0;
        const double time = static_cast<double>(at) / sampleRate;
        // Two of aubio's onsets on one attack count once.
        if (!mOnsets.empty() && time - mOnsets.back().mSeconds < AttackSeconds) {
            mOnsets.back().mStrength = std::max(mOnsets.back().mStrength, strength);
        } else {
            mOnsets.push_back({time, strength});
        }
        strongest = std::max(strongest, strength);
    }
    for (Onset& each : mOnsets) {
        each.mStrength = strongest > 0.0 ? each.mStrength / strongest : 0.0;
    }
}

void TempoDetection::FitGrid(const std::vector<std::int16_t>& samples, int sampleRate, int beatsPerBar)
{
    if (mBeats.size() < FewestBeats || mOnsets.size() < FewestBeats) {
        return;
    }
    // aubio's own tempo: its beats' usual gap.
    std::vector<double> gaps;
    for (std::size_t i = 1; i < mBeats.size(); ++i) {
        gaps.push_back(mBeats[i] - mBeats[i - 1]);
    }
    std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
    const double aubioBpm = 60.0 / gaps[gaps.size() / 2];

    // aubio places its beats on its hops and may settle on half or double the
    // tempo; the onsets, taken from the whole piece, say which grid fits.
    double best = 0.0;
    double bestScore = 0.0;
    std::vector<std::pair<double, double>> scores;
    for (double bpm = LowestBpm; bpm <= HighestBpm; bpm += 0.1) {
        const double score = GridScore(mOnsets, 60.0 / bpm, true);
        scores.emplace_back(bpm, score);
        if (score > bestScore) {
            bestScore = score;
            best = bpm;
        }
    }
    if (!(bestScore > 0.0)) {
        return;
    }
    // Among grids that fit nearly as well (a half or double tempo often
    // does), the one nearest to aubio's.
    for (const auto& [bpm, score] : scores) {
        const bool peak = score >= 0.9 * bestScore;
        if (peak && std::fabs(std::log(bpm / aubioBpm)) < std::fabs(std::log(best / aubioBpm)) - 0.1) {
            best = bpm;
        }
    }
    // Then finely, over the whole piece at once.
    double fine = best;
    double fineScore = 0.0;
    for (double bpm = best - 0.15; bpm <= best + 0.15; bpm += 0.001) {
        const double score = GridScore(mOnsets, 60.0 / bpm, false);
        if (score > fineScore) {
            fineScore = score;
            fine = bpm;
        }
    }
    // As it will be written: two decimals.
    mBpm = std::round(fine * 100.0) / 100.0;
    const double beat = 60.0 / mBpm;
    double phase = GridPhase(mOnsets, beat);
    // The mean sets the grid; the onsets on it then place it, by their
    // median, which a few attacks measured late or early do not move.
    std::vector<double> offsets;
    for (const Onset& onset : mOnsets) {
        const double off = onset.mSeconds - phase - std::round((onset.mSeconds - phase) / beat) * beat;
        if (std::fabs(off) < MatchSeconds) {
            offsets.push_back(off);
        }
    }
    if (!offsets.empty()) {
        std::nth_element(offsets.begin(), offsets.begin() + offsets.size() / 2, offsets.end());
        phase += offsets[offsets.size() / 2];
    }

    const auto downbeat = static_cast<double>(DownbeatPlace(samples, sampleRate, beatsPerBar, phase, beat));
    // The first one where the music has begun.
    const double bar = beat * beatsPerBar;
    const double first = phase + downbeat * beat;
    mFirstDownbeat = first + std::ceil((mMusicStart - MatchSeconds - first) / bar) * bar;
    mHasTempo = true;
}

int TempoDetection::DownbeatPlace(const std::vector<std::int16_t>& samples, int sampleRate, int beatsPerBar,
                                  double phase, double beat) const
{
    // Two signs of a bar's first beat, each as how far a place in the bar
    // stands out from the others: a stronger onset, as a click track
    // accents it, and a change below 1 kHz, where music changes its chord
    // and bass at the bar line while every beat has the same kick.
    const auto places = static_cast<std::size_t>(beatsPerBar);
    std::vector<double> onsets(places, 0.0);
    for (const Onset& onset : mOnsets) {
        const double number = std::round((onset.mSeconds - phase) / beat);
        if (std::fabs(onset.mSeconds - phase - number * beat) < MatchSeconds) {
            const long place = static_cast<long>(number) % beatsPerBar;
            onsets[static_cast<std::size_t>((place + beatsPerBar) % beatsPerBar)] += onset.mStrength;
        }
    }

    // Low-band spectra on a fixed hop, summed from the start, so that the
    // mean over any stretch is a difference.
    const int hop = sampleRate / ChangeFramesPerSecond;
    const auto frames = static_cast<std::int64_t>(samples.size()) / hop + 1;
    std::vector<double> sums(static_cast<std::size_t>(frames + 1) * ChangeBins, 0.0);
    WindowedFft fft(WindowedFft::Shape::Hann);
    std::vector<float> magnitudes(WindowedFft::Bins);
    for (std::int64_t frame = 0; frame < frames; ++frame) {
        fft.Magnitudes(samples.data(), static_cast<std::int64_t>(samples.size()), frame * hop + WindowedFft::Size / 2,
                       magnitudes.data());
        for (int k = 0; k < ChangeBins; ++k) {
            sums[(frame + 1) * ChangeBins + k] = sums[frame * ChangeBins + k] + std::log1p(100.0 * magnitudes[k]);
        }
    }
    const auto frameAt = [&](double seconds) {
        return std::clamp<std::int64_t>(static_cast<std::int64_t>(std::llround(seconds * ChangeFramesPerSecond)), 0,
                                        frames);
    };
    std::vector<double> changes(places, 0.0);
    for (double line = phase + std::ceil((beat - phase) / beat) * beat;
         line + beat < static_cast<double>(samples.size()) / sampleRate; line += beat) {
        const std::int64_t before = frameAt(line - beat);
        const std::int64_t at = frameAt(line + MatchSeconds);
        const std::int64_t after = frameAt(line + beat);
        if (at <= before || after <= at) {
            continue;
        }
        double difference = 0.0;
        double total = 0.0;
        for (int k = 0; k < ChangeBins; ++k) {
            const double early = (sums[at * ChangeBins + k] - sums[before * ChangeBins + k]) / (at - before);
            const double late = (sums[after * ChangeBins + k] - sums[at * ChangeBins + k]) / (after - at);
            difference += std::fabs(late - early);
            total += late + early;
        }
        const long place = std::lround((line - phase) / beat) % beatsPerBar;
        changes[static_cast<std::size_t>(place)] += total > 0.0 ? difference / total : 0.0;
    }

    const auto standOut = [places](const std::vector<double>& values, std::size_t place) {
        const double mean = std::accumulate(values.begin(), values.end(), 0.0) / places;
        return mean > 0.0 ? values[place] / mean - 1.0 : 0.0;
    };
    std::size_t best = 0;
    double bestScore = -1e300;
    for (std::size_t place = 0; place < places; ++place) {
        const double score = standOut(onsets, place) + standOut(changes, place);
        if (score > bestScore) {
            bestScore = score;
            best = place;
        }
    }
    return static_cast<int>(best);
}

std::vector<TempoDetection::Onset> TempoDetection::Strongest(std::size_t count) const
{
    std::vector<Onset> strongest = mOnsets;
    std::stable_sort(strongest.begin(), strongest.end(),
                     [](const Onset& a, const Onset& b) { return a.mStrength > b.mStrength; });
    strongest.resize(std::min(count, strongest.size()));
    std::sort(strongest.begin(), strongest.end(),
              [](const Onset& a, const Onset& b) { return a.mSeconds < b.mSeconds; });
    return strongest;
}
