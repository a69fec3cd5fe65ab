#include "recorder_session.h"

#include "encoder_factory.h"
#include "pending_output.h"
#include "portaudio_source.h"
#include "resampling_encoder.h"
#include "sample_processing.h"
#include "temporary_files.h"
#include "wav_file_source.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>

namespace orvane::recorder {

namespace {

constexpr int kDefaultDeviceSeconds = 60;

std::string seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", value);
    return text;
}

Expected<std::unique_ptr<AudioSource>> openSource(const RecorderOptions& options) {
    if (options.inputFile) {
        auto file = WavFileSource::open(*options.inputFile, options.realTimeInput);
        if (!file) {
            return file.failure();
        }
        return std::unique_ptr<AudioSource>(std::move(file).value());
    }
    const auto format = captureFormat(options.captureFormat);
    auto device = PortAudioSource::openDefault(*format);
    if (!device) {
        return device.failure();
    }
    return std::unique_ptr<AudioSource>(std::move(device).value());
}

// The rate the encoder gets, saying on the console why it differs from the source's.
int encodingRate(const RecorderOptions& options, int sourceRate, ConsoleReport& report) {
    const auto format = options.format;
    if (options.targetKhz) {
        const double asked = *options.targetKhz * 1000;
        const int rate = nearestSupportedRate(format, asked);
        std::ostringstream text;
        text << "sampling rate conversion to " << *options.targetKhz << " kHz: ";
        if (std::lround(asked) != rate) {
            text << "the " << nameOf(format) << " encoder takes " << rate << " Hz as the nearest; ";
        }
        text << (rate == sourceRate ? "no conversion needed at " + std::to_string(rate) + " Hz"
                                    : "converting " + std::to_string(sourceRate) + " Hz to " +
                                          std::to_string(rate) + " Hz");
        report.say(text.str());
        return rate;
    }
    const int rate = nearestSupportedRate(format, sourceRate);
    if (rate != sourceRate) {
        report.say("the " + std::string(nameOf(format)) + " encoder does not take " +
                   std::to_string(sourceRate) + " Hz: converting to " + std::to_string(rate) +
                   " Hz");
    }
    return rate;
}

void reportPlan(const RecordingPlan& plan, int boost, int sampleRate, ConsoleReport& report) {
    report.say(plan.maxFrames
                   ? "recording time " + std::to_string(*plan.maxFrames / sampleRate) + " s"
                   : "recording time: the whole input");
    if (plan.gain > 1) {
        report.say("boost x" + std::to_string(plan.gain) + " (+" + std::to_string(6 * boost) +
                   " dB), clipped at full scale");
    }
    if (plan.silence) {
        char level[16];
        std::snprintf(level, sizeof level, "%.3f", plan.silence->levelThousandths / 1000.0);
        report.say("silence detection: stop after " + std::to_string(plan.silence->seconds) +
                   " s below " + level + " of full scale");
    }
}

bool namesAFolder(const std::string& given) {
    const std::filesystem::path path(given);
    const auto name = path.filename();
    std::error_code ec;
    return name.empty() || name == "." || name == ".." || std::filesystem::is_directory(path, ec);
}

std::string stopText(const RecordingOutcome& outcome, const RecordingPlan& plan, int rate) {
    const std::string length = seconds(static_cast<double>(outcome.frames) / rate);
    switch (outcome.reason) {
        case StopReason::Interrupted:
            return "stopped by Ctrl+C after " + length;
        case StopReason::EndOfInput:
            return "input ended after " + length;
        case StopReason::Silence:
            return "silence for " + std::to_string(plan.silence->seconds) + " s: stopped after " +
                   length;
        case StopReason::TimeUp:
            break;
    }
    return "recording time over after " + length;
}

}  // namespace

ExitStatus runRecording(const RecorderOptions& options, ConsoleReport& report,
                        const std::atomic<bool>& interrupted) {
    const auto fail = [&](const Failure& error) {
        report.fail(consoleLine(error));
        return kExitFailed;
    };

    if (namesAFolder(options.outputPath)) {
        return fail(failure(FailureKind::BadInput,
                            "cannot write \"" + options.outputPath + "\": it is a folder"));
    }
    // The source first: nothing is created on disk until there is something to record.
    auto source = openSource(options);
    if (!source) {
        return fail(source.failure());
    }
    const auto finalPath = finalOutputPath(options.outputPath, options.format);
    for (const auto& name : removeStaleTemporaries(finalPath.parent_path())) {
        report.say("removed \"" + name + "\", an unfinished recording left by an earlier run");
    }
    auto output = PendingOutput::create(finalPath);
    if (!output) {
        return fail(output.failure());
    }
    const AudioFormat captured = (*source)->format();
    report.say("recording from " + (*source)->description());

    const int rate = encodingRate(options, captured.sampleRate, report);
    if (options.vbrLevel && options.format != OutputFormat::Mp3) {
        report.say("-v applies to MP3 only: ignored");
    }
    const EncoderSettings settings{
        options.format, options.bitrateKbps,
        options.format == OutputFormat::Mp3 ? options.vbrLevel : std::nullopt};
    AudioFormat encoded = captured;
    encoded.sampleRate = rate;
    auto encoder = openEncoder(settings, encoded, output->temporaryPath().string());
    if (!encoder) {
        return fail(encoder.failure());
    }
    auto chain = withResampling(std::move(*encoder), captured.channels, captured.sampleRate, rate);
    if (!chain) {
        return fail(chain.failure());
    }
    report.say("encoding " + (*chain)->description());

    RecordingPlan plan;
    plan.gain = gainForBoost(options.boost);
    plan.silence = options.silence;
    if (options.seconds || !options.inputFile) {
        plan.maxFrames =
            std::int64_t{options.seconds.value_or(kDefaultDeviceSeconds)} * captured.sampleRate;
    }
    reportPlan(plan, options.boost, captured.sampleRate, report);
    report.say("writing " + output->finalPath().string() + " (Ctrl+C ends the recording)");

    auto outcome = record(**source, **chain, plan, interrupted,
                          [&](const Progress& progress) { report.progress(progress); });
    report.endProgress();
    // The device is released before the (possibly slow) end of the encoding.
    source->reset();
    if (!outcome) {
        return fail(outcome.failure());
    }
    if (auto finished = (*chain)->finish(); !finished) {
        return fail(finished.failure());
    }
    chain->reset();
    auto written = output->commit();
    if (!written) {
        return fail(written.failure());
    }
    report.say(stopText(*outcome, plan, captured.sampleRate));
    if (*written != output->finalPath()) {
        report.say("\"" + output->finalPath().string() + "\" exists already and is kept");
    }

    std::error_code ec;
    const auto bytes = std::filesystem::file_size(*written, ec);
    report.say("wrote " + written->string() + " (" +
               seconds(static_cast<double>(outcome->frames) / captured.sampleRate) + ", " +
               std::to_string(ec ? 0 : bytes) + " bytes)");
    return kExitOk;
}

}  // namespace orvane::recorder
