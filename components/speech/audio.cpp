#include "audio.h"

#include "wav_reader.h"

#include <algorithm>
#include <cmath>

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

Audio makeTone(int hertz, int milliseconds, int sampleRate) {
    Audio tone;
    tone.sampleRate = sampleRate;
    const auto frames = std::size_t(std::max(0, milliseconds)) * sampleRate / 1000;
    const double fadeFrames = std::max(1.0, std::min(frames / 2.0, sampleRate * 0.005));
    tone.samples.resize(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double fade = std::min({1.0, (i + 1) / fadeFrames, (frames - i) / fadeFrames});
        tone.samples[i] =
            std::int16_t(16383.0 * fade * std::sin(2 * M_PI * hertz * double(i) / sampleRate));
    }
    return tone;
}

Audio resampled(const Audio& audio, int sampleRate) {
    if (audio.sampleRate == sampleRate || audio.sampleRate <= 0 || sampleRate <= 0) {
        return audio;
    }
    Audio out;
    out.sampleRate = sampleRate;
    const auto& in = audio.samples;
    if (in.empty()) {
        return out;
    }
    const auto frames = std::size_t(double(in.size()) * sampleRate / audio.sampleRate + 0.5);
    out.samples.resize(frames);
    const double step = double(audio.sampleRate) / sampleRate;
    for (std::size_t i = 0; i < frames; ++i) {
        const double at = i * step;
        const auto left = std::min(std::size_t(at), in.size() - 1);
        const auto right = std::min(left + 1, in.size() - 1);
        const double weight = at - double(left);
        out.samples[i] = std::int16_t(std::lround(in[left] * (1 - weight) + in[right] * weight));
    }
    return out;
}

}  // namespace orvane::speech
