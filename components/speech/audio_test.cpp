#include "audio.h"

#include <gtest/gtest.h>

using orvane::speech::Audio;
using orvane::speech::parseWav;
using orvane::speech::trimSilence;

namespace {

void put(QByteArray& b, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        b.append(char((v >> (8 * i)) & 0xff));
    }
}

QByteArray wav(int channels, int bits, const QByteArray& pcm, bool extraChunkFirst) {
    QByteArray w("RIFF");
    put(w, 0, 4);
    w += "WAVE";
    if (extraChunkFirst) {
        w += "LIST";
        put(w, 3, 4);
        w += "abc";
        w.append('\0');  // odd chunks are padded
    }
    w += "fmt ";
    put(w, 16, 4);
    put(w, 1, 2);
    put(w, channels, 2);
    put(w, 16000, 4);
    put(w, 16000 * channels * bits / 8, 4);
    put(w, channels * bits / 8, 2);
    put(w, bits, 2);
    w += "data";
    put(w, pcm.size(), 4);
    w += pcm;
    return w;
}

}  // namespace

TEST(ParseWav, ReadsChunksWhereverTheyStandAndMixesChannels) {
    QByteArray mono16;
    put(mono16, std::uint16_t(1000), 2);
    put(mono16, std::uint16_t(-1000), 2);
    QByteArray stereo16;
    put(stereo16, std::uint16_t(1000), 2);
    put(stereo16, std::uint16_t(3000), 2);
    struct Row {
        const char* name;
        QByteArray file;
        std::vector<std::int16_t> samples;
    };
    const Row rows[] = {
        {"mono, fmt first", wav(1, 16, mono16, false), {1000, -1000}},
        {"mono, other chunk first", wav(1, 16, mono16, true), {1000, -1000}},
        {"stereo mixed", wav(2, 16, stereo16, false), {2000}},
        {"8-bit", wav(1, 8, QByteArray("\x80\xff", 2), false), {0, 127 << 8}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto audio = parseWav(row.file);
        ASSERT_TRUE(audio);
        EXPECT_EQ(audio->sampleRate, 16000);
        EXPECT_EQ(audio->samples, row.samples);
    }
    EXPECT_FALSE(parseWav("RIFF\0\0\0\0WAVEdata\0\0\0\0"));  // data before fmt
    EXPECT_FALSE(parseWav("not a wav file at all"));
    EXPECT_FALSE(parseWav({}));
}

TEST(TrimSilence, KeepsTheSpeechAndShortPaddingOnly) {
    Audio a;
    a.sampleRate = 1000;  // 1 sample = 1 ms
    a.samples.assign(500, 0);
    a.samples.insert(a.samples.end(), {5000, -5000, 5000});
    a.samples.insert(a.samples.end(), 700, 3);  // quiet noise counts as silence
    trimSilence(a, 30, 200);
    ASSERT_EQ(a.samples.size(), 30u + 3 + 200);
    EXPECT_EQ(a.samples[30], 5000);

    Audio silent;
    silent.sampleRate = 1000;
    silent.samples.assign(100, 0);
    trimSilence(silent, 30, 200);
    EXPECT_TRUE(silent.samples.empty());
}
