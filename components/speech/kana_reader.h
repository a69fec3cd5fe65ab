#pragma once

#include "expected.h"

#include <QString>

#include <memory>

struct mecab_t;

namespace orvane::speech {

// Reads Japanese text aloud into hiragana with MeCab and the naist-jdic dictionary:
// kanji and katakana by the dictionary's pronunciation (so "は" as a particle reads
// "わ"), digits as Japanese numbers ("3" → "さん", "120" → "ひゃくにじゅう"),
// Latin letters by their names ("Re" → "あーるいー"), a few signs by name ("@" →
// "あっと"); other signs are dropped. Pauses (、。, blanks) stay as "、" and "。".
// Used by the fallback engine, whose voice reads hiragana only.
class KanaReader {
  public:
    // The dictionary folder; empty: Debian's naist-jdic.
    static Expected<std::unique_ptr<KanaReader>> create(const QString& dictionaryDir = {});
    ~KanaReader();
    KanaReader(const KanaReader&) = delete;
    KanaReader& operator=(const KanaReader&) = delete;

    QString toKana(const QString& text);

    // Parts that do not need the dictionary, public for tests.
    static QString numberToKana(const QString& digits);
    static QString letterToKana(QChar letter);
    static QString katakanaToHiragana(const QString& text);

  private:
    explicit KanaReader(mecab_t* mecab) : mecab_(mecab) {}
    QString readUnknown(const QString& surface) const;

    mecab_t* mecab_;
};

}  // namespace orvane::speech
