#include "decoded_audio.h"

#include <mpg123.h>
#include <sndfile.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <vector>

namespace orvane::recorder::testing {

std::optional<DecodedAudio> decodeMp3(const std::string& path) {
    int error = MPG123_OK;
    std::unique_ptr<mpg123_handle, void (*)(mpg123_handle*)> handle(mpg123_new(nullptr, &error),
                                                                    mpg123_delete);
    if (!handle) {
        return std::nullopt;
    }
    mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    mpg123_format_none(handle.get());
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i) {
        mpg123_format(handle.get(), rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    }
    if (mpg123_open(handle.get(), path.c_str()) != MPG123_OK) {
        return std::nullopt;
    }
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(handle.get(), &rate, &channels, &encoding) != MPG123_OK) {
        mpg123_close(handle.get());
        return std::nullopt;
    }
    std::vector<short> buffer(16384);
    long long samples = 0;
    int peak = 0;
    while (true) {
        std::size_t bytes = 0;
        const int result =
            mpg123_read(handle.get(), buffer.data(), buffer.size() * sizeof(short), &bytes);
        const auto got = bytes / sizeof(short);
        samples += static_cast<long long>(got);
        for (std::size_t i = 0; i < got; ++i) {
            peak = std::max(peak, std::abs(static_cast<int>(buffer[i])));
        }
        if (result == MPG123_DONE) {
            break;
        }
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT) {
            mpg123_close(handle.get());
            return std::nullopt;
        }
    }
    mpg123_close(handle.get());
    return DecodedAudio{static_cast<int>(rate), channels,
                        static_cast<double>(samples) / channels / static_cast<double>(rate),
                        peak / 32767.0};
}

std::optional<DecodedAudio> decodeWithLibav(const std::string& path) {
    AVFormatContext* rawFormat = nullptr;
    // "file:" so that a colon in the path is not taken for a protocol.
    const std::string url = "file:" + path;
    if (avformat_open_input(&rawFormat, url.c_str(), nullptr, nullptr) < 0) {
        return std::nullopt;
    }
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> format(
        rawFormat, [](AVFormatContext* c) { avformat_close_input(&c); });
    if (avformat_find_stream_info(format.get(), nullptr) < 0) {
        return std::nullopt;
    }
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (stream < 0 || codec == nullptr) {
        return std::nullopt;
    }
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> context(
        avcodec_alloc_context3(codec), [](AVCodecContext* c) { avcodec_free_context(&c); });
    avcodec_parameters_to_context(context.get(), format->streams[stream]->codecpar);
    if (avcodec_open2(context.get(), codec, nullptr) < 0) {
        return std::nullopt;
    }
    std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(av_packet_alloc(),
                                                          [](AVPacket* p) { av_packet_free(&p); });
    std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame(av_frame_alloc(),
                                                       [](AVFrame* f) { av_frame_free(&f); });
    long long frames = 0;
    float peak = 0;
    const auto drain = [&] {
        while (avcodec_receive_frame(context.get(), frame.get()) == 0) {
            frames += frame->nb_samples;
            if (frame->format == AV_SAMPLE_FMT_FLTP) {
                for (int c = 0; c < frame->ch_layout.nb_channels; ++c) {
                    const auto* data = reinterpret_cast<const float*>(frame->extended_data[c]);
                    for (int i = 0; i < frame->nb_samples; ++i) {
                        peak = std::max(peak, std::abs(data[i]));
                    }
                }
            }
        }
    };
    while (av_read_frame(format.get(), packet.get()) >= 0) {
        if (packet->stream_index == stream) {
            avcodec_send_packet(context.get(), packet.get());
            drain();
        }
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(context.get(), nullptr);
    drain();
    return DecodedAudio{context->sample_rate, context->ch_layout.nb_channels,
                        static_cast<double>(frames) / context->sample_rate,
                        static_cast<double>(peak)};
}

std::optional<DecodedAudio> decodeWav(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        return std::nullopt;
    }
    std::vector<short> buffer(8192 * static_cast<std::size_t>(info.channels));
    int peak = 0;
    sf_count_t got = 0;
    while ((got = sf_read_short(file, buffer.data(), static_cast<sf_count_t>(buffer.size()))) > 0) {
        for (sf_count_t i = 0; i < got; ++i) {
            peak = std::max(peak, std::abs(static_cast<int>(buffer[static_cast<std::size_t>(i)])));
        }
    }
    sf_close(file);
    return DecodedAudio{info.samplerate, info.channels,
                        static_cast<double>(info.frames) / info.samplerate, peak / 32767.0};
}

bool writeToneWav(const std::string& path, const std::vector<ToneSegment>& segments, int rate,
                  int channels, double hz, int bits) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | (bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        return false;
    }
    std::vector<short> frame(static_cast<std::size_t>(channels));
    bool written = true;
    long n = 0;
    for (const ToneSegment& segment : segments) {
        const long frames = std::lround(segment.seconds * rate);
        for (long i = 0; i < frames; ++i, ++n) {
            const double value = segment.amplitude * std::sin(2 * std::numbers::pi * hz * n / rate);
            std::fill(frame.begin(), frame.end(), static_cast<short>(std::lround(value * 32767)));
            written = written && sf_writef_short(file, frame.data(), 1) == 1;
        }
    }
    return sf_close(file) == 0 && written;
}

}  // namespace orvane::recorder::testing
