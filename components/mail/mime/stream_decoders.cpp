#include "stream_decoders.h"

#include <QByteArray>
#include <QStringDecoder>
#include <QSysInfo>

#include <iconv.h>

#include <cerrno>
#include <map>
#include <vector>

namespace orvane::mail {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// iconv's name for QString's own encoding.
constexpr const char* kUtf16 =
    QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";

// Converters to UTF-16, kept open per thread and charset: opening one loads a
// gconv module, which costs more than converting a whole mail. A converter is
// lent to one decoder at a time, so two decoders never share a shift state.
class ConverterPool {
  public:
    ~ConverterPool() {
        for (auto& [name, idle] : idle_)
            for (iconv_t cd : idle)
                iconv_close(cd);
    }
    iconv_t take(const QByteArray& charset) {
        std::vector<iconv_t>& idle = idle_[charset];
        if (idle.empty())
            return iconv_open(kUtf16, charset.constData());
        iconv_t cd = idle.back();
        idle.pop_back();
        return cd;
    }
    void give(const QByteArray& charset, iconv_t cd) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        idle_[charset].push_back(cd);
    }

  private:
    std::map<QByteArray, std::vector<iconv_t>> idle_;
};

ConverterPool& pool() {
    thread_local ConverterPool converters;
    return converters;
}

// The bytes of `carry` and `bytes` together, without copying when nothing
// was carried.
QByteArrayView joined(QByteArray& carry, QByteArrayView bytes, QByteArray& storage) {
    if (carry.isEmpty())
        return bytes;
    storage = std::move(carry);
    storage.append(bytes);
    carry.clear();
    return storage;
}

class Latin1Decoder : public StreamDecoder {
  public:
    void feed(QByteArrayView bytes, QString& out) override { out += QString::fromLatin1(bytes); }
    void finish(QString&) override {}
    qsizetype errors() const override { return 0; }
};

// The length of the part of `data` that ends on a whole UTF-8 sequence.
qsizetype wholeUtf8Length(QByteArrayView data) {
    qsizetype i = data.size();
    int continuation = 0;
    while (i > 0 && continuation < 3 && (static_cast<unsigned char>(data[i - 1]) & 0xC0) == 0x80) {
        --i;
        ++continuation;
    }
    if (i == 0)
        return data.size();
    const auto lead = static_cast<unsigned char>(data[i - 1]);
    const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return lead >= 0xC0 && lead <= 0xF7 && length > continuation + 1 ? i - 1 : data.size();
}

class Utf8Decoder : public StreamDecoder {
  public:
    void feed(QByteArrayView bytes, QString& out) override {
        QByteArray storage;
        const QByteArrayView data = joined(carry_, bytes, storage);
        const qsizetype whole = wholeUtf8Length(data);
        carry_ = data.sliced(whole).toByteArray();
        out += decoder_.decode(data.first(whole));
    }
    void finish(QString& out) override {
        if (!carry_.isEmpty()) {
            out += decoder_.decode(carry_);  // the decoder holds it back
            out += kReplacement;
            ++incomplete_;
            carry_.clear();
        }
    }
    qsizetype errors() const override { return incomplete_ + (decoder_.hasError() ? 1 : 0); }

  private:
    QStringDecoder decoder_{QStringDecoder::Utf8};  // stateful: a BOM only at the start
    QByteArray carry_;
    qsizetype incomplete_ = 0;
};

// Any charset iconv knows; optionally reading JIS 0x2141 as the wave dash.
class IconvDecoder : public StreamDecoder {
  public:
    IconvDecoder(QByteArray charset, bool waveDash)
        : charset_(std::move(charset)), cd_(pool().take(charset_)), waveDash_(waveDash) {}
    ~IconvDecoder() override {
        if (cd_ != kNoConverter)
            pool().give(charset_, cd_);
    }
    IconvDecoder(const IconvDecoder&) = delete;
    IconvDecoder& operator=(const IconvDecoder&) = delete;

    bool available() const { return cd_ != kNoConverter; }

