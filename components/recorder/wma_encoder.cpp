#include "wma_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <vector>

namespace orvane::recorder {

namespace {

std::string avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

struct CodecContextDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FormatContextDeleter {
    void operator()(AVFormatContext* c) const {
        if (c->pb != nullptr) {
            avio_closep(&c->pb);
        }
        avformat_free_context(c);
    }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

using CodecContext = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FormatContext = std::unique_ptr<AVFormatContext, FormatContextDeleter>;
using Frame = std::unique_ptr<AVFrame, FrameDeleter>;
using Packet = std::unique_ptr<AVPacket, PacketDeleter>;

class WmaEncoder final : public Encoder {
  public:
    WmaEncoder(CodecContext codec, FormatContext container, AVStream* stream, std::string path)
        : codec_(std::move(codec)),
          container_(std::move(container)),
          stream_(stream),
          path_(std::move(path)),
          packet_(av_packet_alloc()),
          pending_(static_cast<std::size_t>(codec_->ch_layout.nb_channels)) {}

    Expected<void> write(std::span<const std::int16_t> samples) override {
        const auto channels = pending_.size();
        for (std::size_t i = 0; i < samples.size(); ++i) {
            pending_[i % channels].push_back(samples[i] / 32768.0f);
        }
        const auto frameSize = static_cast<std::size_t>(codec_->frame_size);
        while (pending_.front().size() - consumed_ >= frameSize) {
            if (auto sent = sendFrame(frameSize); !sent) {
                return sent;
            }
        }
        compact();
        return success();
    }

    Expected<void> finish() override {
        // The encoder takes whole frames only: the last one is padded with silence.
        const auto left = pending_.front().size() - consumed_;
        if (left > 0) {
            for (auto& channel : pending_) {
                channel.resize(consumed_ + static_cast<std::size_t>(codec_->frame_size), 0.0f);
            }
            if (auto sent = sendFrame(static_cast<std::size_t>(codec_->frame_size)); !sent) {
                return sent;
            }
        }
        if (auto flushed = encode(nullptr); !flushed) {
            return flushed;
        }
        if (const int error = av_write_trailer(container_.get()); error < 0) {
            return failure(FailureKind::Disk, "cannot write \"" + path_ + "\": " + avError(error));
        }
        if (const int error = avio_closep(&container_->pb); error < 0) {
            return failure(FailureKind::Disk, "cannot write \"" + path_ + "\": " + avError(error));
        }
        return success();
    }

    std::string description() const override {
        return "WMA (version 2, libavcodec), " + std::to_string(codec_->sample_rate) + " Hz, " +
               std::to_string(codec_->bit_rate / 1000) + " kbps";
    }

  private:
    Expected<void> sendFrame(std::size_t frameSize) {
        Frame frame(av_frame_alloc());
        frame->nb_samples = static_cast<int>(frameSize);
        frame->format = codec_->sample_fmt;
        frame->sample_rate = codec_->sample_rate;
        av_channel_layout_copy(&frame->ch_layout, &codec_->ch_layout);
        if (const int error = av_frame_get_buffer(frame.get(), 0); error < 0) {
            return failure(FailureKind::Internal, "WMA encoding failed: " + avError(error));
        }
        for (std::size_t c = 0; c < pending_.size(); ++c) {
            std::copy_n(pending_[c].begin() + static_cast<long>(consumed_), frameSize,
                        reinterpret_cast<float*>(frame->data[c]));
        }
        frame->pts = samplesSent_;
        samplesSent_ += static_cast<std::int64_t>(frameSize);
        consumed_ += frameSize;
        return encode(frame.get());
    }

    Expected<void> encode(const AVFrame* frame) {
        if (const int error = avcodec_send_frame(codec_.get(), frame); error < 0) {
            return failure(FailureKind::Internal, "WMA encoding failed: " + avError(error));
        }
        while (true) {
            const int received = avcodec_receive_packet(codec_.get(), packet_.get());
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
                return success();
            }
            if (received < 0) {
                return failure(FailureKind::Internal, "WMA encoding failed: " + avError(received));
            }
            av_packet_rescale_ts(packet_.get(), codec_->time_base, stream_->time_base);
            packet_->stream_index = stream_->index;
            if (const int error = av_interleaved_write_frame(container_.get(), packet_.get());
                error < 0) {
                return failure(FailureKind::Disk,
                               "cannot write \"" + path_ + "\": " + avError(error));
            }
        }
    }

    void compact() {
        for (auto& channel : pending_) {
            channel.erase(channel.begin(), channel.begin() + static_cast<long>(consumed_));
        }
        consumed_ = 0;
    }

    CodecContext codec_;
    FormatContext container_;
    AVStream* stream_;
    std::string path_;
    Packet packet_;
    std::vector<std::vector<float>> pending_;  // planar, as the encoder takes them
    std::size_t consumed_ = 0;
    std::int64_t samplesSent_ = 0;
};

}  // namespace

Expected<std::unique_ptr<Encoder>> openWmaEncoder(const EncoderSettings& settings,
                                                  const AudioFormat& input,
                                                  const std::string& path) {
    av_log_set_level(AV_LOG_ERROR);
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    if (codec == nullptr) {
        return failure(FailureKind::NotFound,
                       "WMA is not available: the installed libavcodec has no WMA encoder");
    }
    const auto refused = [&](int error) {
        return failure(FailureKind::BadInput, "the WMA encoder refuses " + describe(input) +
                                                  " at " + std::to_string(settings.bitrateKbps) +
                                                  " kbps: " + avError(error));
    };

    AVFormatContext* rawContainer = nullptr;
    if (const int error =
            avformat_alloc_output_context2(&rawContainer, nullptr, "asf", path.c_str());
        error < 0) {
        return failure(FailureKind::Internal, "cannot make an ASF file: " + avError(error));
    }
    FormatContext container(rawContainer);
    AVStream* stream = avformat_new_stream(container.get(), nullptr);
    CodecContext context(avcodec_alloc_context3(codec));
    if (stream == nullptr || !context) {
        return failure(FailureKind::Internal, "cannot start the WMA encoder");
    }
    context->sample_fmt = AV_SAMPLE_FMT_FLTP;
    context->sample_rate = input.sampleRate;
    context->bit_rate = settings.bitrateKbps * 1000;
    context->time_base = AVRational{1, input.sampleRate};
    av_channel_layout_default(&context->ch_layout, input.channels);
    if (container->oformat->flags & AVFMT_GLOBALHEADER) {
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if (const int error = avcodec_open2(context.get(), codec, nullptr); error < 0) {
        return refused(error);
    }
    if (context->frame_size <= 0) {
        return failure(FailureKind::Internal, "cannot start the WMA encoder: no frame size");
    }
    if (const int error = avcodec_parameters_from_context(stream->codecpar, context.get());
        error < 0) {
        return refused(error);
    }
    stream->time_base = context->time_base;
    // The path is a file name, never a URL: without "file:" a name such as "a:b/x.wma"
    // would be taken for protocol "a".
    const std::string fileUrl = "file:" + path;
    if (const int error = avio_open(&container->pb, fileUrl.c_str(), AVIO_FLAG_WRITE); error < 0) {
        return failure(FailureKind::Disk, "cannot write \"" + path + "\": " + avError(error));
    }
    if (const int error = avformat_write_header(container.get(), nullptr); error < 0) {
        return failure(FailureKind::Disk, "cannot write \"" + path + "\": " + avError(error));
    }
    return std::unique_ptr<Encoder>(
        std::make_unique<WmaEncoder>(std::move(context), std::move(container), stream, path));
}

}  // namespace orvane::recorder
