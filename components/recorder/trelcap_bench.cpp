// Encoding speed of trelcap from a WAV file, 44.1 kHz stereo, against real time (the
// target is at least 30x) and against sox encoding the same file with the same LAME
// library. Prints its figures; not a test.
#include "encoder_factory.h"
#include "recording.h"
#include "wav_file_source.h"

#include <fcntl.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace orvane::recorder;

namespace {

constexpr int kSeconds = 120;
constexpr int kRate = 44100;

extern "C" char** environ;

// Two minutes of chords with a little noise, so the encoder has real work.
void writeMusicLikeWav(const fs::path& path) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    std::mt19937 random(42);
    std::normal_distribution<double> noise(0, 0.02);
    std::vector<short> block(2 * kRate);
    const double chords[][3] = {
        {261.6, 329.6, 392.0}, {293.7, 370.0, 440.0}, {246.9, 311.1, 370.0}};
    for (int second = 0; second < kSeconds; ++second) {
        const auto& chord = chords[second % 3];
        for (int i = 0; i < kRate; ++i) {
            const double t = second + static_cast<double>(i) / kRate;
            double left = 0;
            double right = 0;
            for (int k = 0; k < 3; ++k) {
                const double v = 0.2 * std::sin(2 * std::numbers::pi * chord[k] * t);
                left += v * (k == 0 ? 1.0 : 0.6);
                right += v * (k == 2 ? 1.0 : 0.6);
            }
            block[2 * i] = static_cast<short>(std::lround((left + noise(random)) * 32767 * 0.8));
            block[2 * i + 1] =
                static_cast<short>(std::lround((right + noise(random)) * 32767 * 0.8));
        }
        sf_writef_short(file, block.data(), kRate);
    }
    sf_close(file);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs a program to its end; the wall time in seconds, or a negative value on failure.
double timeProgram(const std::vector<std::string>& argv) {
    std::vector<char*> raw;
    for (const auto& arg : argv) {
        raw.push_back(const_cast<char*>(arg.c_str()));
    }
    raw.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, raw[0], &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double elapsed = secondsSince(start);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? elapsed : -1;
}

double encodeInProcess(const fs::path& wav, const fs::path& out, const EncoderSettings& settings) {
    const auto start = std::chrono::steady_clock::now();
    auto source = WavFileSource::open(wav.string(), false);
    auto encoder = openEncoder(settings, (*source)->format(), out.string());
    if (!source || !encoder) {
        return -1;
    }
    std::atomic<bool> never{false};
    if (!record(**source, **encoder, {}, never).ok() || !(*encoder)->finish().ok()) {
        return -1;
    }
    return secondsSince(start);
}

void report(const char* what, double seconds) {
    if (seconds < 0) {
        std::printf("  %-44s failed\n", what);
        return;
    }
    std::printf("  %-44s %7.3f s  %6.1fx real time\n", what, seconds, kSeconds / seconds);
}

}  // namespace

int main() {
    const fs::path dir = fs::temp_directory_path() / ("trelcap-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path wav = dir / "music.wav";
    writeMusicLikeWav(wav);
    const fs::path trelcap = fs::read_symlink("/proc/self/exe").parent_path() / "trelcap";

    std::printf("Encoding %d s of 44.1 kHz stereo 16-bit (target: at least 30x real time)\n",
                kSeconds);
    const double lame128 =
        encodeInProcess(wav, dir / "a.mp3", {OutputFormat::Mp3, 128, std::nullopt});
    report("in process, MP3 128 kbps CBR", lame128);
    report("in process, MP3 VBR level 4",
           encodeInProcess(wav, dir / "b.mp3", {OutputFormat::Mp3, 128, 4}));
    report("in process, WMA 128 kbps",
           encodeInProcess(wav, dir / "c.wma", {OutputFormat::Wma, 128, std::nullopt}));
    report("in process, PCM WAV",
           encodeInProcess(wav, dir / "d.wav", {OutputFormat::Wav, 128, std::nullopt}));
    const double program =
        timeProgram({trelcap.string(), "-i", wav.string(), "-b", "128", (dir / "e").string()});
    report("trelcap -i music.wav -b 128 (whole program)", program);
    report("trelcap ... -b 32 -sr 32.2 (the mailer's)",
           timeProgram({trelcap.string(), "-i", wav.string(), "-b", "32", "-sr", "32.2",
                        (dir / "f").string()}));
    const double sox = timeProgram({"sox", wav.string(), "-C", "128", (dir / "g.mp3").string()});
    report("peer: sox -C 128 (same LAME library)", sox);
    if (program > 0 && sox > 0) {
        std::printf("  trelcap / sox speed ratio: %.2f\n", sox / program);
    }
    const bool met = program > 0 && kSeconds / program >= 30;
    std::printf("target 30x real time for 128 kbps: %s\n", met ? "met" : "NOT met");
    fs::remove_all(dir);
    return met ? 0 : 1;
}
