#include "text_normalizer.h"

#include <QChar>
#include <QRegularExpression>

#include <vector>

namespace orvane::speech {
namespace {

bool isWaveDash(char32_t c) {
    return c == U'~' || c == U'\u301C' || c == U'\uFF5E' || c == U'\u223C' || c == U'\u2053';
}

bool isKana(char32_t c) {
    return (c >= 0x3041 && c <= 0x309F) || (c >= 0x30A0 && c <= 0x30FF);
}

bool isAsciiDigit(char32_t c) {
    return c >= U'0' && c <= U'9';
}

// Letters, digits, kana and kanji: what makes a text worth speaking.
bool isSpeakable(char32_t c) {
    return QChar::isLetterOrNumber(c);
}

// Signs that no engine reads and that carry no meaning when read aloud.
bool isUnreadableSign(char32_t c) {
    switch (QChar::category(c)) {
        case QChar::Symbol_Other:     // ♪ ☆ emoji
        case QChar::Symbol_Modifier:  // ^ `
        case QChar::Other_PrivateUse:
        case QChar::Other_NotAssigned:
        case QChar::Other_Surrogate:
        case QChar::Other_Format:  // zero-width joiners, variation selectors
            return true;
        default:
            return false;
    }
}

}  // namespace

QString normalizeForSpeech(const QString& text) {
    const std::vector<char32_t> in = [&] {
        const QList<uint> ucs4 = text.normalized(QString::NormalizationForm_KC).toUcs4();
        return std::vector<char32_t>(ucs4.begin(), ucs4.end());
    }();
    QString out;
    out.reserve(text.size());
    bool anySpeakable = false;
    auto appendPause = [&out](const QString& mark) {
        while (out.endsWith(QLatin1Char(' '))) {
            out.chop(1);
        }
        if (!out.isEmpty() && !out.endsWith(QStringLiteral("、")) &&
            !out.endsWith(QStringLiteral("。"))) {
            out += mark;
        }
    };
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char32_t c = in[i];
        if (c == U'\n' || c == U'\r' || c == U'\u2028' || c == U'\u2029') {
            appendPause(QStringLiteral("、"));
        } else if (isWaveDash(c)) {
            const char32_t prev = i > 0 ? in[i - 1] : 0;
            const char32_t next = i + 1 < in.size() ? in[i + 1] : 0;
            if (isAsciiDigit(prev) && isAsciiDigit(next)) {
                out += QStringLiteral("から");
            } else if (isKana(prev)) {
                out += QStringLiteral("ー");
            } else {
                out += QLatin1Char(' ');
            }
        } else if (QChar::isSpace(c) || c < 0x20 || c == 0x7F) {
            if (!out.isEmpty() && !out.endsWith(QLatin1Char(' '))) {
                out += QLatin1Char(' ');
            }
        } else if (isUnreadableSign(c)) {
            if (!out.isEmpty() && !out.endsWith(QLatin1Char(' '))) {
                out += QLatin1Char(' ');
            }
        } else {
            anySpeakable = anySpeakable || isSpeakable(c);
            out += QString::fromUcs4(&c, 1);
        }
    }
    if (!anySpeakable) {
        return {};
    }
    // Thousands separators: "1,000" is one number.
    static const QRegularExpression thousands(QStringLiteral("(?<=\\d),(?=\\d{3}(?!\\d))"));
    out.remove(thousands);
    out = out.trimmed();
    while (out.startsWith(QStringLiteral("、"))) {
        out.remove(0, 1);
    }
    while (out.endsWith(QStringLiteral("、"))) {
        out.chop(1);
    }
    return out.trimmed();
}

QStringList splitForSynthesis(const QString& text, int softLimit, int hardLimit) {
    static const QString sentenceEnds = QStringLiteral("。！？!?");
    static const QString pauses = QStringLiteral("、， ,");
    QStringList pieces;
    QString piece;
    auto flush = [&] {
        const QString t = piece.trimmed();
        if (!t.isEmpty()) {
            pieces << t;
        }
        piece.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        piece += c;
        // Never cut between the halves of a surrogate pair.
        if (c.isHighSurrogate()) {
            continue;
        }
        if (sentenceEnds.contains(c)) {
            flush();
        } else if (piece.size() >= softLimit && pauses.contains(c)) {
            flush();
        } else if (piece.size() >= hardLimit) {
            flush();
        }
    }
    flush();
    return pieces;
}

}  // namespace orvane::speech
