#include "charset_decoder.h"
#include "header_decoder.h"

#include <QRandomGenerator>
#include <QStringDecoder>

#include <gtest/gtest.h>

namespace orvane::mail {
namespace {

// Header-like noise built from the pieces the decoders look for.
QByteArray noise(QRandomGenerator& random) {
    static const char* const pieces[] = {
        "=?",     "?=",     "UTF-8",  "?B?",     "?Q?",   "ISO-2022-JP", "shift_jis",
        "\x1b$B", "\x1b(B", "\x1b(I", "\x1b$(D", "\"",    "\\",          "(",
        ")",      "<",      ">",      ";",       ",",     ":",           "*",
        "%",      "'",      "=",      " ",       "\r\n ", "filename",    "filename*0*=",
        "name*=", "5pel",   "==",     "\x82",    "\xA0",  "\x8F",        "\x8E",
        "\xFF",   "\x0e",   "\x0f",   "a",       "_"};
    QByteArray out;
    const int count = random.bounded(1, 40);
    for (int i = 0; i < count; ++i)
        out += pieces[random.bounded(int(std::size(pieces)))];
    return out;
}

bool roundTripsAsUtf8(const QString& text) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString back = decoder.decode(text.toUtf8());
    return !decoder.hasError() && back == text;
}

TEST(DecoderRobustness, NoiseNeverCrashesAndAlwaysGivesValidText) {
    QRandomGenerator random(20261206);
    for (int round = 0; round < 5000; ++round) {
        const QByteArray input = noise(random);
        ASSERT_TRUE(roundTripsAsUtf8(decodeHeaderText(input, "shift_jis")))
            << input.toHex().constData();
        ASSERT_TRUE(roundTripsAsUtf8(decodeText(input, "iso-2022-jp")));
        ASSERT_TRUE(roundTripsAsUtf8(decodeText(input, "euc-jp")));
        ASSERT_TRUE(roundTripsAsUtf8(decodeText(input)));
        if (auto mailbox = firstMailbox(input)) {
            ASSERT_TRUE(roundTripsAsUtf8(mailbox->name));
            ASSERT_TRUE(roundTripsAsUtf8(mailbox->address));
        }
        if (auto name = headerParameter("attachment; " + input, "filename")) {
            ASSERT_TRUE(roundTripsAsUtf8(*name));
        }
    }
}

}  // namespace
}  // namespace orvane::mail
