#include "charset_decoder.h"

#include "stream_decoders.h"

#include <map>

namespace orvane::mail {
namespace {

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

QByteArrayView withoutLanguage(QByteArrayView label) {
    const QByteArrayView trimmed = label.trimmed();
    const qsizetype star = trimmed.indexOf('*');
    return star >= 0 ? trimmed.first(star) : trimmed;  // RFC 2231 language suffix
}

bool isLatin1Label(QByteArrayView label) {
    const QByteArray n = normalizedLabel(label);
    return n == "iso88591" || n == "latin1" || n == "l1";
}

// Bytes in memory, in pieces, so that a trial can give up early.
ChunkedBytes inPieces(QByteArrayView bytes) {
    return [bytes](const ChunkVisitor& visit) {
        constexpr qsizetype kPiece = 64 * 1024;
        for (qsizetype at = 0; at < bytes.size(); at += kPiece)
            if (!visit(bytes.sliced(at, std::min(kPiece, bytes.size() - at))))
                break;
        return true;
    };
}

bool hasJisEscape(QByteArrayView bytes) {
    return bytes.contains("\x1B$B") || bytes.contains("\x1B$@") || bytes.contains("\x1B(I") ||
           bytes.contains("\x1B(J") || bytes.contains("\x1B$(D");
}

// What one cheap pass over the bytes tells.
struct Survey {
    qsizetype size = 0;
    bool ascii = true;
    bool jisEscape = false;
    bool utf8 = false;
};

Survey survey(const ChunkedBytes& bytes) {
    Survey survey;
    Utf8Validator utf8;
    QByteArray tail;  // an escape sequence may straddle two pieces
    bytes([&](QByteArrayView piece) {
        survey.size += piece.size();
        if (survey.ascii)
            for (char c : piece)
                if (static_cast<unsigned char>(c) >= 0x80) {
                    survey.ascii = false;
                    break;
                }
        if (!survey.jisEscape) {
            tail.append(piece.first(std::min<qsizetype>(piece.size(), 5)));
            survey.jisEscape = hasJisEscape(tail) || hasJisEscape(piece);
            if (piece.size() >= 5)
                tail = piece.last(5).toByteArray();
            else
                tail = tail.right(5);
        }
        utf8.feed(piece);
        return true;
    });
    survey.utf8 = utf8.valid();
    return survey;
}

// How the bytes read in one decoding.
struct Trial {
    bool known = false;  // the system has the charset
    bool whole = false;  // read to the end, not given up at the first error
    qsizetype errors = 0;
    JapaneseScore japanese;
    std::optional<QString> text;  // kept when asked for and clean
    bool clean() const { return known && errors == 0; }
};

struct Choice {
    Decoding decoding;
    QByteArray label = {};  // for Decoding::Labelled
};

// Chooses how to read the bytes, trying each candidate decoding at most once
// (a trial that only has to tell whether the bytes are clean stops at the
// first error). With `keepText`, a clean trial keeps its text, so that small
// bytes need not be decoded again.
class Chooser {
  public:
    Chooser(const ChunkedBytes& bytes, QByteArrayView label, bool keepText)
        : bytes_(bytes), label_(withoutLanguage(label).toByteArray()), keepText_(keepText) {}

    // The text of the clean trial of `decoding`, when it was kept.
    std::optional<QString> takeText(Decoding decoding) {
        const auto found = trials_.find(decoding);
        if (found == trials_.end() || !found->second.clean() || !found->second.text)
            return std::nullopt;
        return std::move(found->second.text);
    }

    Choice choose() {
        const Family family = familyOf(label_);
        const Survey s = survey(bytes_);
        if (s.ascii) {
            if (family == Family::Iso2022Jp || s.jisEscape)
                return {Decoding::Iso2022Jp};
            if (family == Family::Other && trial(Decoding::Labelled).clean())
                return {Decoding::Labelled, label_};
            return {Decoding::Latin1};
        }
        // Valid multibyte UTF-8 is almost never an accident of another
        // charset: it wins over any label.
        if (family != Family::Unknown && s.utf8)
            return {Decoding::Utf8};
        if (family == Family::Latin) {
            // Japanese mail mislabelled as Latin: prefer a clean Japanese
            // reading with kana in it.
            if (const auto japanese = cleanJapanese(); japanese &&
                                                       trial(*japanese).japanese.score > 0 &&
                                                       trial(*japanese).japanese.hasKana)
                return {*japanese};
        }
        if (const auto labelled = asLabelled(family))
            return *labelled;
        return detect(s);
    }

  private:
    std::optional<Choice> asLabelled(Family family) {
        switch (family) {
            case Family::ShiftJis:
                return clean(Decoding::Cp932);
            case Family::EucJp:
                return clean(Decoding::EucJp);
            case Family::Latin:
                // Mailers write Windows-1252 (curly quotes, euro sign) under
                // the ISO-8859-1 label; the two agree everywhere else.
                if (isLatin1Label(label_))
                    if (auto windows = clean(Decoding::Cp1252))
                        return windows;
                return clean(Decoding::Labelled);
            case Family::Other:
                return clean(Decoding::Labelled);
            default:
                return std::nullopt;
        }
    }

