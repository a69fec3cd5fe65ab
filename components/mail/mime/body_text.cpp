#include "body_text.h"

#include "html_to_text.h"

#include <algorithm>

namespace orvane::mail {
namespace {

// The body as it grows: CR LF and lone CR become "\n", control characters
// other than tabs are dropped.
class BodyWriter {
  public:
    void beginPart() {
        partStart_ = body_.size();
        if (!body_.isEmpty() && !body_.endsWith(u'\n'))
            body_ += u'\n';
        textStart_ = body_.size();
        afterCr_ = false;
    }
    // Drops the part again when it held nothing but blanks.
    void endPart() {
        const QStringView added = QStringView(body_).sliced(textStart_);
        if (std::all_of(added.begin(), added.end(), [](QChar c) { return c.isSpace(); }))
            body_.truncate(partStart_);
    }
    void append(QStringView text) {
        piece_.truncate(0);
        for (const QChar c : text) {
            if (c == u'\r') {
                piece_ += u'\n';
                afterCr_ = true;
                continue;
            }
            const bool lineFeedAfterCr = c == u'\n' && afterCr_;
            afterCr_ = false;
            if (lineFeedAfterCr || (c.unicode() < 0x20 && c != u'\n' && c != u'\t') ||
                c.unicode() == 0x7F)
                continue;
            piece_ += c;
        }
        body_ += piece_;
    }
    QString take() { return std::move(body_); }
    bool isEmpty() const { return body_.isEmpty(); }
    bool endsInLineBreak() const { return body_.endsWith(u'\n'); }

  private:
    QString body_;
    QString piece_;
    qsizetype partStart_ = 0;
    qsizetype textStart_ = 0;
    bool afterCr_ = false;
};

}  // namespace

QString bodyText(const std::vector<MailPart>& parts, bool cut) {
    BodyWriter body;
    const auto write = [&](QStringView text) { body.append(text); };
    for (const MailPart& part : parts) {
        body.beginPart();
        if (part.type == "text/html") {
            HtmlTextExtractor html(write);
            decodeText(part.content, part.charset, [&](QStringView text) { html.feed(text); });
            html.finish();
        } else {
            decodeText(part.content, part.charset, write);
        }
        body.endPart();
    }
    if (cut) {
        if (!body.isEmpty() && !body.endsInLineBreak())
            body.append(u"\n");
        body.append(u"（以下省略）");
    }
    return body.take();
}

}  // namespace orvane::mail
