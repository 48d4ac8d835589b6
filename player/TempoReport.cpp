#include "TempoReport.h"

#include "Audio/MusicAnalysis.h"
#include "Audio/SoundtrackAnalysis.h"
#include "Halvorn/Tempo.h"
#include "Halvorn/XmlElement.h"
#include "PlayTimeText.h"
#include "TempoDetection.h"
#include "TimelineBuilder.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <exception>
#include <iomanip>
#include <ostream>

namespace {

// A number with at most decimals places, without trailing zeros: 120, 127.5, 0.25.
QString Decimal(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    // Adding 0 turns a rounded -0 into 0.
    QString text = QString::number(std::round(value * scale) / scale + 0.0, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0'))) {
            text.chop(1);
        }
        if (text.endsWith(QLatin1Char('.'))) {
            text.chop(1);
        }
    }
    return text;
}

// The music a file stands for; false with the line to show.
bool MusicOf(const QString& file, QString& music, QString& error)
{
    if (!file.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive)) {
        music = file;
        return true;
    }
    Tempo tempo;
    bool hasTempo = false;
    if (!TimelineBuilder::Check(file, tempo, hasTempo, error)) {
        return false;
    }
    const QByteArray path = file.toLocal8Bit();
    XmlParseResult result;
    const XmlElement root = XmlElement::ParseFile(path.constData(), "Halvorn-demo-settings", &result);
    const char* soundtrack = root.Child("soundtrack").Attribute("file");
    if (soundtrack == nullptr) {
        error = file + QStringLiteral(": error: the file has no soundtrack element with a file attribute");
        return false;
    }
    // As the maker wrote it, from the folder the settings file was named in.
    const QString written = QString::fromUtf8(soundtrack);
    music =
        QDir::isAbsolutePath(written) ? written : QDir::cleanPath(QFileInfo(file).path() + QLatin1Char('/') + written);
    return true;
}

} // namespace

int TempoReport::Command(const QString& file, std::ostream& out, std::ostream& err)
{
    QString music;
    QString error;
    if (!MusicOf(file, music, error)) {
        err << error.toStdString() << std::endl;
        return 1;
    }
    std::shared_ptr<const MusicAnalysis> analysis;
    try {
        analysis = SoundtrackAnalysis(music.toLocal8Bit().toStdString()).Get();
    } catch (const std::exception& failure) {
        err << "analysis failed: " << failure.what() << std::endl;
        return 1;
    }
    const TempoDetection detection(analysis->Samples(), MusicAnalysis::SampleRate);

    out << music.toStdString() << ": " << std::fixed << std::setprecision(3) << analysis->Duration() << " s\n";
    const Tempo tempo(detection.Bpm(), 4, detection.FirstDownbeat());
    if (detection.HasTempo()) {
        const QString bpm = Decimal(detection.Bpm(), 2);
        const QString offset = Decimal(detection.FirstDownbeat(), 3);
        out << "tempo: " << bpm.toStdString() << " bpm\n";
        out << "first downbeat: " << PlayTimeText::Clock(detection.FirstDownbeat()).toStdString() << "\n";
        out << "<tempo bpm=\"" << bpm.toStdString() << "\" beatsPerBar=\"4\" offset=\"" << offset.toStdString()
            << "\"/>\n";
    } else {
        out << "tempo: no steady beat found\n";
    }
    const std::vector<TempoDetection::Onset> onsets = detection.Strongest(OnsetsShown);
    if (onsets.empty()) {
        out << "onsets: none found" << std::endl;
        return 0;
    }
    out << "strongest onsets (time" << (detection.HasTempo() ? ", bar:beat" : "") << ", strength):\n";
    for (const TempoDetection::Onset& onset : onsets) {
        out << "  " << PlayTimeText::Clock(onset.mSeconds).toStdString();
        if (detection.HasTempo()) {
            // Rounded to the hundredth of a beat shown, so a hair before a
            // bar line shows as that bar's first beat.
            const double beats = std::round(tempo.BeatsAt(onset.mSeconds) * 100.0) / 100.0;
            int bar = 1;
            double beat = 1.0;
            tempo.BarBeatAt(tempo.SecondsAtBeats(beats) + 1e-9, bar, beat);
            out << "  " << std::setw(8) << std::left
                << (QString::number(bar) + QLatin1Char(':') + QString::number(beat, 'f', 2)).toStdString()
                << std::right;
        }
        out << "  " << std::setprecision(2) << onset.mStrength << "\n";
    }
    out << std::flush;
    return 0;
}
