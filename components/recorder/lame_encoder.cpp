#include "lame_encoder.h"

#include <lame/lame.h>

#include <cstdio>
#include <vector>

namespace orvane::recorder {

namespace {

class LameEncoder final : public Encoder {
  public:
    LameEncoder(lame_global_flags* lame, std::FILE* file, AudioFormat input, std::string path,
                int askedKbps)
        : lame_(lame), file_(file), input_(input), path_(std::move(path)), askedKbps_(askedKbps) {}
    ~LameEncoder() override {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
        lame_close(lame_);
    }
    LameEncoder(const LameEncoder&) = delete;
    LameEncoder& operator=(const LameEncoder&) = delete;

    Expected<void> write(std::span<const std::int16_t> samples) override {
        const int frames =
            static_cast<int>(samples.size() / static_cast<std::size_t>(input_.channels));
        // LAME's worst case: 1.25 * samples + 7200 bytes.
        buffer_.resize(static_cast<std::size_t>(frames) * 5 / 4 + 7200);
        // LAME reads the samples only; its interface predates const.
        auto* pcm = const_cast<short*>(samples.data());
        const int bytes = input_.channels == 1
                              ? lame_encode_buffer(lame_, pcm, pcm, frames, buffer_.data(),
                                                   static_cast<int>(buffer_.size()))
                              : lame_encode_buffer_interleaved(lame_, pcm, frames, buffer_.data(),
                                                               static_cast<int>(buffer_.size()));
        return put(bytes);
    }

    Expected<void> finish() override {
        buffer_.resize(7200);
        if (auto flushed =
                put(lame_encode_flush(lame_, buffer_.data(), static_cast<int>(buffer_.size())));
            !flushed) {
            return flushed;
        }
        // The info frame replaces the placeholder LAME wrote as the first frame.
        std::vector<unsigned char> tag(2880);
        const auto tagBytes = lame_get_lametag_frame(lame_, tag.data(), tag.size());
        if (tagBytes > 0 && tagBytes <= tag.size()) {
            if (std::fseek(file_, 0, SEEK_SET) != 0 ||
                std::fwrite(tag.data(), 1, tagBytes, file_) != tagBytes) {
                return writeError();
            }
        }
        const int closed = std::fclose(file_);
        file_ = nullptr;
        if (closed != 0) {
            return writeError();
        }
        return success();
    }

    std::string description() const override {
        std::string text =
            "MP3 (LAME), " + std::to_string(lame_get_out_samplerate(lame_)) + " Hz, ";
        if (lame_get_VBR(lame_) == vbr_off) {
            text += std::to_string(lame_get_brate(lame_)) + " kbps CBR";
            if (lame_get_brate(lame_) != askedKbps_) {
                text += " (the nearest to " + std::to_string(askedKbps_) +
                        " kbps that MP3 has at " + std::to_string(lame_get_out_samplerate(lame_)) +
                        " Hz)";
            }
        } else {
            text += "VBR level " + std::to_string(lame_get_VBR_q(lame_));
        }
        return text;
    }

  private:
    Expected<void> put(int bytes) {
        if (bytes < 0) {
            return failure(FailureKind::Internal,
                           "MP3 encoding failed (LAME error " + std::to_string(bytes) + ")");
        }
        if (bytes > 0 && std::fwrite(buffer_.data(), 1, static_cast<std::size_t>(bytes), file_) !=
                             static_cast<std::size_t>(bytes)) {
            return writeError();
        }
        return success();
    }
    Failure writeError() const {
        return failure(FailureKind::Disk, "cannot write \"" + path_ + "\"");
    }

    lame_global_flags* lame_;
    std::FILE* file_;
    AudioFormat input_;
    std::string path_;
    int askedKbps_;
    std::vector<unsigned char> buffer_;
};

}  // namespace

Expected<std::unique_ptr<Encoder>> openLameEncoder(const EncoderSettings& settings,
                                                   const AudioFormat& input,
                                                   const std::string& path) {
    lame_global_flags* lame = lame_init();
    if (lame == nullptr) {
        return failure(FailureKind::Internal, "cannot start the MP3 encoder (LAME)");
    }
    lame_set_in_samplerate(lame, input.sampleRate);
    lame_set_out_samplerate(lame, input.sampleRate);
    lame_set_num_channels(lame, input.channels);
    lame_set_mode(lame, input.channels == 1 ? MONO : JOINT_STEREO);
    lame_set_quality(lame, 5);
    lame_set_bWriteVbrTag(lame, 1);
    if (settings.vbrLevel) {
        lame_set_VBR(lame, vbr_default);
        lame_set_VBR_q(lame, *settings.vbrLevel);
    } else {
        lame_set_VBR(lame, vbr_off);
        lame_set_brate(lame, settings.bitrateKbps);
    }
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return failure(FailureKind::BadInput, "the MP3 encoder refuses " + describe(input) +
                                                  " at " + std::to_string(settings.bitrateKbps) +
                                                  " kbps");
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        lame_close(lame);
        return failure(FailureKind::Disk, "cannot write \"" + path + "\"");
    }
    return std::unique_ptr<Encoder>(
        std::make_unique<LameEncoder>(lame, file, input, path, settings.bitrateKbps));
}

}  // namespace orvane::recorder
