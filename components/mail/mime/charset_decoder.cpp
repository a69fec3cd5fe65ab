#include "charset_decoder.h"

#include <QStringDecoder>

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <map>

namespace orvane::mail {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

enum class Family { Unknown, Ascii, Latin, Utf8, Iso2022Jp, ShiftJis, EucJp, Other };

QByteArray normalizedLabel(QByteArrayView label) {
    QByteArray out;
    for (char c : label) {
        if (c == '-' || c == '_' || c == ' ' || c == '"' || c == '\'' || c == '.')
            continue;
        out.append(static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c));
    }
    if (out.startsWith("x"))
        out.remove(0, 1);  // "x-sjis", "x-euc-jp", "x-unknown"
    return out;
}

Family familyOf(QByteArrayView label) {
    const QByteArray n = normalizedLabel(label);
    if (n.isEmpty() || n == "unknown" || n == "unknown8bit" || n == "default")
        return Family::Unknown;
    if (n.contains("utf8"))
        return Family::Utf8;
    if (n == "usascii" || n == "ascii" || n == "us" || n == "ansix341968" || n == "646")
        return Family::Ascii;
    if (n.contains("sjis") || n.contains("shiftjis") || n.contains("mskanji") ||
        n.contains("windows31j") || n.contains("cp932") || n.contains("ms932") ||
        n.contains("ibm932") || n.contains("cp943") || n.contains("ibm943") ||
        n.contains("csshiftjis"))
        return Family::ShiftJis;
    if (n.contains("2022jp") || n.startsWith("cp5022") || n == "jis" || n == "csjisencoding")
        return Family::Iso2022Jp;
    if (n.contains("eucjp") || n.contains("cp51932") || n == "ujis" ||
        n.contains("extendedunixcodepackedformatforjapanese") || n == "cseucpkdfmtjapanese")
        return Family::EucJp;
    if (n.startsWith("iso8859") || n.startsWith("latin") || n.startsWith("windows125") ||
        n.startsWith("cp125") || n == "l1")
        return Family::Latin;
    return Family::Other;
}

// One converter to UTF-8 per charset and thread, kept open: opening one
// loads and unloads a gconv module each time, which costs more than the
// conversion of a whole mail.
iconv_t converterFrom(const char* charset) {
    struct Cache {
        std::map<QByteArray, iconv_t> converters;
        ~Cache() {
            for (const auto& [name, cd] : converters)
                if (cd != reinterpret_cast<iconv_t>(-1))
                    iconv_close(cd);
        }
    };
    thread_local Cache cache;
    const QByteArray key(charset);
    auto found = cache.converters.find(key);
    if (found == cache.converters.end())
        found = cache.converters.emplace(key, iconv_open("UTF-8", charset)).first;
    if (found->second != reinterpret_cast<iconv_t>(-1))
        iconv(found->second, nullptr, nullptr, nullptr, nullptr);  // initial state
    return found->second;
}

