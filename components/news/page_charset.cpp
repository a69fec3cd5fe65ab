#include "page_charset.h"

#include <QRegularExpression>

#include <iconv.h>

#include <cerrno>
#include <optional>

namespace orvane::news {
namespace {

// How far into a page a <meta> naming the charset is looked for.
constexpr qsizetype kMetaScanBytes = 4096;

QByteArray charsetIn(const QRegularExpression& pattern, QByteArrayView text) {
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(text));
    return match.hasMatch() ? match.captured(1).toLatin1() : QByteArray();
}

// The iconv name for a label, or empty for a label meaning "unknown".
QByteArray iconvName(QByteArrayView label) {
    QByteArray key;
    for (char c : label) {
        if (c == '-' || c == '_' || c == ' ' || c == '.') {
            continue;
        }
        key.append(static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c));
    }
    if (key.startsWith('x')) {
        key.remove(0, 1);  // x-sjis, x-euc-jp
    }
    if (key.isEmpty() || key == "unknown" || key == "none") {
        return {};
    }
    if (key == "utf8" || key == "unicode11utf8") {
        return "UTF-8";
    }
    if (key == "shiftjis" || key == "sjis" || key == "mskanji" || key == "windows31j" ||
        key == "cp932" || key == "ms932" || key == "csshiftjis") {
        return "CP932";
    }
    if (key == "eucjp" || key == "ujis" || key == "cseucpkdfmtjapanese" || key == "eucjpms") {
        return "EUC-JP-MS";
    }
    return label.toByteArray();
}

class Converter {
  public:
    explicit Converter(const char* from) : cd_(iconv_open("UTF-8", from)) {}
    ~Converter() {
        if (usable()) {
            iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool usable() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // The text, or nothing when `strict` and a byte does not decode.
    std::optional<QString> convert(QByteArrayView bytes, bool strict) {
        QByteArray out;
        QByteArray chunk(64 * 1024, Qt::Uninitialized);
        char* in = const_cast<char*>(bytes.data());
        size_t inLeft = static_cast<size_t>(bytes.size());
        while (inLeft > 0) {
            char* to = chunk.data();
            size_t toLeft = static_cast<size_t>(chunk.size());
            const size_t rc = iconv(cd_, &in, &inLeft, &to, &toLeft);
            out.append(chunk.constData(), chunk.size() - static_cast<qsizetype>(toLeft));
            if (rc != static_cast<size_t>(-1) || errno == E2BIG) {
                continue;
            }
            if (errno == EINVAL) {
                break;  // cut off in the middle of a character
            }
            if (strict) {
                return std::nullopt;
            }
            out.append("\xEF\xBF\xBD");  // U+FFFD
            ++in;
            --inLeft;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return QString::fromUtf8(out);
    }

  private:
    iconv_t cd_;
};

}  // namespace

QByteArray declaredCharset(QByteArrayView contentType, QByteArrayView body) {
    static const QRegularExpression headerCharset(
        QStringLiteral("charset\\s*=\\s*[\"']?([A-Za-z0-9._:-]+)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression xmlDeclaration(
        QStringLiteral("^\\s*<\\?xml[^>]*?encoding\\s*=\\s*[\"']([A-Za-z0-9._:-]+)[\"']"));
    static const QRegularExpression metaCharset(
        QStringLiteral("<meta\\b[^>]*?charset\\s*=\\s*[\"']?\\s*([A-Za-z0-9._:-]+)"),
        QRegularExpression::CaseInsensitiveOption);

    if (QByteArray named = charsetIn(headerCharset, contentType); !named.isEmpty()) {
        return named;
    }
    const QByteArrayView head = body.first(std::min(body.size(), kMetaScanBytes));
    if (QByteArray named = charsetIn(xmlDeclaration, head); !named.isEmpty()) {
        return named;
    }
    return charsetIn(metaCharset, head);
}

QString decodePage(QByteArrayView bytes, QByteArrayView label) {
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        return *Converter("UTF-8").convert(bytes.sliced(3), false);
    }
    if (bytes.startsWith("\xFF\xFE")) {
        return *Converter("UTF-16LE").convert(bytes.sliced(2), false);
    }
    if (bytes.startsWith("\xFE\xFF")) {
        return *Converter("UTF-16BE").convert(bytes.sliced(2), false);
    }
    if (const QByteArray name = iconvName(label); !name.isEmpty()) {
        if (Converter named(name.constData()); named.usable()) {
            return *named.convert(bytes, false);
        }
    }
    for (const char* candidate : {"UTF-8", "EUC-JP-MS", "CP932"}) {
        if (auto text = Converter(candidate).convert(bytes, true)) {
            return *text;
        }
    }
    return *Converter("UTF-8").convert(bytes, false);
}

}  // namespace orvane::news
