#pragma once

#include <QString>

class Tempo;

// The texts the player shows for times: the clock, the bar and the title.
class PlayTimeText
{
public:
    // "M:SS.mmm", minutes unbounded.
    static QString Clock(double seconds);
    // "BAR:BEAT" with whole beats, both from 1 (bar 0 and below before the first bar).
    static QString Bar(const Tempo& tempo, double seconds);
    // "<name> v.<version> - 0:12.345 | bar 9:1 | 60 fps" and " | paused";
    // tempo null for none.
    static QString Title(const QString& name, const QString& version, double seconds, const Tempo* tempo, int fps,
                         bool paused);
};
