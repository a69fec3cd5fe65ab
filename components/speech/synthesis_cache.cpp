#include "synthesis_cache.h"

namespace orvane::speech {

std::optional<Audio> SynthesisCache::find(const QString& text, const VoiceSettings& voice) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->text == text && it->voice == voice) {
            entries_.splice(entries_.begin(), entries_, it);
            return entries_.front().audio;
        }
    }
    return std::nullopt;
}

void SynthesisCache::insert(const QString& text, const VoiceSettings& voice, const Audio& audio) {
    const std::size_t size = sizeOf(audio);
    if (size == 0 || size > capacity_ / 4) {
        return;  // long texts are rarely repeated; keep room for many prompts
    }
    entries_.push_front({text, voice, audio});
    bytes_ += size;
    while (bytes_ > capacity_ && !entries_.empty()) {
        bytes_ -= sizeOf(entries_.back().audio);
        entries_.pop_back();
    }
}

}  // namespace orvane::speech
