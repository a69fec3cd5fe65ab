#include "kana_reader.h"

#include <QFileInfo>
#include <QHash>
#include <QStringList>

#include <mecab.h>

#include <algorithm>

namespace orvane::speech {
namespace {

const char* const kDefaultDictionary = "/var/lib/mecab/dic/naist-jdic";

bool isKatakana(QChar c) {
    return (c.unicode() >= 0x30A1 && c.unicode() <= 0x30FA) || c == u'ー';
}
bool isHiragana(QChar c) {
    return c.unicode() >= 0x3041 && c.unicode() <= 0x309F;
}

// Reading of 0..9999 with the usual sound changes (さんびゃく, はっせん, ...).
QString belowTenThousand(int n) {
    static const char16_t* const digits[] = {u"",   u"いち", u"に",   u"さん", u"よん",
                                             u"ご", u"ろく", u"なな", u"はち", u"きゅう"};
    static const char16_t* const hundreds[] = {
        u"",         u"ひゃく",     u"にひゃく",   u"さんびゃく", u"よんひゃく",
        u"ごひゃく", u"ろっぴゃく", u"ななひゃく", u"はっぴゃく", u"きゅうひゃく"};
    static const char16_t* const thousands[] = {u"",         u"せん",      u"にせん",   u"さんぜん",
                                                u"よんせん", u"ごせん",    u"ろくせん", u"ななせん",
                                                u"はっせん", u"きゅうせん"};
    QString out =
        QString::fromUtf16(thousands[n / 1000]) + QString::fromUtf16(hundreds[n / 100 % 10]);
    const int tens = n / 10 % 10;
    if (tens > 0) {
        out +=
            (tens == 1 ? QString() : QString::fromUtf16(digits[tens])) + QStringLiteral("じゅう");
    }
    out += QString::fromUtf16(digits[n % 10]);
    return out;
}

}  // namespace

Expected<std::unique_ptr<KanaReader>> KanaReader::create(const QString& dictionaryDir) {
    const QString dir =
        dictionaryDir.isEmpty() ? QString::fromLatin1(kDefaultDictionary) : dictionaryDir;
    if (!QFileInfo::exists(dir + "/sys.dic")) {
        return fail(
            FailureKind::NotFound,
            QStringLiteral("MeCab dictionary not found in %1 (package mecab-naist-jdic)").arg(dir));
    }
    // -r /dev/null: the dictionary alone decides, whatever the system mecabrc says.
    const QByteArray args = "-r /dev/null -d " + dir.toLocal8Bit();
    mecab_t* mecab = mecab_new2(args.constData());
    if (!mecab) {
        return fail(FailureKind::Internal,
                    QStringLiteral("MeCab cannot open %1: %2")
                        .arg(dir, QString::fromLocal8Bit(mecab_strerror(nullptr))));
    }
    return std::unique_ptr<KanaReader>(new KanaReader(mecab));
}

KanaReader::~KanaReader() {
    mecab_destroy(mecab_);
}

QString KanaReader::numberToKana(const QString& digits) {
    if (digits.isEmpty()) {
        return {};
    }
    static const char16_t* const single[] = {u"ぜろ", u"いち", u"に",   u"さん", u"よん",
                                             u"ご",   u"ろく", u"なな", u"はち", u"きゅう"};
    QString trimmed = digits;
    while (trimmed.size() > 1 && trimmed.startsWith(u'0')) {
        trimmed.remove(0, 1);
    }
    // Past the 京 unit, and for numbers written with leading zeros (postal codes,
    // phone numbers), read digit by digit.
    if (trimmed.size() > 16 || trimmed.size() != digits.size()) {
        QString out;
        for (QChar c : digits) {
            out += QString::fromUtf16(single[c.digitValue()]);
        }
        return out;
    }
    if (trimmed == u"0") {
        return QStringLiteral("ぜろ");
    }
    static const char16_t* const units[] = {u"", u"まん", u"おく", u"ちょう"};
    QString out;
    const int groups = int((trimmed.size() + 3) / 4);
    for (int g = groups - 1; g >= 0; --g) {
        const qsizetype end = trimmed.size() - 4 * g;
        const qsizetype start = std::max<qsizetype>(0, end - 4);
        const int value = trimmed.mid(start, end - start).toInt();
        if (value > 0) {
            out += belowTenThousand(value) + QString::fromUtf16(units[g]);
        }
    }
    return out;
}

QString KanaReader::letterToKana(QChar letter) {
    static const char16_t* const names[] = {
        u"えー",   u"びー",       u"しー",     u"でぃー", u"いー",  u"えふ",   u"じー",
        u"えいち", u"あい",       u"じぇー",   u"けー",   u"える",  u"えむ",   u"えぬ",
        u"おー",   u"ぴー",       u"きゅー",   u"あーる", u"えす",  u"てぃー", u"ゆー",
        u"ぶい",   u"だぶりゅー", u"えっくす", u"わい",   u"ぜっと"};
    const char16_t c = letter.toLower().unicode();
    if (c < u'a' || c > u'z') {
        return {};
    }
    return QString::fromUtf16(names[c - u'a']);
}

QString KanaReader::katakanaToHiragana(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        if (c.unicode() >= 0x30A1 && c.unicode() <= 0x30F6) {
            c = QChar(c.unicode() - 0x60);
        }
    }
    return out;
}

