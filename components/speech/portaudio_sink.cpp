#include "portaudio_sink.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <portaudio.h>

#include <algorithm>

namespace orvane::speech {
namespace {

void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
void quietJack(const char*) {}

QString paText(PaError e) {
    return QString::fromLocal8Bit(Pa_GetErrorText(e));
}

}  // namespace

PortAudioSink::~PortAudioSink() {
    close();
    if (initialized_) {
        Pa_Terminate();
    }
}

void PortAudioSink::close() {
    if (stream_) {
        if (running_) {
            Pa_AbortStream(stream_);
        }
        Pa_CloseStream(stream_);
        stream_ = nullptr;
        running_ = false;
        streamRate_ = 0;
    }
}

std::optional<QString> PortAudioSink::openAt(int sampleRate) {
    if (!initialized_) {
        snd_lib_error_set_handler(quietAlsa);
        jack_set_error_function(quietJack);
        jack_set_info_function(quietJack);
        const PaError e = Pa_Initialize();
        if (e != paNoError) {
            return QStringLiteral("PortAudio cannot start: %1").arg(paText(e));
        }
        initialized_ = true;
    }
    if (stream_ && streamRate_ == sampleRate) {
        return std::nullopt;
    }
    close();
    const PaDeviceIndex device = Pa_GetDefaultOutputDevice();
    if (device == paNoDevice) {
        return QStringLiteral("no sound output device");
    }
    PaStreamParameters out{};
    out.device = device;
    out.channelCount = 1;
    out.sampleFormat = paInt16;
    out.suggestedLatency = Pa_GetDeviceInfo(device)->defaultLowOutputLatency;
    const PaError e =
        Pa_OpenStream(&stream_, nullptr, &out, sampleRate, 1024, paNoFlag, nullptr, nullptr);
    if (e != paNoError) {
        stream_ = nullptr;
        return QStringLiteral("cannot open the sound output device \"%1\" at %2 Hz: %3")
            .arg(QString::fromLocal8Bit(Pa_GetDeviceInfo(device)->name))
            .arg(sampleRate)
            .arg(paText(e));
    }
    streamRate_ = sampleRate;
    return std::nullopt;
}

std::optional<QString> PortAudioSink::play(const Audio& audio, const std::atomic<bool>& stop) {
    if (audio.samples.empty() || audio.sampleRate <= 0) {
        return std::nullopt;
    }
    if (auto error = openAt(audio.sampleRate)) {
        return error;
    }
    if (!running_) {
        const PaError e = Pa_StartStream(stream_);
        if (e != paNoError) {
            return QStringLiteral("cannot start the sound output: %1").arg(paText(e));
        }
        running_ = true;
    }
    constexpr std::size_t kBlock = 1024;
    for (std::size_t at = 0; at < audio.samples.size() && !stop; at += kBlock) {
        const auto frames = unsigned(std::min(kBlock, audio.samples.size() - at));
        const PaError e = Pa_WriteStream(stream_, audio.samples.data() + at, frames);
        // An underflow only means the device waited for us (a gap between texts).
        if (e != paNoError && e != paOutputUnderflowed) {
            close();
            return QStringLiteral("the sound output failed: %1").arg(paText(e));
        }
    }
    return std::nullopt;
}

void PortAudioSink::drain() {
    if (stream_ && running_) {
        Pa_StopStream(stream_);  // returns once the buffered audio has played
        running_ = false;
    }
}

}  // namespace orvane::speech
