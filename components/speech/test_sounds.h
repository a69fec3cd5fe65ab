#pragma once
// Sounds made and measured by the speech tests.

#include "audio.h"

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

namespace orvane::speech::test {

// Writes `path` with sox from a synth effect chain, for example
// {"synth", "1", "sine", "440"}; sox picks the format from the file name.
// Returns sox's complaint, empty on success.
inline QString writeWithSox(const QString& path, int rate, int channels,
                            const QStringList& effects) {
    if (QStandardPaths::findExecutable("sox").isEmpty()) {
        return QStringLiteral("sox is not installed");
    }
    QProcess sox;
    QStringList args{"-n", "-r", QString::number(rate), "-c", QString::number(channels)};
    if (path.endsWith(".mp3")) {
        args << "-C"
             << "32";  // 32 kbps, as the recorder's voice mails
    }
    args << path << effects;
    sox.start("sox", args);
    if (!sox.waitForFinished(60000) || sox.exitCode() != 0) {
        return QString::fromLocal8Bit(sox.readAllStandardError());
    }
    return {};
}

// The pieces of one rate joined into one Audio (the clip as the sink got it).
inline Audio joined(const std::vector<Audio>& pieces) {
    Audio all;
    for (const Audio& a : pieces) {
        all.sampleRate = a.sampleRate;
        all.samples.insert(all.samples.end(), a.samples.begin(), a.samples.end());
    }
    return all;
}

// The stretch from the first to the last sample above 5 % of full scale.
inline std::pair<std::size_t, std::size_t> audibleSpan(const Audio& audio) {
    constexpr int kLevel = 1638;
    const auto& s = audio.samples;
    const auto loud = [](std::int16_t v) { return std::abs(int(v)) > kLevel; };
    const auto first = std::find_if(s.begin(), s.end(), loud);
    const auto last = std::find_if(s.rbegin(), s.rend(), loud).base();
    return first < last ? std::pair(std::size_t(first - s.begin()), std::size_t(last - s.begin()))
                        : std::pair(std::size_t(0), std::size_t(0));
}

inline double audibleSeconds(const Audio& audio) {
    const auto [begin, end] = audibleSpan(audio);
    return audio.sampleRate > 0 ? double(end - begin) / audio.sampleRate : 0;
}

// The frequency of a plain tone over its audible stretch, counting full swings
// through -5 % .. +5 % of full scale (so that coding noise near zero is not counted).
inline double pitchOf(const Audio& audio) {
    constexpr int kLevel = 1638;
    const auto [begin, end] = audibleSpan(audio);
    int cycles = 0;
    bool wentLow = false;
    std::size_t firstRise = 0, lastRise = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const int v = audio.samples[i];
        if (v < -kLevel) {
            wentLow = true;
        } else if (v > kLevel && wentLow) {
            wentLow = false;
            if (cycles++ == 0) {
                firstRise = i;
            }
            lastRise = i;
        }
    }
    return cycles > 1 ? (cycles - 1) * double(audio.sampleRate) / double(lastRise - firstRise) : 0;
}

// The largest sample magnitude, 0..1.
inline double peakOf(const Audio& audio) {
    int peak = 0;
    for (std::int16_t s : audio.samples) {
        peak = std::max(peak, std::abs(int(s)));
    }
    return peak / 32768.0;
}

}  // namespace orvane::speech::test