    void feed(QByteArrayView bytes, QString& out) override {
        QByteArray storage;
        convert(joined(carry_, bytes, storage), out, false);
    }
    void finish(QString& out) override {
        const QByteArray rest = std::move(carry_);
        carry_.clear();
        convert(rest, out, true);
        const qsizetype from = out.size();
        out.resize(from + 16);  // room for what a shift state still holds
        char* to = reinterpret_cast<char*>(out.data() + from);
        size_t room = 32;
        iconv(cd_, nullptr, nullptr, &to, &room);
        out.resize(from + (32 - static_cast<qsizetype>(room)) / 2);
    }
    qsizetype errors() const override { return errors_; }

  private:
    // Converts straight into `out`: no character takes more UTF-16 units
    // than it takes bytes, and a shortage of room only means another round.
    void convert(QByteArrayView data, QString& out, bool last) {
        char* in = const_cast<char*>(data.data());
        size_t left = static_cast<size_t>(data.size());
        while (left > 0) {
            const qsizetype from = out.size();
            const qsizetype units = static_cast<qsizetype>(left) + 16;
            out.resize(from + units);
            char* to = reinterpret_cast<char*>(out.data() + from);
            size_t room = static_cast<size_t>(units) * 2;
            const size_t rc = iconv(cd_, &in, &left, &to, &room);
            const int error = errno;
            out.resize(from + units - static_cast<qsizetype>(room) / 2);
            if (waveDash_)  // vendor tables map JIS 0x2141 to U+FF5E; the sender meant U+301C
                for (qsizetype i = from; i < out.size(); ++i)
                    if (out[i] == QChar(0xFF5E))
                        out[i] = QChar(0x301C);
            if (rc != static_cast<size_t>(-1) || error == E2BIG)
                continue;
            if (error == EINVAL && !last) {  // a sequence cut at the end of this piece
                carry_ = QByteArray(in, static_cast<qsizetype>(left));
                return;
            }
            ++errors_;
            out += kReplacement;
            if (error == EINVAL)
                return;  // an incomplete sequence at the very end
            ++in;        // skip one byte and go on
            --left;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
    }

    QByteArray charset_;
    iconv_t cd_;
    bool waveDash_;
    QByteArray carry_;
    qsizetype errors_ = 0;
};

// Japanese text as JIS units (ASCII bytes, half-width katakana, JIS X 0208
// and JIS X 0212 pairs), rendered through the CP932 table, which holds the
// NEC and IBM rows that CP50220 and CP51932 use; JIS X 0212 through eucJP-ms.
class JisRenderer {
  public:
    void ascii(char c) { sjis_.append(c); }
    void katakana(unsigned char jis) { sjis_.append(static_cast<char>(jis | 0x80)); }
    void x0208(unsigned char j1, unsigned char j2) {
        const int s1 = ((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0);
        const int s2 = j2 + ((j1 & 1) ? (j2 >= 0x60 ? 0x20 : 0x1F) : 0x7E);
        sjis_.append(static_cast<char>(s1));
        sjis_.append(static_cast<char>(s2));
    }
    void x0212(unsigned char j1, unsigned char j2, QString& out) {
        flush(out);
        const char euc[3] = {'\x8F', static_cast<char>(j1 | 0x80), static_cast<char>(j2 | 0x80)};
        supplementary_.feed(QByteArrayView(euc, 3), out);
    }
    void invalid(QString& out) {
        flush(out);
        out += kReplacement;
        ++invalid_;
    }
    void flush(QString& out) {
        if (sjis_.isEmpty())
            return;
        cp932_.feed(sjis_, out);
        sjis_.clear();
    }
    void finish(QString& out) {
        flush(out);
        cp932_.finish(out);
        supplementary_.finish(out);
    }
    qsizetype errors() const { return invalid_ + cp932_.errors() + supplementary_.errors(); }

  private:
    QByteArray sjis_;
    IconvDecoder cp932_{"CP932", true};
    IconvDecoder supplementary_{"EUC-JP-MS", true};
    qsizetype invalid_ = 0;
};

// A decoder that reads whole units of up to `lookahead` bytes: the last bytes
// of a piece wait for the next one unless the text ends.
class JisUnitDecoder : public StreamDecoder {
  public:
    explicit JisUnitDecoder(qsizetype lookahead) : lookahead_(lookahead) {}

