#include "virtual_sound.h"
#include "wav_reader.h"

#include <QFile>

#include <cmath>

namespace orvane::testing {

std::optional<WavStats> measureWav(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = f.readAll();
    const auto pcm = speech::readWavPcm(bytes);
    if (!pcm) {
        return std::nullopt;
    }
    const qsizetype frames = pcm->frames();
    WavStats stats;
    stats.sampleRate = pcm->sampleRate;
    stats.channels = pcm->channels;
    stats.seconds = pcm->seconds();

    const qsizetype window = std::max<qsizetype>(1, pcm->sampleRate / 100);
    double total = 0, windowSum = 0;
    qsizetype inWindow = 0, audibleWindows = 0;
    for (qsizetype i = 0; i < frames; ++i) {
        double mixed = 0;
        for (int c = 0; c < pcm->channels; ++c) {
            mixed += pcm->sample(i, c);
        }
        mixed /= pcm->channels;
        stats.peak = std::max(stats.peak, std::abs(mixed));
        total += mixed * mixed;
        windowSum += mixed * mixed;
        if (++inWindow == window) {
            if (std::sqrt(windowSum / window) > 0.01) {
                ++audibleWindows;
            }
            windowSum = 0;
            inWindow = 0;
        }
    }
    stats.rms = frames ? std::sqrt(total / frames) : 0;
    stats.audibleSeconds = double(audibleWindows * window) / pcm->sampleRate;
    return stats;
}

}  // namespace orvane::testing
