#pragma once

#include "audio.h"
#include "engine.h"

#include <QString>

#include <cstddef>
#include <list>
#include <optional>

namespace orvane::speech {

// The audio of recently spoken pieces, so that the prompts a program repeats all
// day ("メールを削除しました") are heard at once. Least recently used pieces go first
// once the audio held passes `capacityBytes`; a capacity of 0 keeps nothing.
// Not thread-safe: the synthesis thread alone uses it.
class SynthesisCache {
  public:
    explicit SynthesisCache(std::size_t capacityBytes) : capacity_(capacityBytes) {}

    std::optional<Audio> find(const QString& text, const VoiceSettings& voice);
    void insert(const QString& text, const VoiceSettings& voice, const Audio& audio);
    std::size_t bytes() const { return bytes_; }

  private:
    struct Entry {
        QString text;
        VoiceSettings voice;
        Audio audio;
    };
    static std::size_t sizeOf(const Audio& a) { return a.samples.size() * sizeof(std::int16_t); }

    std::size_t capacity_;
    std::size_t bytes_ = 0;
    std::list<Entry> entries_;  // most recently used first
};

}  // namespace orvane::speech