    Choice detect(const Survey& s) {
        if (s.utf8)
            return {Decoding::Utf8};
        if (s.jisEscape)
            return {Decoding::Iso2022Jp};
        if (const auto japanese = cleanJapanese())
            return {*japanese};
        // Nothing decodes cleanly: take the candidate with the fewest losses,
        // and Windows-1252 when that loses less than any Japanese reading.
        const Decoding lenient =
            trial(Decoding::EucJp).japanese.score > trial(Decoding::Cp932).japanese.score
                ? Decoding::EucJp
                : Decoding::Cp932;
        if (trial(lenient).errors * 2 < s.size)
            return {lenient};
        if (trial(Decoding::Cp1252).clean())
            return {Decoding::Cp1252};
        return {Decoding::Latin1};
    }

    // The Japanese decoding without errors that looks most like Japanese.
    std::optional<Decoding> cleanJapanese() {
        std::optional<Decoding> best;
        for (const Decoding candidate : {Decoding::Cp932, Decoding::EucJp})
            if (trial(candidate).clean() &&
                (!best || trial(candidate).japanese.score > trial(*best).japanese.score))
                best = candidate;
        return best;
    }

    std::optional<Choice> clean(Decoding decoding) {
        if (!trial(decoding).clean())
            return std::nullopt;
        return Choice{decoding, label_};
    }

    // `toTheEnd`: counts every error and scores every character, instead of
    // stopping at the first error.
    const Trial& trial(Decoding decoding, bool toTheEnd = false) {
        const auto found = trials_.find(decoding);
        if (found != trials_.end() && (found->second.whole || !toTheEnd))
            return found->second;
        Trial& result = trials_[decoding];
        result = Trial();
        auto decoder = makeDecoder(decoding, label_);
        if (!decoder)
            return result;
        result.known = true;
        QString text;
        QString kept;
        bool keeping = keepText_;
        result.whole = bytes_([&](QByteArrayView piece) {
            decoder->feed(piece, text);
            result.japanese.add(text);
            if (keeping)
                kept += text;
            text.truncate(0);
            keeping = keeping && decoder->errors() == 0;
            return toTheEnd || decoder->errors() == 0;
        });
        result.whole = result.whole && (toTheEnd || decoder->errors() == 0);
        if (result.whole) {
            decoder->finish(text);
            result.japanese.add(text);
            kept += text;
        }
        result.errors = decoder->errors();
        if (keeping && result.whole && result.errors == 0)
            result.text = std::move(kept);
        return result;
    }

    const ChunkedBytes& bytes_;
    QByteArray label_;
    bool keepText_;
    std::map<Decoding, Trial> trials_;
};

void decodeAs(const ChunkedBytes& bytes, const Choice& choice,
              const std::function<void(QStringView)>& emit) {
    auto decoder = makeDecoder(choice.decoding, choice.label);
    if (!decoder)
        decoder = makeDecoder(Decoding::Latin1);
    QString text;
    bytes([&](QByteArrayView piece) {
        decoder->feed(piece, text);
        if (!text.isEmpty())
            emit(text);
        text.truncate(0);
        return true;
    });
    decoder->finish(text);
    if (!text.isEmpty())
        emit(text);
}

}  // namespace

void decodeText(const ChunkedBytes& bytes, QByteArrayView label,
                const std::function<void(QStringView)>& emit) {
    const Choice choice = Chooser(bytes, label, false).choose();
    decodeAs(bytes, choice, emit);
}

QString decodeText(QByteArrayView bytes, QByteArrayView label) {
    const ChunkedBytes pieces = inPieces(bytes);
    Chooser chooser(pieces, label, true);
    const Choice choice = chooser.choose();
    if (std::optional<QString> kept = chooser.takeText(choice.decoding))
        return std::move(*kept);
    QString text;
    decodeAs(pieces, choice, [&](QStringView piece) { text += piece; });
    return text;
}

std::optional<QString> decodeStrictly(QByteArrayView bytes, QByteArrayView label) {
    const QByteArray charset = withoutLanguage(label).toByteArray();
    const Family family = familyOf(charset);
    const Survey s = survey(inPieces(bytes));
    Decoding decoding = Decoding::Labelled;
    switch (family) {
        case Family::Unknown:
            return std::nullopt;
        case Family::Ascii:
            if (!s.ascii)
                return std::nullopt;
            decoding = Decoding::Latin1;
            break;
        case Family::Utf8:
            decoding = Decoding::Utf8;
            break;
        case Family::Iso2022Jp:
            if (!s.ascii)
                return std::nullopt;
            decoding = Decoding::Iso2022Jp;
            break;
        case Family::ShiftJis:
            decoding = Decoding::Cp932;
            break;
        case Family::EucJp:
            decoding = Decoding::EucJp;
            break;
        case Family::Latin:
            if (isLatin1Label(charset))
                if (auto windows = decodeStrictly(bytes, "windows-1252"))
                    return windows;
            break;
        case Family::Other:
            break;
    }
    auto decoder = makeDecoder(decoding, charset);
    if (!decoder)
        return std::nullopt;
    QString text;
    decoder->feed(bytes, text);
    decoder->finish(text);
    if (decoder->errors() > 0)
        return std::nullopt;
    return text;
}

bool describesEightBitBytes(QByteArrayView label) {
    switch (familyOf(withoutLanguage(label))) {
        case Family::Unknown:
        case Family::Ascii:
        case Family::Utf8:
        case Family::Iso2022Jp:
            return false;
        default:
            return true;
    }
}

}  // namespace orvane::mail
