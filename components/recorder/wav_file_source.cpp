#include "wav_file_source.h"

#include <sndfile.h>

#include <thread>

namespace orvane::recorder {

Expected<std::unique_ptr<WavFileSource>> WavFileSource::open(const std::string& path,
                                                             bool realTime) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        return failure(FailureKind::BadInput,
                       "cannot read input file \"" + path + "\": " + sf_strerror(nullptr));
    }
    const auto refuse = [&](const std::string& why) {
        sf_close(file);
        return failure(FailureKind::BadInput, "cannot read input file \"" + path + "\": " + why);
    };
    const int type = info.format & SF_FORMAT_TYPEMASK;
    if (type != SF_FORMAT_WAV && type != SF_FORMAT_WAVEX && type != SF_FORMAT_RF64) {
        return refuse("not a WAV file");
    }
    if (info.channels < 1 || info.channels > 2) {
        return refuse(std::to_string(info.channels) + " channels (mono or stereo only)");
    }
    if (info.samplerate < 1 || info.samplerate > kMaxSampleRate) {
        return refuse("its sampling rate of " + std::to_string(info.samplerate) + " Hz is beyond " +
                      std::to_string(kMaxSampleRate) + " Hz");
    }
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    const int bits = subtype == SF_FORMAT_PCM_U8 || subtype == SF_FORMAT_PCM_S8 ? 8 : 16;
    return std::unique_ptr<WavFileSource>(
        new WavFileSource(file, AudioFormat{info.samplerate, info.channels, bits}, path, realTime));
}

WavFileSource::WavFileSource(void* file, AudioFormat format, std::string path, bool realTime)
    : file_(file),
      format_(format),
      path_(std::move(path)),
      realTime_(realTime),
      start_(std::chrono::steady_clock::now()) {}

WavFileSource::~WavFileSource() {
    sf_close(static_cast<SNDFILE*>(file_));
}

std::string WavFileSource::description() const {
    return "file \"" + path_ + "\" (" + describe(format_) + (realTime_ ? ", real time)" : ")");
}

Expected<std::size_t> WavFileSource::read(std::span<std::int16_t> buffer) {
    const auto channels = static_cast<std::size_t>(format_.channels);
    const auto frames = sf_readf_short(static_cast<SNDFILE*>(file_), buffer.data(),
                                       static_cast<sf_count_t>(buffer.size() / channels));
    if (frames < 0 || sf_error(static_cast<SNDFILE*>(file_)) != SF_ERR_NO_ERROR) {
        return failure(FailureKind::BadInput, "reading \"" + path_ + "\" failed: " +
                                                  sf_strerror(static_cast<SNDFILE*>(file_)));
    }
    framesDelivered_ += frames;
    if (realTime_) {
        std::this_thread::sleep_until(
            start_ + std::chrono::microseconds(framesDelivered_ * 1'000'000 / format_.sampleRate));
    }
    return static_cast<std::size_t>(frames) * channels;
}

}  // namespace orvane::recorder
