#include "portaudio_sink.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <portaudio.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace orvane::speech {
namespace {

void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
void quietJack(const char*) {}

QString paText(PaError e) {
    return QString::fromLocal8Bit(Pa_GetErrorText(e));
}

}  // namespace

PortAudioSink::~PortAudioSink() {
    const std::atomic<bool> ending = true;
    close(false, ending);
    if (initialized_) {
        Pa_Terminate();
    }
}

void PortAudioSink::close(bool heardFirst, const std::atomic<bool>& stop) {
    if (stream_) {
        if (running_ && heardFirst) {
            playOutAndStop(stop);  // may itself close the stream on a device error
        }
    }
    if (stream_) {
        if (running_) {
            Pa_AbortStream(stream_);
        }
        Pa_CloseStream(stream_);
        stream_ = nullptr;
        running_ = false;
        pieceRate_ = streamRate_ = 0;
    }
}

Expected<void> PortAudioSink::openFor(int sampleRate, const std::atomic<bool>& stop) {
    if (!initialized_) {
        snd_lib_error_set_handler(quietAlsa);
        jack_set_error_function(quietJack);
        jack_set_info_function(quietJack);
        const PaError e = Pa_Initialize();
        if (e != paNoError) {
            return fail(FailureKind::Device,
                        QStringLiteral("PortAudio cannot start: %1").arg(paText(e)));
        }
        initialized_ = true;
    }
    if (stream_ && pieceRate_ == sampleRate) {
        return success();
    }
    close(true, stop);  // the end of the last piece is heard before the rate changes
    const PaDeviceIndex device = Pa_GetDefaultOutputDevice();
    if (device == paNoDevice) {
        return fail(FailureKind::Device, QStringLiteral("no sound output device"));
    }
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    PaStreamParameters out{};
    out.device = device;
    out.channelCount = 1;
    out.sampleFormat = paInt16;
    out.suggestedLatency = std::max(info->defaultLowOutputLatency, kBufferSeconds);
    // A device that refuses the rate (some hardware takes only its own) gets the
    // audio resampled to the rate it names.
    int rate = sampleRate;
    if (Pa_IsFormatSupported(nullptr, &out, rate) != paFormatIsSupported &&
        info->defaultSampleRate > 0) {
        rate = int(info->defaultSampleRate);
    }
    const PaError e = Pa_OpenStream(&stream_, nullptr, &out, rate, paFramesPerBufferUnspecified,
                                    paNoFlag, nullptr, nullptr);
    if (e != paNoError) {
        stream_ = nullptr;
        return fail(FailureKind::Device,
                    QStringLiteral("cannot open the sound output device \"%1\" at %2 Hz: %3")
                        .arg(QString::fromLocal8Bit(info->name))
                        .arg(rate)
                        .arg(paText(e)));
    }
    pieceRate_ = sampleRate;
    streamRate_ = rate;
    return success();
}

Expected<void> PortAudioSink::play(const Audio& audio, const std::atomic<bool>& stop) {
    if (audio.samples.empty() || audio.sampleRate <= 0 || stop) {
        return success();
    }
    if (Expected<void> opened = openFor(audio.sampleRate, stop); !opened) {
        return opened;
    }
    const Audio converted =
        streamRate_ == audio.sampleRate ? Audio{} : resampled(audio, streamRate_);
    const std::vector<std::int16_t>& samples =
        streamRate_ == audio.sampleRate ? audio.samples : converted.samples;
    if (!running_) {
        const PaError e = Pa_StartStream(stream_);
        if (e != paNoError) {
            return fail(FailureKind::Device,
                        QStringLiteral("cannot start the sound output: %1").arg(paText(e)));
        }
        running_ = true;
    }
    return write(samples, stop);
}

Expected<void> PortAudioSink::write(const std::vector<std::int16_t>& samples,
                                    const std::atomic<bool>& stop) {
    // Written only as far as the device has room, so that no call blocks for long
    // and a stop is seen within a few milliseconds whatever the device does.
    const auto block = std::size_t(std::max(1, streamRate_ * kBlockMs / 1000));
    for (std::size_t at = 0; at < samples.size() && !stop;) {
        const long room = Pa_GetStreamWriteAvailable(stream_);
        if (room == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        // A negative room (an underflow being reported): one block, which recovers.
        const std::size_t frames =
            std::min({room > 0 ? std::size_t(room) : block, block, samples.size() - at});
        const PaError e = Pa_WriteStream(stream_, samples.data() + at, unsigned(frames));
        // An underflow only means the device waited for us (a gap between texts).
        if (e != paNoError && e != paOutputUnderflowed) {
            close(false, stop);
            return fail(FailureKind::Device,
                        QStringLiteral("the sound output failed: %1").arg(paText(e)));
        }
        at += frames;
    }
    return success();
}

void PortAudioSink::drain(const std::atomic<bool>& stop) {
    if (stream_ && running_) {
        playOutAndStop(stop);
    }
}

void PortAudioSink::playOutAndStop(const std::atomic<bool>& stop) {
    // Stopping a stream drops what the device still holds on some systems (ALSA
    // through PulseAudio loses the last 40 ms or more): silence handed over behind
    // the audio is what is lost instead.
    const PaStreamInfo* info = Pa_GetStreamInfo(stream_);
    const double seconds = (info ? info->outputLatency : kBufferSeconds) + 0.02;
    if (write(std::vector<std::int16_t>(std::size_t(streamRate_ * seconds), 0), stop) || stop ||
        !stream_) {
        return;  // stopped meanwhile: discard() follows
    }
    Pa_StopStream(stream_);
    running_ = false;
}

void PortAudioSink::discard() {
    if (stream_ && running_) {
        Pa_AbortStream(stream_);  // drops the buffered audio
        running_ = false;
    }
}

double PortAudioSink::outputLatency() const {
    const PaStreamInfo* info = stream_ ? Pa_GetStreamInfo(stream_) : nullptr;
    return info ? info->outputLatency : 0;
}

}  // namespace orvane::speech
