#include "encoder_factory.h"

#include "lame_encoder.h"
#include "wav_encoder.h"
#include "wma_encoder.h"

namespace orvane::recorder {

Expected<std::unique_ptr<Encoder>> openEncoder(const EncoderSettings& settings,
                                               const AudioFormat& input, const std::string& path) {
    switch (settings.format) {
        case OutputFormat::Wav:
            return openWavEncoder(input, path);
        case OutputFormat::Wma:
            return openWmaEncoder(settings, input, path);
        case OutputFormat::Mp3:
            break;
    }
    return openLameEncoder(settings, input, path);
}

}  // namespace orvane::recorder
