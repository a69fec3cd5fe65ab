#pragma once

#include "engine.h"
#include "kana_reader.h"

#include <memory>

namespace orvane::speech {

// The fallback engine where no HTS voice is installed: the text is read into
// hiragana (KanaReader, MeCab with naist-jdic) and spoken by libespeak-ng's Japanese
// voice. libespeak-ng keeps global state: create one EspeakEngine per process.
class EspeakEngine final : public Engine {
  public:
    // Fails with the reason when MeCab's dictionary or espeak-ng's Japanese voice is
    // missing.
    static Expected<std::unique_ptr<EspeakEngine>> create();
    ~EspeakEngine() override;

    QString name() const override { return QStringLiteral("espeak"); }
    QString voiceDescription() const override {
        return QStringLiteral("espeak-ng ja (kana from MeCab naist-jdic)");
    }
    Synthesis synthesize(const QString& text, const VoiceSettings& voice) override;

    KanaReader& reader() { return *reader_; }

  private:
    EspeakEngine(std::unique_ptr<KanaReader> reader, int sampleRate)
        : reader_(std::move(reader)), sampleRate_(sampleRate) {}

    std::unique_ptr<KanaReader> reader_;
    int sampleRate_;
};

}  // namespace orvane::speech
