#include "audio.h"

#include "wav_reader.h"

#include <algorithm>

namespace orvane::speech {

void trimSilence(Audio& audio, int leadMs, int tailMs) {
    constexpr int kThreshold = 100;  // of 32767: about -50 dBFS
    auto& s = audio.samples;
    const auto audible = [](std::int16_t v) { return v > kThreshold || v < -kThreshold; };
    const auto first = std::find_if(s.begin(), s.end(), audible);
    if (first == s.end()) {
        s.clear();
        return;
    }
    const auto last = std::find_if(s.rbegin(), s.rend(), audible).base();  // one past
    const auto keepLead = std::ptrdiff_t(audio.sampleRate) * leadMs / 1000;
    const auto keepTail = std::ptrdiff_t(audio.sampleRate) * tailMs / 1000;
    const auto end = std::min(s.end(), last + std::min(keepTail, s.end() - last));
    const auto begin = first - std::min(keepLead, first - s.begin());
    s.erase(end, s.end());
    s.erase(s.begin(), begin);
}

std::optional<Audio> parseWav(const QByteArray& bytes) {
    const auto pcm = readWavPcm(bytes);
    if (!pcm) {
        return std::nullopt;
    }
    Audio audio;
    audio.sampleRate = pcm->sampleRate;
    const qsizetype frames = pcm->frames();
    audio.samples.reserve(std::size_t(frames));
    for (qsizetype i = 0; i < frames; ++i) {
        audio.samples.push_back(pcm->mixed16(i));
    }
    return audio;
}

}  // namespace orvane::speech
