#include "audio.h"
#include "test_sounds.h"
#include "wav_reader.h"

#include <gtest/gtest.h>

using orvane::speech::Audio;
using orvane::speech::parseWav;
using orvane::speech::readWavPcm;
using orvane::speech::trimSilence;

namespace {

void put(QByteArray& b, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        b.append(char((v >> (8 * i)) & 0xff));
    }
}

struct WavShape {
    int channels = 1;
    int bits = 16;
    int format = 1;  // 1 integer PCM, 3 float, 0xFFFE extensible (integer sub-format)
    bool otherChunkFirst = false;
    bool sizeNeverFilledIn = false;  // a recorder that was stopped writes 0
};

QByteArray wav(const WavShape& shape, const QByteArray& pcm) {
    const bool extensible = shape.format == 0xFFFE;
    const int frameBytes = shape.channels * shape.bits / 8;
    QByteArray w("RIFF\0\0\0\0WAVE", 12);
    if (shape.otherChunkFirst) {
        w += QByteArray("LIST\3\0\0\0abc\0", 12);  // odd chunks are padded
    }
    w += "fmt ";
    for (const auto& [value, bytes] : {std::pair(extensible ? 40 : 16, 4),
                                       {shape.format, 2},
                                       {shape.channels, 2},
                                       {16000, 4},
                                       {16000 * frameBytes, 4},
                                       {frameBytes, 2},
                                       {shape.bits, 2}}) {
        put(w, value, bytes);
    }
    if (extensible) {
        put(w, 22, 2);
        put(w, shape.bits, 2);
        put(w, 0, 4);
        put(w, 1, 2);  // the sub-format GUID begins with the format code
        w += QByteArray(14, '\0');
    }
    w += "data";
    put(w, shape.sizeNeverFilledIn ? 0 : pcm.size(), 4);
    return w + pcm;
}

QByteArray samples(std::initializer_list<std::int32_t> values, int bytes) {
    QByteArray b;
    for (std::int32_t v : values) {
        put(b, std::uint32_t(v), bytes);
    }
    return b;
}

QByteArray floats(std::initializer_list<float> values) {
    QByteArray b;
    for (float v : values) {
        b.append(reinterpret_cast<const char*>(&v), sizeof v);
    }
    return b;
}

}  // namespace

TEST(WavReader, FindsTheChunksAndReadsEverySampleFormat) {
    struct Row {
        const char* name;
        QByteArray file;
        std::vector<std::int16_t> samples;
    };
    const QByteArray mono16 = samples({1000, -1000}, 2);
    const Row rows[] = {
        {"mono, fmt first", wav({}, mono16), {1000, -1000}},
        {"other chunk first", wav({.otherChunkFirst = true}, mono16), {1000, -1000}},
        {"size never filled in", wav({.sizeNeverFilledIn = true}, mono16), {1000, -1000}},
        {"stereo mixed", wav({.channels = 2}, samples({1000, 3000}, 2)), {2000}},
        {"8-bit is unsigned",
         wav({.bits = 8}, QByteArray("\x80\xff\x00", 3)),
         {0, 127 << 8, -128 << 8}},
        {"24-bit keeps the top bits",
         wav({.bits = 24}, samples({0x123456, -0x123456}, 3)),
         {0x1234, -0x1235}},
        {"32-bit", wav({.bits = 32}, samples({0x12345678}, 4)), {0x1234}},
        {"extensible", wav({.format = 0xFFFE}, mono16), {1000, -1000}},
        {"float, clipped", wav({.bits = 32, .format = 3}, floats({0.5f, -2.0f})), {16383, -32767}},
        {"odd byte left over", wav({}, mono16 + 'x'), {1000, -1000}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto audio = parseWav(row.file);
        ASSERT_TRUE(audio);
        EXPECT_EQ(audio->sampleRate, 16000);
        EXPECT_EQ(audio->samples, row.samples);
    }
    const auto wide = readWavPcm(wav({.channels = 2, .bits = 24}, samples({0x400000, 0}, 3)));
    ASSERT_TRUE(wide);
    EXPECT_DOUBLE_EQ(wide->sample(0, 0), 0.5);
    EXPECT_DOUBLE_EQ(wide->seconds(), 1.0 / 16000);
}

TEST(WavReader, RefusesWhatIsNotPcmWav) {
    const struct {
        const char* name;
        QByteArray bytes;
    } rows[] = {
        {"data before fmt", QByteArray("RIFF\0\0\0\0WAVEdata\0\0\0\0", 20)},
        {"compressed", wav({.bits = 4, .format = 2}, "abcd")},
        {"64-bit float", wav({.bits = 64, .format = 3}, QByteArray(16, '\0'))},
        {"no channels", wav({.channels = 0}, "abcd")},
        {"chunk size past the end", QByteArray("RIFF\0\0\0\0WAVEfmt \xff\xff\xff\x7f", 20)},
        {"text", "not a wav file at all"},
        {"empty", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE(parseWav(row.bytes));
    }
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

TEST(Resampled, KeepsLengthInTimeAndPitch) {
    using orvane::speech::makeTone;
    using orvane::speech::resampled;
    using orvane::speech::test::pitchOf;
    const struct {
        const char* name;
        int from;
        int to;
    } rows[] = {{"up, 24 to 44.1 kHz", 24000, 44100}, {"down, 48 to 16 kHz", 48000, 16000}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Audio tone = makeTone(500, 1000, row.from);
        const Audio out = resampled(tone, row.to);
        EXPECT_EQ(out.sampleRate, row.to);
        EXPECT_EQ(out.samples.size(), std::size_t(row.to));
        EXPECT_NEAR(pitchOf(out), 500, 5);
    }
    const Audio same = makeTone(500, 10, 8000);
    EXPECT_EQ(resampled(same, 8000).samples, same.samples);
    EXPECT_TRUE(resampled(Audio{8000, {}}, 16000).samples.empty());
}