// iconv to UTF-8. `strict`: nothing on any invalid or incomplete sequence;
// otherwise each undecodable byte becomes U+FFFD.
std::optional<QString> iconvToUnicode(QByteArrayView bytes, const char* from, bool strict) {
    iconv_t cd = converterFrom(from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;

    QString result;
    QByteArray buffer(static_cast<qsizetype>(bytes.size()) * 4 + 16, Qt::Uninitialized);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = static_cast<size_t>(bytes.size());
    while (true) {
        char* out = buffer.data();
        size_t outLeft = static_cast<size_t>(buffer.size());
        const size_t rc = iconv(cd, inLeft ? &in : nullptr, &inLeft, &out, &outLeft);
        result += QString::fromUtf8(buffer.data(), buffer.size() - static_cast<qsizetype>(outLeft));
        if (rc != static_cast<size_t>(-1)) {
            if (inLeft == 0)
                break;
            continue;
        }
        if (errno == E2BIG)
            continue;
        if (strict)
            return std::nullopt;
        result += kReplacement;
        if (errno == EINVAL || inLeft <= 1)
            break;  // an incomplete sequence at the end
        ++in;       // EILSEQ: skip one byte and go on
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return result;
}

QString withWaveDash(QString text) {
    // Vendor tables map JIS 0x2141 to U+FF5E; the sender meant the wave dash.
    text.replace(QChar(0xFF5E), QChar(0x301C));
    return text;
}

std::optional<QString> decodeCp932(QByteArrayView bytes, bool strict) {
    auto text = iconvToUnicode(bytes, "CP932", strict);
    if (!text)
        return std::nullopt;
    return withWaveDash(*text);
}

// Japanese text as JIS units: ASCII bytes, half-width katakana, JIS X 0208
// pairs and JIS X 0212 pairs, rendered through the CP932 table (which holds
// the NEC and IBM rows that CP50220 and CP51932 use) and, for JIS X 0212,
// eucJP-ms.
class JisRenderer {
  public:
    explicit JisRenderer(bool strict) : strict_(strict) {}

    void ascii(char c) { sjis_.append(c); }
    void katakana(unsigned char jis) { sjis_.append(static_cast<char>(jis | 0x80)); }
    void x0208(unsigned char j1, unsigned char j2) {
        const int s1 = ((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0);
        const int s2 = j2 + ((j1 & 1) ? (j2 >= 0x60 ? 0x20 : 0x1F) : 0x7E);
        sjis_.append(static_cast<char>(s1));
        sjis_.append(static_cast<char>(s2));
    }
    void x0212(unsigned char j1, unsigned char j2) {
        flush();
        const char euc[3] = {'\x8F', static_cast<char>(j1 | 0x80), static_cast<char>(j2 | 0x80)};
        append(iconvToUnicode(QByteArrayView(euc, 3), "EUC-JP-MS", strict_));
    }
    void invalid() {
        flush();
        if (strict_)
            failed_ = true;
        else
            text_ += kReplacement;
    }
    std::optional<QString> finish() {
        flush();
        if (failed_)
            return std::nullopt;
        return withWaveDash(text_);
    }

  private:
    void flush() {
        if (sjis_.isEmpty())
            return;
        append(iconvToUnicode(sjis_, "CP932", strict_));
        sjis_.clear();
    }
    void append(const std::optional<QString>& part) {
        if (part)
            text_ += *part;
        else
            failed_ = true;
    }

    bool strict_;
    bool failed_ = false;
    QByteArray sjis_;
    QString text_;
};

bool isJisByte(unsigned char c) {
    return c >= 0x21 && c <= 0x7E;
}

std::optional<QString> decodeIso2022Jp(QByteArrayView bytes, bool strict) {
    enum class Mode { Ascii, Katakana, X0208, X0212 } mode = Mode::Ascii;
    bool shiftedOut = false;  // SO/SI half-width katakana of CP50222
    JisRenderer out(strict);
    const auto at = [&](qsizetype i) -> unsigned char {
        return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0;
    };
    for (qsizetype i = 0; i < bytes.size();) {
        const unsigned char c = at(i);
        if (c == 0x1B) {
            const QByteArrayView rest = bytes.sliced(i + 1);
            const auto starts = [&](const char* s) { return rest.startsWith(QByteArrayView(s)); };
            if (starts("(B") || starts("(J") || starts("(H")) {
                mode = Mode::Ascii, i += 3;
            } else if (starts("(I")) {
                mode = Mode::Katakana, i += 3;
            } else if (starts("$@") || starts("$B")) {
                mode = Mode::X0208, i += 3;
            } else if (starts("&@\x1B$B")) {
                mode = Mode::X0208, i += 6;
            } else if (starts("$(B") || starts("$(Q") || starts("$(O")) {
                mode = Mode::X0208, i += 4;  // JIS X 0213 plane 1: read as 0208
            } else if (starts("$(D")) {
                mode = Mode::X0212, i += 4;
            } else {
                out.invalid();
                ++i;
            }
            continue;
        }
        if (c == 0x0E || c == 0x0F) {
            shiftedOut = c == 0x0E;
            ++i;
            continue;
        }
        if (c < 0x21 || c == 0x7F) {  // controls and blanks pass in any mode
            out.ascii(static_cast<char>(c));
            ++i;
            continue;
        }
        if (c >= 0xA1 && c <= 0xDF) {  // 8-bit katakana ("JIS8")
            out.katakana(c & 0x7F);
            ++i;
            continue;
        }
        if (c >= 0x80) {
            out.invalid();
            ++i;
            continue;
        }
        if (shiftedOut || mode == Mode::Katakana) {
            if (c <= 0x5F)
                out.katakana(c);
            else
                out.invalid();
            ++i;
        } else if (mode == Mode::Ascii) {
            out.ascii(static_cast<char>(c));
            ++i;
        } else if (isJisByte(at(i + 1))) {
            if (mode == Mode::X0208)
                out.x0208(c, at(i + 1));
            else
                out.x0212(c, at(i + 1));
            i += 2;
        } else {
            out.invalid();
            ++i;
        }
    }
    return out.finish();
}

std::optional<QString> decodeEucJp(QByteArrayView bytes, bool strict) {
    JisRenderer out(strict);
    const auto at = [&](qsizetype i) -> unsigned char {
        return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0;
    };
    const auto isEucByte = [](unsigned char b) { return b >= 0xA1 && b <= 0xFE; };
    for (qsizetype i = 0; i < bytes.size();) {
        const unsigned char c = at(i);
        if (c < 0x80) {
            out.ascii(static_cast<char>(c));
            ++i;
        } else if (c == 0x8E && at(i + 1) >= 0xA1 && at(i + 1) <= 0xDF) {
            out.katakana(at(i + 1) & 0x7F);
            i += 2;
        } else if (c == 0x8F && isEucByte(at(i + 1)) && isEucByte(at(i + 2))) {
            out.x0212(at(i + 1) & 0x7F, at(i + 2) & 0x7F);
            i += 3;
        } else if (isEucByte(c) && isEucByte(at(i + 1))) {
            out.x0208(c & 0x7F, at(i + 1) & 0x7F);
            i += 2;
        } else {
            out.invalid();
            ++i;
        }
    }
    return out.finish();
}

bool isAscii(QByteArrayView bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

bool hasJisEscape(QByteArrayView bytes) {
    return bytes.contains("\x1B$B") || bytes.contains("\x1B$@") || bytes.contains("\x1B(I") ||
           bytes.contains("\x1B(J") || bytes.contains("\x1B$(D");
}

std::optional<QString> decodeUtf8(QByteArrayView bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// How much a decoding looks like Japanese prose: kana and kanji count for
// it, half-width katakana, private-use and replacement characters against.
int japaneseScore(const QString& text) {
    int score = 0;
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u >= 0x3041 && u <= 0x30FF)
            score += 3;
        else if (u >= 0x4E00 && u <= 0x9FFF)
            score += 1;
        else if (u >= 0x3000 && u <= 0x303F)
            score += 1;
        else if (u >= 0xFF61 && u <= 0xFF9F)
            score -= 2;
        else if (u >= 0xE000 && u <= 0xF8FF)
            score -= 5;
        else if (u == kReplacement)
            score -= 10;
        else if (u < 0x20 && u != '\t' && u != '\n' && u != '\r')
            score -= 5;
    }
    return score;
}

struct Candidate {
    QString text;
    int score;
};

std::optional<Candidate> bestJapanese(QByteArrayView bytes, bool strict) {
    std::optional<Candidate> best;
    for (auto decoded : {decodeCp932(bytes, strict), decodeEucJp(bytes, strict)}) {
        if (!decoded)
            continue;
        const int score = japaneseScore(*decoded);
        if (!best || score > best->score)
            best = Candidate{*decoded, score};
    }
    return best;
}

QString detect(QByteArrayView bytes) {
    if (isAscii(bytes)) {
        if (hasJisEscape(bytes))
            return *decodeIso2022Jp(bytes, false);
        return QString::fromLatin1(bytes);
    }
    if (auto utf8 = decodeUtf8(bytes))
        return *utf8;
    if (hasJisEscape(bytes))
        return *decodeIso2022Jp(bytes, false);
    if (auto strict = bestJapanese(bytes, true))
        return strict->text;
    // Nothing decodes cleanly: take the candidate with the fewest losses,
    // and Windows-1252 when that loses less than any Japanese reading.
    const Candidate lenient = *bestJapanese(bytes, false);
    if (lenient.text.count(kReplacement) * 2 < bytes.size())
        return lenient.text;
    if (auto latin = iconvToUnicode(bytes, "CP1252", true))
        return *latin;
    return QString::fromLatin1(bytes);
}

std::optional<QString> decodeAs(QByteArrayView bytes, Family family, QByteArrayView label) {
    switch (family) {
        case Family::Unknown:
            return std::nullopt;
        case Family::Ascii:
            return isAscii(bytes) ? std::optional(QString::fromLatin1(bytes)) : std::nullopt;
        case Family::Utf8:
            return decodeUtf8(bytes);
        case Family::Iso2022Jp:
            return isAscii(bytes) ? decodeIso2022Jp(bytes, true) : std::nullopt;
        case Family::ShiftJis:
            return decodeCp932(bytes, true);
        case Family::EucJp:
            return decodeEucJp(bytes, true);
        case Family::Latin:
        case Family::Other:
            break;
    }
    if (family == Family::Latin) {
        // Mailers write Windows-1252 (curly quotes, euro sign) under the
        // ISO-8859-1 label; the two agree everywhere else.
        const QByteArray n = normalizedLabel(label);
        if (n == "iso88591" || n == "latin1" || n == "l1")
            if (auto windows = iconvToUnicode(bytes, "CP1252", true))
                return windows;
    }
    QByteArray name = label.toByteArray().trimmed();
    if (name.contains('*'))
        name.truncate(name.indexOf('*'));  // RFC 2231 language suffix
    return iconvToUnicode(bytes, name.constData(), true);
}

}  // namespace

std::optional<QString> decodeStrictly(QByteArrayView bytes, QByteArrayView label) {
    QByteArrayView charset = label;
    if (const auto star = label.indexOf('*'); star >= 0)
        charset = label.first(star);
    return decodeAs(bytes, familyOf(charset), charset);
}

QString decodeText(QByteArrayView bytes, QByteArrayView label) {
    if (bytes.isEmpty())
        return {};
    QByteArrayView charset = label.trimmed();
    if (const auto star = charset.indexOf('*'); star >= 0)
        charset = charset.first(star);
    const Family family = familyOf(charset);

    if (isAscii(bytes)) {
        if (family == Family::Iso2022Jp || hasJisEscape(bytes))
            return *decodeIso2022Jp(bytes, false);
        if (family == Family::Ascii || family == Family::Unknown || family == Family::Latin ||
            family == Family::Utf8 || family == Family::ShiftJis || family == Family::EucJp)
            return QString::fromLatin1(bytes);
    } else if (family != Family::Unknown) {
        // Valid multibyte UTF-8 is almost never an accident of another
        // charset: it wins over any label.
        if (auto utf8 = decodeUtf8(bytes))
            return *utf8;
    }

    if (family == Family::Latin) {
        // Japanese mail mislabelled as Latin: prefer a clean Japanese reading
        // with kana in it.
        if (auto japanese = bestJapanese(bytes, true);
            japanese && japanese->score > 0 &&
            std::any_of(japanese->text.cbegin(), japanese->text.cend(),
                        [](QChar c) { return c.unicode() >= 0x3041 && c.unicode() <= 0x30FF; }))
            return japanese->text;
    }
    if (auto labelled = decodeAs(bytes, family, charset))
        return *labelled;
    return detect(bytes);
}

}  // namespace orvane::mail
