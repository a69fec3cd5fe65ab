#include "header_decoder.h"

#include "charset_decoder.h"

#include <QByteArray>
#include <QSet>

#include <algorithm>
#include <map>

namespace orvane::mail {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isHighByte(char c) {
    return static_cast<unsigned char>(c) >= 0x80;
}

QByteArray unfolded(QByteArrayView raw) {
    QByteArray out;
    out.reserve(raw.size());
    const auto isBreak = [](char c) { return c == '\r' || c == '\n'; };
    for (const char* at = raw.begin(); at != raw.end();) {
        const char* lineEnd = std::find_if(at, raw.end(), isBreak);
        out.append(at, lineEnd - at);
        at = std::find_if_not(lineEnd, raw.end(), isBreak);
    }
    return std::move(out).trimmed();
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "=XX" escapes (and "_" for a blank in Q words); a broken escape stays as is.
QByteArray unescaped(QByteArrayView text, char marker, bool underscoreIsBlank) {
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == marker && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out.append(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else if (c == '_' && underscoreIsBlank) {
            out.append(' ');
        } else {
            out.append(c);
        }
    }
    return out;
}

// Views into the header text.
struct EncodedWord {
    QByteArrayView charset;  // without an RFC 2231 language tag
    char encoding;           // 'B' or 'Q'
    QByteArrayView text;
    qsizetype end;  // index just after "?="
};

// The next place of `needle` at or after a position that only moves forward,
// remembered between calls: a header full of unterminated encoded words or
// of parameters without "=" is still read in one pass.
class NextFinder {
  public:
    NextFinder(QByteArrayView text, QByteArrayView needle) : text_(text), needle_(needle) {}

    // -1 when there is none.
    qsizetype from(qsizetype start) {
        if (found_ == -1 || found_ >= start)
            return found_;
        found_ = text_.indexOf(needle_, start);
        return found_;
    }

  private:
    QByteArrayView text_;
    QByteArrayView needle_;
    qsizetype found_ = -2;  // not searched yet
};

constexpr qsizetype kMaxCharsetLength = 80;

std::optional<EncodedWord> encodedWordAt(QByteArrayView s, qsizetype i, NextFinder& closes) {
    if (!s.sliced(i).startsWith("=?"))
        return std::nullopt;
    const QByteArrayView head = s.sliced(i + 2, std::min(kMaxCharsetLength, s.size() - i - 2));
    const qsizetype charsetLength = head.indexOf('?');
    const qsizetype charsetEnd = i + 2 + charsetLength;
    if (charsetLength <= 0 || charsetEnd + 2 >= s.size())
        return std::nullopt;
    const QByteArrayView charset = s.sliced(i + 2, charsetLength);
    if (std::any_of(charset.begin(), charset.end(), [](char c) { return isBlank(c) || c == '='; }))
        return std::nullopt;
    const char encoding = static_cast<char>(s[charsetEnd + 1] & ~0x20);
    if ((encoding != 'B' && encoding != 'Q') || s[charsetEnd + 2] != '?')
        return std::nullopt;
    const qsizetype textStart = charsetEnd + 3;
    const qsizetype close = closes.from(textStart);
    if (close < 0)
        return std::nullopt;
    const qsizetype star = charset.indexOf('*');  // RFC 2231 language tag
    return EncodedWord{star >= 0 ? charset.first(star) : charset, encoding,
                       s.sliced(textStart, close - textStart), close + 2};
}

// Collects the bytes of adjacent encoded words in one charset.
class WordRun {
  public:
    bool active() const { return active_; }
    bool accepts(const EncodedWord& w) const {
        return active_ && w.charset.compare(charset_, Qt::CaseInsensitive) == 0;
    }

    void start(const EncodedWord& w) {
        active_ = true;
        charset_ = w.charset.toByteArray();
        add(w);
    }
    void add(const EncodedWord& w) {
        if (w.encoding == 'B') {
            for (const char c : w.text)
                if (c != ' ')
                    base64_ += c;
            // Whole quanta of adjacent words decode as one; a word cut short
            // of a quantum continues in the next one; padding ends a run of
            // quanta.
            if (base64_.endsWith('='))
                takeBase64();
        } else {
            takeBase64();
            bytes_ += unescaped(w.text, '=', true);
        }
    }
    QString finish() {
        takeBase64();
        QString text = decodeText(bytes_, charset_);
        *this = WordRun();
        return text;
    }

  private:
    void takeBase64() {
        if (base64_.isEmpty())
            return;
        bytes_ += QByteArray::fromBase64(base64_);
        base64_.clear();
    }

    bool active_ = false;
    QByteArray charset_;
    QByteArray bytes_;
    QByteArray base64_;
};

QString oneLine(const QString& text) {
    QString out(text.size(), Qt::Uninitialized);
    QChar* to = out.data();
    for (const QChar c : text) {
        if (c == u'\t')
            *to++ = u' ';
        else if (c.unicode() >= 0x20 && c.unicode() != 0x7F)
            *to++ = c;
    }
    out.truncate(to - out.data());
    return std::move(out).trimmed();
}

QByteArray withoutBlanks(QByteArrayView s) {
    QByteArray out;
    for (char c : s)
        if (!isBlank(c))
            out.append(c);
    return out;
}

// Reads a quoted string starting after its opening quote at `i`; returns the
// index after the closing quote. A backslash escapes only a quote or a
// backslash, and never right after an 8-bit byte: in raw Shift_JIS text
// 0x5C is the second byte of characters such as "表" and "ソ".
qsizetype readQuoted(QByteArrayView s, qsizetype i, QByteArray& into) {
    while (i < s.size()) {
        const char* special =
            std::find_if(s.begin() + i, s.end(), [](char c) { return c == '"' || c == '\\'; });
        const qsizetype at = special - s.begin();
        into.append(s.sliced(i, at - i));  // ordinary characters in one go
        if (at == s.size())
            return at;
        if (s[at] == '"')
            return at + 1;
        if (at + 1 < s.size() && (s[at + 1] == '"' || s[at + 1] == '\\') &&
            (at == 0 || !isHighByte(s[at - 1]))) {
            into.append(s[at + 1]);
            i = at + 2;
        } else {
            into.append('\\');
            i = at + 1;
        }
    }
    return i;
}

}  // namespace

QString decodeHeaderText(QByteArrayView raw, QByteArrayView fallbackCharset) {
    const QByteArray s = unfolded(raw);
    const QByteArrayView text(s);
    QString out;
    qsizetype plainStart = 0;  // raw text since the last encoded word
    qsizetype plainEnd = 0;
    WordRun run;
    const auto plain = [&] { return text.sliced(plainStart, plainEnd - plainStart); };
    const auto flushPlain = [&] {
        if (plainEnd > plainStart)
            out += decodeText(plain(), fallbackCharset);
    };
    NextFinder opens(s, "=?");
    NextFinder closes(s, "?=");
    for (qsizetype i = 0; i < s.size();) {
        const qsizetype open = opens.from(i);
        if (open != i) {  // plain text up to the next word
            i = plainEnd = open < 0 ? s.size() : open;
            continue;
        }
        if (auto word = encodedWordAt(s, i, closes)) {
            const QByteArrayView between = plain();
            const bool onlyBlanks = std::all_of(between.begin(), between.end(), isBlank);
            if (run.accepts(*word) && onlyBlanks) {
                run.add(*word);  // blanks between encoded words are not text
            } else {
                if (run.active()) {
                    if (onlyBlanks)
                        plainStart = plainEnd;
                    out += run.finish();
                }
                flushPlain();
                run.start(*word);
            }
            i = plainStart = plainEnd = word->end;
            continue;
        }
        i = plainEnd = i + 1;  // "=?" that starts no word is text
    }
    if (run.active())
        out += run.finish();
    flushPlain();
    return oneLine(out);
}

QList<QByteArray> encodedWordCharsets(QByteArrayView raw) {
    QList<QByteArray> charsets;
    QSet<QByteArray> seen;
    NextFinder closes(raw, "?=");
    for (qsizetype i = raw.indexOf("=?"); i >= 0; i = raw.indexOf("=?", i + 2)) {
        const auto word = encodedWordAt(raw, i, closes);
        if (!word)
            continue;
        if (!charsets.isEmpty() && word->charset.compare(charsets.back(), Qt::CaseInsensitive) == 0)
            continue;  // the common case: the same charset again
        const QByteArray charset = word->charset.toByteArray().toLower();
        if (!seen.contains(charset)) {
            seen.insert(charset);
            charsets << charset;
        }
        i = word->end - 2;
    }
    return charsets;
}

std::optional<Mailbox> firstMailbox(QByteArrayView raw, QByteArrayView fallbackCharset) {
    const QByteArray s = unfolded(raw);
    QByteArray phrase, angle, comment;
    bool inAngle = false, sawAngle = false;
    int depth = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (depth > 0) {
            if (c == '(')
                ++depth;
            else if (c == ')')
                --depth;
            if (depth > 0)
                comment.append(c);
            else
                comment.append(' ');
            continue;
        }
        if (c == '"') {
            QByteArray quoted;
            i = readQuoted(s, i + 1, quoted) - 1;
            if (inAngle)
                angle += '"' + quoted + '"';
            else
                phrase += quoted;
            continue;
        }
        if (inAngle) {
            if (c == '>')
                inAngle = false;
            else
                angle.append(c);
            continue;
        }
        switch (c) {
            case '(':
                depth = 1;
                break;
            case '<':
                inAngle = sawAngle = true;
                break;
            case ':':
                if (!sawAngle)
                    phrase.clear();  // "group:" introduces the mailboxes
                break;
            case ',':
            case ';':
                if (sawAngle || !withoutBlanks(phrase).isEmpty())
                    i = s.size();  // the first mailbox is complete
                else
                    phrase.clear();
                break;
            default:
                phrase.append(c);
        }
    }

