#include "PlayTimeText.h"

#include "Halvorn/Tempo.h"

#include <algorithm>
#include <cmath>

QString PlayTimeText::Clock(double seconds)
{
    // Rounded once to whole milliseconds, so 59.9996 shows as 1:00.000.
    const long long millis = std::llround(std::max(0.0, seconds) * 1000.0);
    return QStringLiteral("%1:%2.%3")
        .arg(millis / 60000)
        .arg((millis / 1000) % 60, 2, 10, QLatin1Char('0'))
        .arg(millis % 1000, 3, 10, QLatin1Char('0'));
}

QString PlayTimeText::Bar(const Tempo& tempo, double seconds)
{
    int bar = 1;
    double beat = 1.0;
    // A hair past the grid, so a time computed from a bar shows that bar.
    tempo.BarBeatAt(seconds + 1e-9, bar, beat);
    return QStringLiteral("%1:%2").arg(bar).arg(static_cast<int>(std::floor(beat)));
}

QString PlayTimeText::Title(const QString& name, const QString& version, double seconds, const Tempo* tempo, int fps,
                            bool paused)
{
    QString title = name + QStringLiteral(" v.") + version + QStringLiteral(" - ") + Clock(seconds);
    if (tempo != nullptr) {
        title += QStringLiteral(" | bar ") + Bar(*tempo, seconds);
    }
    title += QStringLiteral(" | %1 fps").arg(fps);
    if (paused) {
        title += QStringLiteral(" | paused");
    }
    return title;
}