    void feed(QByteArrayView bytes, QString& out) override {
        QByteArray storage;
        const QByteArrayView data = joined(carry_, bytes, storage);
        const qsizetype used = run(data, out, false);
        carry_ = data.sliced(used).toByteArray();
        jis_.flush(out);
    }
    void finish(QString& out) override {
        const QByteArray rest = std::move(carry_);
        carry_.clear();
        run(rest, out, true);
        jis_.finish(out);
    }
    qsizetype errors() const override { return jis_.errors(); }

  protected:
    // Reads one unit at `i` (at least one byte); returns the index after it.
    virtual qsizetype step(QByteArrayView data, qsizetype i, QString& out) = 0;

    static unsigned char at(QByteArrayView data, qsizetype i) {
        return i < data.size() ? static_cast<unsigned char>(data[i]) : 0;
    }

    JisRenderer jis_;

  private:
    qsizetype run(QByteArrayView data, QString& out, bool last) {
        qsizetype i = 0;
        while (i < data.size() && (last || data.size() - i >= lookahead_))
            i = step(data, i, out);
        return i;
    }

    qsizetype lookahead_;
    QByteArray carry_;
};

bool isJisByte(unsigned char c) {
    return c >= 0x21 && c <= 0x7E;
}

class Iso2022JpDecoder : public JisUnitDecoder {
  public:
    Iso2022JpDecoder() : JisUnitDecoder(6) {}  // ESC & @ ESC $ B

  protected:
    qsizetype step(QByteArrayView data, qsizetype i, QString& out) override {
        const unsigned char c = at(data, i);
        if (c == 0x1B)
            return escape(data, i, out);
        if (c == 0x0E || c == 0x0F) {
            shiftedOut_ = c == 0x0E;
            return i + 1;
        }
        if (c < 0x21 || c == 0x7F) {  // controls and blanks pass in any mode
            jis_.ascii(static_cast<char>(c));
            return i + 1;
        }
        if (c >= 0xA1 && c <= 0xDF) {  // 8-bit katakana ("JIS8")
            jis_.katakana(c & 0x7F);
            return i + 1;
        }
        if (c >= 0x80) {
            jis_.invalid(out);
            return i + 1;
        }
        if (shiftedOut_ || mode_ == Mode::Katakana) {
            if (c <= 0x5F)
                jis_.katakana(c);
            else
                jis_.invalid(out);
            return i + 1;
        }
        if (mode_ == Mode::Ascii) {
            jis_.ascii(static_cast<char>(c));
            return i + 1;
        }
        if (!isJisByte(at(data, i + 1))) {
            jis_.invalid(out);
            return i + 1;
        }
        if (mode_ == Mode::X0208)
            jis_.x0208(c, at(data, i + 1));
        else
            jis_.x0212(c, at(data, i + 1), out);
        return i + 2;
    }

  private:
    enum class Mode { Ascii, Katakana, X0208, X0212 };

    qsizetype escape(QByteArrayView data, qsizetype i, QString& out) {
        static const struct {
            const char* sequence;
            Mode mode;
        } known[] = {
            {"(B", Mode::Ascii},
            {"(J", Mode::Ascii},
            {"(H", Mode::Ascii},
            {"(I", Mode::Katakana},
            {"$@", Mode::X0208},
            {"$B", Mode::X0208},
            {"&@\x1B$B", Mode::X0208},
            // JIS X 0213 plane 1, read as JIS X 0208.
            {"$(B", Mode::X0208},
            {"$(Q", Mode::X0208},
            {"$(O", Mode::X0208},
            {"$(D", Mode::X0212},
        };
        const QByteArrayView rest = data.sliced(i + 1);
        for (const auto& [sequence, mode] : known) {
            if (rest.startsWith(QByteArrayView(sequence))) {
                mode_ = mode;
                return i + 1 + QByteArrayView(sequence).size();
            }
        }
        jis_.invalid(out);
        return i + 1;
    }