    QByteArray address = sawAngle ? withoutBlanks(angle) : withoutBlanks(phrase);
    if (address.startsWith('@') && address.contains(':'))
        address = address.mid(address.indexOf(':') + 1);  // obsolete source route
    QString name;
    if (sawAngle)
        name = decodeHeaderText(phrase, fallbackCharset);
    if (name.isEmpty())
        name = decodeHeaderText(comment.trimmed(), fallbackCharset);
    if (address.isEmpty() && name.isEmpty())
        return std::nullopt;
    return Mailbox{name, oneLine(decodeText(address, "utf-8"))};
}

std::optional<QString> headerParameter(QByteArrayView raw, QByteArrayView name,
                                       QByteArrayView fallbackCharset) {
    const QByteArray s = unfolded(raw);
    const QByteArray wanted = name.toByteArray().toLower();
    std::optional<QByteArray> plain;
    std::map<int, std::pair<QByteArray, bool>> pieces;  // index -> (value, percent-encoded)

    NextFinder equals(s, "="), semicolons(s, ";");
    qsizetype i = 0;
    // Skip the value before the first parameter ("attachment", "text/plain").
    for (; i < s.size() && s[i] != ';'; ++i)
        if (s[i] == '"') {
            QByteArray ignored;
            i = readQuoted(s, i + 1, ignored) - 1;
        }
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ';' || isBlank(s[i])))
            ++i;
        const qsizetype eq = equals.from(i);
        const qsizetype semi = semicolons.from(i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            i = semi < 0 ? s.size() : semi;
            continue;
        }
        const QByteArray attribute = s.sliced(i, eq - i).trimmed().toLower();
        i = eq + 1;
        while (i < s.size() && isBlank(s[i]))
            ++i;
        QByteArray value;
        if (i < s.size() && s[i] == '"') {
            i = readQuoted(s, i + 1, value);
        } else {
            const qsizetype end = semicolons.from(i);
            value = s.sliced(i, (end < 0 ? s.size() : end) - i).trimmed();
            i = end < 0 ? s.size() : end;
        }

        if (attribute == wanted) {
            if (!plain)
                plain = value;
        } else if (attribute.startsWith(wanted + '*')) {
            QByteArray rest = attribute.mid(wanted.size() + 1);  // "", "*", "0", "0*", "1"...
            const bool encoded = rest.isEmpty() || rest.endsWith('*');
            if (rest.endsWith('*'))
                rest.chop(1);
            bool numeric = true;
            const int index = rest.isEmpty() ? 0 : rest.toInt(&numeric);
            if (numeric && !pieces.contains(index))
                pieces[index] = {value, encoded};
        }
    }

    if (!pieces.empty()) {
        QByteArray charset(fallbackCharset.toByteArray());
        QByteArray bytes;
        for (auto& [index, piece] : pieces) {
            auto& [value, encoded] = piece;
            if (index == pieces.begin()->first && encoded && value.count('\'') >= 2) {
                const qsizetype first = value.indexOf('\'');
                const qsizetype second = value.indexOf('\'', first + 1);
                if (first > 0)
                    charset = value.left(first);
                value = value.mid(second + 1);
            }
            bytes += encoded ? unescaped(value, '%', false) : value;
        }
        return oneLine(decodeText(bytes, charset));
    }
    if (!plain)
        return std::nullopt;
    if (plain->contains("=?"))
        return decodeHeaderText(*plain, fallbackCharset);
    return oneLine(decodeText(*plain, fallbackCharset));
}

}  // namespace orvane::mail
