#include "espeak_engine.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <mutex>

namespace orvane::speech {
namespace {

// libespeak-ng is one synthesiser per process: initialised once, never torn down,
// and used by one thread at a time.
std::mutex& espeakMutex() {
    static std::mutex m;
    return m;
}

struct EspeakState {
    int sampleRate = 0;  // 0: not usable
    QString error;
};

const EspeakState& espeakState() {
    static const EspeakState state = [] {
        EspeakState s;
        const int rate =
            espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 200, nullptr, espeakINITIALIZE_DONT_EXIT);
        if (rate <= 0) {
            s.error = QStringLiteral("espeak-ng cannot start (package espeak-ng-data)");
            return s;
        }
        if (espeak_SetVoiceByName("ja") != EE_OK) {
            s.error = QStringLiteral("espeak-ng has no Japanese voice");
            return s;
        }
        espeak_SetSynthCallback([](short* wav, int count, espeak_EVENT* events) -> int {
            if (wav && count > 0 && events && events->user_data) {
                auto* samples = static_cast<std::vector<std::int16_t>*>(events->user_data);
                samples->insert(samples->end(), wav, wav + count);
            }
            return 0;  // go on
        });
        s.sampleRate = rate;
        return s;
    }();
    return state;
}

}  // namespace

Expected<std::unique_ptr<EspeakEngine>> EspeakEngine::create() {
    auto reader = KanaReader::create();
    if (!reader) {
        return reader.failure();
    }
    std::lock_guard lock(espeakMutex());
    const EspeakState& state = espeakState();
    if (state.sampleRate <= 0) {
        return fail(FailureKind::NotFound, state.error);
    }
    return std::unique_ptr<EspeakEngine>(
        new EspeakEngine(std::move(reader).value(), state.sampleRate));
}

EspeakEngine::~EspeakEngine() = default;

Synthesis EspeakEngine::synthesize(const QString& text, const VoiceSettings& voice) {
    const QString kana = reader_->toKana(text);
    Audio audio;
    audio.sampleRate = sampleRate_;
    if (kana.isEmpty()) {
        return audio;
    }
    const QByteArray utf8 = kana.toUtf8();
    std::lock_guard lock(espeakMutex());
    espeak_SetParameter(espeakRATE, std::clamp(int(175 * voice.speed), 80, 450), 0);
    espeak_SetParameter(espeakPITCH, std::clamp(int(50 + 3 * voice.pitch), 0, 100), 0);
    espeak_SetParameter(espeakVOLUME, std::clamp(int(100 * voice.volume), 0, 200), 0);
    const espeak_ERROR result =
        espeak_Synth(utf8.constData(), std::size_t(utf8.size()) + 1, 0, POS_CHARACTER, 0,
                     espeakCHARS_UTF8, nullptr, &audio.samples);
    if (result != EE_OK) {
        return fail(
            FailureKind::Internal,
            QStringLiteral("espeak-ng failed on \"%1\" (error %2)").arg(kana).arg(int(result)));
    }
    return audio;
}

}  // namespace orvane::speech