    Mode mode_ = Mode::Ascii;
    bool shiftedOut_ = false;  // SO/SI half-width katakana of CP50222
};

class EucJpDecoder : public JisUnitDecoder {
  public:
    EucJpDecoder() : JisUnitDecoder(3) {}

  protected:
    qsizetype step(QByteArrayView data, qsizetype i, QString& out) override {
        const auto isEucByte = [](unsigned char b) { return b >= 0xA1 && b <= 0xFE; };
        const unsigned char c = at(data, i);
        const unsigned char next = at(data, i + 1);
        if (c < 0x80) {
            jis_.ascii(static_cast<char>(c));
            return i + 1;
        }
        if (c == 0x8E && next >= 0xA1 && next <= 0xDF) {
            jis_.katakana(next & 0x7F);
            return i + 2;
        }
        if (c == 0x8F && isEucByte(next) && isEucByte(at(data, i + 2))) {
            jis_.x0212(next & 0x7F, at(data, i + 2) & 0x7F, out);
            return i + 3;
        }
        if (isEucByte(c) && isEucByte(next)) {
            jis_.x0208(c & 0x7F, next & 0x7F);
            return i + 2;
        }
        jis_.invalid(out);
        return i + 1;
    }
};

std::unique_ptr<StreamDecoder> iconvDecoder(QByteArray charset, bool waveDash) {
    auto decoder = std::make_unique<IconvDecoder>(std::move(charset), waveDash);
    if (!decoder->available())
        return nullptr;
    return decoder;
}

}  // namespace

std::unique_ptr<StreamDecoder> makeDecoder(Decoding decoding, QByteArrayView label) {
    switch (decoding) {
        case Decoding::Latin1:
            return std::make_unique<Latin1Decoder>();
        case Decoding::Utf8:
            return std::make_unique<Utf8Decoder>();
        case Decoding::Cp932:
            return iconvDecoder("CP932", true);
        case Decoding::EucJp:
            return std::make_unique<EucJpDecoder>();
        case Decoding::Iso2022Jp:
            return std::make_unique<Iso2022JpDecoder>();
        case Decoding::Cp1252:
            return iconvDecoder("CP1252", false);
        case Decoding::Labelled:
            break;
    }
    QByteArray name = label.toByteArray().trimmed();
    if (const qsizetype star = name.indexOf('*'); star >= 0)
        name.truncate(star);  // RFC 2231 language suffix
    if (name.isEmpty())
        return nullptr;
    return iconvDecoder(name, false);
}

void Utf8Validator::feed(QByteArrayView bytes) {
    for (const char ch : bytes) {
        if (!valid_)
            return;
        const auto c = static_cast<unsigned char>(ch);
        if (pending_ > 0) {
            if (c < lower_ || c > upper_) {
                valid_ = false;
                return;
            }
            lower_ = 0x80;
            upper_ = 0xBF;
            --pending_;
        } else if (c >= 0x80) {
            if (c >= 0xC2 && c <= 0xDF) {
                pending_ = 1;
            } else if (c >= 0xE0 && c <= 0xEF) {
                pending_ = 2;
                lower_ = c == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
                upper_ = c == 0xED ? 0x9F : 0xBF;  // no surrogates
            } else if (c >= 0xF0 && c <= 0xF4) {
                pending_ = 3;
                lower_ = c == 0xF0 ? 0x90 : 0x80;
                upper_ = c == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
            } else {
                valid_ = false;
            }
        }
    }
}

void JapaneseScore::add(QStringView text) {
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u >= 0x3041 && u <= 0x30FF) {
            score += 3;
            hasKana = true;
        } else if (u >= 0x4E00 && u <= 0x9FFF) {
            score += 1;
        } else if (u >= 0x3000 && u <= 0x303F) {
            score += 1;
        } else if (u >= 0xFF61 && u <= 0xFF9F) {
            score -= 2;
        } else if (u >= 0xE000 && u <= 0xF8FF) {
            score -= 5;
        } else if (u == kReplacement) {
            score -= 10;
        } else if (u < 0x20 && u != '\t' && u != '\n' && u != '\r') {
            score -= 5;
        }
    }
}

}  // namespace orvane::mail
