#pragma once

#include <QByteArrayView>
#include <QString>

#include <memory>

namespace orvane::mail {

// Turns the bytes of one charset into text piece by piece. A character split
// between two pieces comes out whole and shift states carry over, so feeding
// the bytes in any cut gives the same text as feeding them at once. Bytes the
// charset cannot decode become U+FFFD (never "?") and are counted.
class StreamDecoder {
  public:
    virtual ~StreamDecoder() = default;
    // Appends the text of the next `bytes` to `out`; an incomplete sequence at
    // the end waits for the next call.
    virtual void feed(QByteArrayView bytes, QString& out) = 0;
    // No more bytes: an incomplete sequence left over becomes U+FFFD.
    virtual void finish(QString& out) = 0;
    // How many undecodable sequences there were.
    virtual qsizetype errors() const = 0;
};

// The ways of reading mail text. Japanese ones use the Windows vendor tables
// (NEC and IBM rows), because that is what Japanese senders write: Cp932 for
// any Shift_JIS, EucJp as eucJP-ms, Iso2022Jp as CP50220 with JIS X 0212 and
// SO/SI katakana. JIS 0x2141 is read as U+301C WAVE DASH ("〜").
enum class Decoding { Latin1, Utf8, Cp932, EucJp, Iso2022Jp, Cp1252, Labelled };

// A decoder for `decoding`; Labelled uses the charset named `label`. Nothing
// when the system knows no such charset.
std::unique_ptr<StreamDecoder> makeDecoder(Decoding decoding, QByteArrayView label = {});

// Whether bytes fed piece by piece are well-formed UTF-8 (no overlong forms,
// surrogates or incomplete sequences).
class Utf8Validator {
  public:
    void feed(QByteArrayView bytes);
    bool valid() const { return valid_ && pending_ == 0; }

  private:
    bool valid_ = true;
    int pending_ = 0;  // continuation bytes still expected
    unsigned char lower_ = 0x80;
    unsigned char upper_ = 0xBF;
};

// How much a text looks like Japanese prose: kana and kanji count for it,
// half-width katakana, private-use, replacement and control characters
// against.
struct JapaneseScore {
    int score = 0;
    bool hasKana = false;
    void add(QStringView text);
};

}  // namespace orvane::mail
