#include "wav_encoder.h"

#include <sndfile.h>

namespace orvane::recorder {

namespace {

class WavEncoder final : public Encoder {
  public:
    WavEncoder(SNDFILE* file, AudioFormat input, std::string path)
        : file_(file), input_(input), path_(std::move(path)) {}
    ~WavEncoder() override {
        if (file_ != nullptr) {
            sf_close(file_);
        }
    }
    WavEncoder(const WavEncoder&) = delete;
    WavEncoder& operator=(const WavEncoder&) = delete;

    Expected<void> write(std::span<const std::int16_t> samples) override {
        const auto frames =
            static_cast<sf_count_t>(samples.size() / static_cast<std::size_t>(input_.channels));
        if (sf_writef_short(file_, samples.data(), frames) != frames) {
            return failure(FailureKind::Disk,
                           "cannot write \"" + path_ + "\": " + sf_strerror(file_));
        }
        return success();
    }

    Expected<void> finish() override {
        // Closing writes the final chunk sizes into the header.
        const int closed = sf_close(file_);
        file_ = nullptr;
        if (closed != 0) {
            return failure(FailureKind::Disk,
                           "cannot write \"" + path_ + "\": " + sf_error_number(closed));
        }
        return success();
    }

    std::string description() const override { return "PCM WAV, " + describe(input_); }

  private:
    SNDFILE* file_;
    AudioFormat input_;
    std::string path_;
};

}  // namespace

Expected<std::unique_ptr<Encoder>> openWavEncoder(const AudioFormat& input,
                                                  const std::string& path) {
    SF_INFO info{};
    info.samplerate = input.sampleRate;
    info.channels = input.channels;
    info.format = SF_FORMAT_WAV | (input.bitsPerSample == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        return failure(FailureKind::Disk, "cannot write \"" + path + "\": " + sf_strerror(nullptr));
    }
    return std::unique_ptr<Encoder>(std::make_unique<WavEncoder>(file, input, path));
}

}  // namespace orvane::recorder
