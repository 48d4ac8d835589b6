#include "Halvorn/Tempo.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>

Tempo::Tempo(double bpm, int beatsPerBar, double offset)
    : mBpm(bpm)
    , mBeatsPerBar(beatsPerBar)
    , mOffset(offset)
{
}

bool Tempo::IsValid() const
{
    // A bpm too small for a bar to have a finite length is no grid either.
    return std::isfinite(mBpm) && mBpm > 0.0 && mBeatsPerBar >= 1 && std::isfinite(mOffset) &&
           std::isfinite(SecondsPerBar());
}

double Tempo::SecondsPerBeat() const
{
    return 60.0 / mBpm;
}

double Tempo::SecondsPerBar() const
{
    return SecondsPerBeat() * mBeatsPerBar;
}

double Tempo::BeatsAt(double seconds) const
{
    return (seconds - mOffset) / SecondsPerBeat();
}

double Tempo::SecondsAtBeats(double beats) const
{
    return mOffset + beats * SecondsPerBeat();
}

double Tempo::SecondsAt(int bar, double beat) const
{
    return SecondsAtBeats(static_cast<double>(bar - 1) * mBeatsPerBar + (beat - 1.0));
}

void Tempo::BarBeatAt(double seconds, int& bar, double& beat) const
{
    const double beats = BeatsAt(seconds);
    const double bars = std::floor(beats / mBeatsPerBar);
    // A very fast tempo counts more bars than an int holds.
    const double limit = static_cast<double>(std::numeric_limits<int>::max() - 1);
    bar = static_cast<int>(std::clamp(std::isnan(bars) ? 0.0 : bars, -limit, limit)) + 1;
    beat = beats - bars * mBeatsPerBar + 1.0;
}

double Tempo::BarStartAt(double seconds) const
{
    const double bars = std::floor(BeatsAt(seconds) / mBeatsPerBar);
    return SecondsAtBeats(bars * mBeatsPerBar);
}

bool ParseTime(const QString& text, const Tempo* tempo, double& seconds, QString& error)
{
    const QString trimmed = text.trimmed();
    if (trimmed.contains(QLatin1Char(':'))) {
        if (tempo == nullptr || !tempo->IsValid()) {
            error = QStringLiteral("BAR:BEAT needs a tempo in the settings file");
            return false;
        }
        const QStringList fields = trimmed.split(QLatin1Char(':'));
        bool barOk = false;
        bool beatOk = false;
        const int bar = fields.size() == 2 ? fields[0].toInt(&barOk) : 0;
        const double beat = fields.size() == 2 ? fields[1].toDouble(&beatOk) : 0.0;
        if (!barOk || !beatOk || bar < 1 || !(beat >= 1.0) || !(beat < tempo->mBeatsPerBar + 1.0)) {
            error = QStringLiteral("expected BAR:BEAT with bar from 1 and beat from 1 to %1").arg(tempo->mBeatsPerBar);
            return false;
        }
        seconds = tempo->SecondsAt(bar, beat);
        return true;
    }
    bool ok = false;
    const double value = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0.0) {
        error = tempo != nullptr && tempo->IsValid() ? QStringLiteral("expected seconds (12.5) or BAR:BEAT (9:1)")
                                                     : QStringLiteral("expected seconds (12.5)");
        return false;
    }
    seconds = value;
    return true;
}
