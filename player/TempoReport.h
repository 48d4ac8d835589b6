#pragma once

#include <QString>

#include <iosfwd>

// vexel-player --analyze: the tempo, the first downbeat and a tempo element
// to paste for a soundtrack, given as a settings file (its soundtrack) or as
// the music file itself, then the piece's strongest onsets.
class TempoReport
{
public:
    // The report on out; errors on err. 0 when the music was read, 1 when not.
    static int Command(const QString& file, std::ostream& out, std::ostream& err);

    // Onsets listed.
    static constexpr int OnsetsShown = 12;
};
