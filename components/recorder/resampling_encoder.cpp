#include "resampling_encoder.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <vector>

namespace orvane::recorder {

namespace {

struct SwrDeleter {
    void operator()(SwrContext* s) const { swr_free(&s); }
};

class ResamplingEncoder final : public Encoder {
  public:
    ResamplingEncoder(std::unique_ptr<Encoder> inner, SwrContext* swr, int channels, int inputRate,
                      int outputRate)
        : inner_(std::move(inner)),
          swr_(swr),
          channels_(channels),
          inputRate_(inputRate),
          outputRate_(outputRate) {}

    Expected<void> write(std::span<const std::int16_t> samples) override {
        const int frames = static_cast<int>(samples.size() / static_cast<std::size_t>(channels_));
        const auto* in = reinterpret_cast<const std::uint8_t*>(samples.data());
        return convert(&in, frames);
    }

    Expected<void> finish() override {
        // Drain what the filter still holds, then let the inner encoder finish.
        if (auto drained = convert(nullptr, 0); !drained) {
            return drained;
        }
        return inner_->finish();
    }

    std::string description() const override {
        return inner_->description() + " (converted from " + std::to_string(inputRate_) + " Hz)";
    }

  private:
    Expected<void> convert(const std::uint8_t** in, int frames) {
        const int room = swr_get_out_samples(swr_.get(), frames);
        if (room < 0) {
            return failure(FailureKind::Internal, "sampling rate conversion failed");
        }
        out_.resize(static_cast<std::size_t>(room + 1) * static_cast<std::size_t>(channels_));
        auto* out = reinterpret_cast<std::uint8_t*>(out_.data());
        const int produced = swr_convert(swr_.get(), &out, room + 1, in, frames);
        if (produced < 0) {
            return failure(FailureKind::Internal, "sampling rate conversion failed");
        }
        return inner_->write(std::span<const std::int16_t>(
            out_.data(), static_cast<std::size_t>(produced) * static_cast<std::size_t>(channels_)));
    }

    std::unique_ptr<Encoder> inner_;
    std::unique_ptr<SwrContext, SwrDeleter> swr_;
    int channels_;
    int inputRate_;
    int outputRate_;
    std::vector<std::int16_t> out_;
};

}  // namespace

Expected<std::unique_ptr<Encoder>> withResampling(std::unique_ptr<Encoder> inner, int channels,
                                                  int inputRate, int outputRate) {
    if (inputRate == outputRate) {
        return inner;
    }
    AVChannelLayout layout{};
    av_channel_layout_default(&layout, channels);
    SwrContext* swr = nullptr;
    const int allocated = swr_alloc_set_opts2(&swr, &layout, AV_SAMPLE_FMT_S16, outputRate, &layout,
                                              AV_SAMPLE_FMT_S16, inputRate, 0, nullptr);
    av_channel_layout_uninit(&layout);
    if (allocated < 0 || swr == nullptr || swr_init(swr) < 0) {
        swr_free(&swr);
        return failure(FailureKind::Internal, "cannot convert " + std::to_string(inputRate) +
                                                  " Hz to " + std::to_string(outputRate) + " Hz");
    }
    return std::unique_ptr<Encoder>(std::make_unique<ResamplingEncoder>(
        std::move(inner), swr, channels, inputRate, outputRate));
}

}  // namespace orvane::recorder