// A word the dictionary does not know: kana as written, digits as numbers, letters
// by name, anything else dropped.
QString KanaReader::readUnknown(const QString& surface) const {
    QString out;
    for (qsizetype i = 0; i < surface.size();) {
        const QChar c = surface.at(i);
        if (c.isDigit() && c.unicode() < 128) {
            qsizetype j = i;
            while (j < surface.size() && surface.at(j).isDigit() && surface.at(j).unicode() < 128) {
                ++j;
            }
            out += numberToKana(surface.mid(i, j - i));
            i = j;
            continue;
        }
        static const QHash<QChar, QString> signs = {
            {u'@', QStringLiteral("あっと")},   {u'%', QStringLiteral("ぱーせんと")},
            {u'&', QStringLiteral("あんど")},   {u'+', QStringLiteral("ぷらす")},
            {u'#', QStringLiteral("しゃーぷ")}, {u'¥', QStringLiteral("えん")},
            {u'$', QStringLiteral("どる")}};
        if (isKatakana(c) || isHiragana(c)) {
            out += katakanaToHiragana(QString(c));
        } else if (signs.contains(c)) {
            out += signs.value(c);
        } else if (c.unicode() < 128 && c.isLetter()) {
            out += letterToKana(c);
        }
        ++i;
    }
    return out;
}

QString KanaReader::toKana(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    QString out;
    auto pause = [&out](const QString& mark) {
        if (!out.isEmpty() && !out.endsWith(u'、') && !out.endsWith(u'。')) {
            out += mark;
        }
    };
    // The dictionary splits "120" into one node per digit; numbers are read whole.
    QString digits;
    auto flushDigits = [&] {
        out += numberToKana(digits);
        digits.clear();
    };
    for (const mecab_node_t* node = mecab_sparse_tonode2(mecab_, utf8.constData(), utf8.size());
         node; node = node->next) {
        if (node->stat == MECAB_BOS_NODE || node->stat == MECAB_EOS_NODE) {
            continue;
        }
        const QString word = QString::fromUtf8(node->surface, node->length);
        const bool allDigits =
            !word.isEmpty() && std::all_of(word.begin(), word.end(), [](QChar c) {
                return c.unicode() >= u'0' && c.unicode() <= u'9';
            });
        if (allDigits && node->rlength == node->length) {
            digits += word;
            continue;
        }
        flushDigits();
        if (allDigits) {
            pause(QStringLiteral("、"));
            digits = word;
            continue;
        }
        // A blank before the word is a pause too.
        if (node->rlength > node->length) {
            pause(QStringLiteral("、"));
        }
        const QString surface = QString::fromUtf8(node->surface, node->length);
        const QStringList features = QString::fromUtf8(node->feature).split(u',');
        if (features.value(0) == u"記号") {
            if (surface.contains(u'。') || surface.contains(u'．') || surface == u"!" ||
                surface == u"?" || surface.contains(u'！') || surface.contains(u'？')) {
                pause(QStringLiteral("。"));
            } else if (surface.contains(u'、') || surface.contains(u'，') || surface == u"," ||
                       features.value(1) == u"空白" || features.value(1).startsWith(u"括弧")) {
                pause(QStringLiteral("、"));
            } else {
                out += readUnknown(surface);
            }
            continue;
        }
        // naist-jdic: ..., 原形, 読み, 発音. The pronunciation reads particles right.
        const QString pronunciation = features.value(8);
        const bool knownReading = node->stat != MECAB_UNK_NODE && !pronunciation.isEmpty() &&
                                  pronunciation != u"*" &&
                                  std::all_of(pronunciation.begin(), pronunciation.end(),
                                              [](QChar c) { return isKatakana(c); });
        bool hasAsciiDigit = false;
        for (QChar c : surface) {
            hasAsciiDigit = hasAsciiDigit || (c.isDigit() && c.unicode() < 128);
        }
        if (knownReading && !hasAsciiDigit) {
            out += katakanaToHiragana(pronunciation);
        } else {
            out += readUnknown(surface);
        }
    }
    flushDigits();
    while (out.startsWith(u'、') || out.startsWith(u'。')) {
        out.remove(0, 1);
    }
    return out;
}

}  // namespace orvane::speech
