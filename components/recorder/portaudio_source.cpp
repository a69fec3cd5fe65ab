#include "portaudio_source.h"

#include <portaudio.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace orvane::recorder {

namespace {

// PortAudio's host APIs (ALSA, JACK) print probing noise on stderr while they
// initialise; the console shows our own lines only.
class QuietStderr {
  public:
    QuietStderr() {
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY);
        if (saved_ >= 0 && null >= 0) {
            ::dup2(null, STDERR_FILENO);
        }
        if (null >= 0) {
            ::close(null);
        }
    }
    ~QuietStderr() {
        if (saved_ >= 0) {
            std::fflush(stderr);
            ::dup2(saved_, STDERR_FILENO);
            ::close(saved_);
        }
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

  private:
    int saved_ = -1;
};

// Every successful initialisePortAudio() is paired with one Pa_Terminate().
bool initialisePortAudio() {
    QuietStderr quiet;
    return Pa_Initialize() == paNoError;
}

std::string paError(PaError error) {
    return Pa_GetErrorText(error);
}

}  // namespace

Expected<std::unique_ptr<PortAudioSource>> PortAudioSource::openDefault(const AudioFormat& format) {
    if (!initialisePortAudio()) {
        return failure(FailureKind::Device, "cannot start the sound system (PortAudio)");
    }
    const auto fail = [](std::string message) -> Failure {
        Pa_Terminate();
        return failure(FailureKind::Device, std::move(message));
    };

    const PaDeviceIndex device = Pa_GetDefaultInputDevice();
    if (device == paNoDevice) {
        return fail("no input device: there is no sound input to record from");
    }
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    if (info == nullptr || info->maxInputChannels < 1) {
        return fail("no input device: the default device takes no input");
    }

    PaStreamParameters input{};
    input.device = device;
    input.channelCount = format.channels;
    input.sampleFormat = format.bitsPerSample == 8 ? paUInt8 : paInt16;
    input.suggestedLatency = info->defaultHighInputLatency;

    PaStream* stream = nullptr;
    PaError error = paNoError;
    {
        QuietStderr quiet;
        error = Pa_OpenStream(&stream, &input, nullptr, format.sampleRate,
                              paFramesPerBufferUnspecified, paClipOff, nullptr, nullptr);
        if (error == paNoError) {
            error = Pa_StartStream(stream);
            if (error != paNoError) {
                Pa_CloseStream(stream);
            }
        }
    }
    if (error != paNoError) {
        return fail("the input device \"" + std::string(info->name) + "\" cannot record " +
                    describe(format) + ": " + paError(error));
    }
    return std::unique_ptr<PortAudioSource>(new PortAudioSource(stream, format, info->name));
}

PortAudioSource::PortAudioSource(void* stream, AudioFormat format, std::string deviceName)
    : stream_(stream), format_(format), deviceName_(std::move(deviceName)) {}

PortAudioSource::~PortAudioSource() {
    QuietStderr quiet;
    Pa_AbortStream(stream_);
    Pa_CloseStream(stream_);
    Pa_Terminate();
}

std::string PortAudioSource::description() const {
    return "the default input device \"" + deviceName_ + "\" (" + describe(format_) + ")";
}

Expected<std::size_t> PortAudioSource::read(std::span<std::int16_t> buffer) {
    const auto frames = buffer.size() / static_cast<std::size_t>(format_.channels);
    PaError error = paNoError;
    if (format_.bitsPerSample == 8) {
        narrow_.resize(buffer.size());
        error = Pa_ReadStream(stream_, narrow_.data(), frames);
        for (std::size_t i = 0; i < buffer.size(); ++i) {
            buffer[i] = static_cast<std::int16_t>((narrow_[i] - 128) * 256);
        }
    } else {
        error = Pa_ReadStream(stream_, buffer.data(), frames);
    }
    // An overflow means samples were dropped before this read; what was read is good.
    if (error != paNoError && error != paInputOverflowed) {
        return failure(FailureKind::Device,
                       "recording from the input device failed: " + paError(error));
    }
    return frames * static_cast<std::size_t>(format_.channels);
}

}  // namespace orvane::recorder
