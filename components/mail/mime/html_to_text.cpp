#include "html_to_text.h"

#include <QByteArray>
#include <QSet>

#include <libxml/HTMLparser.h>

#include <algorithm>

namespace orvane::mail {
namespace {

bool isSkipped(const QByteArray& tag) {
    static const QSet<QByteArray> skipped{"script",   "style",  "head",   "title", "noscript",
                                          "template", "object", "iframe", "svg"};
    return skipped.contains(tag);
}

bool isBlock(const QByteArray& tag) {
    static const QSet<QByteArray> blocks{
        "p",      "div",    "li",      "tr",      "h1",         "h2",       "h3",
        "h4",     "h5",     "h6",      "table",   "ul",         "ol",       "dl",
        "dt",     "dd",     "pre",     "hr",      "blockquote", "section",  "article",
        "header", "footer", "address", "center",  "form",       "fieldset", "nav",
        "aside",  "main",   "figure",  "caption", "body"};
    return blocks.contains(tag);
}

QByteArray tagName(const xmlChar* name) {
    return QByteArray(reinterpret_cast<const char*>(name)).toLower();
}

// Lays out the text: white space is held back until the next visible
// character shows how much of it to keep.
class TextLayout {
  public:
    void text(QStringView t, bool preformatted) {
        for (const QChar c : t) {
            if (!preformatted) {
                if (c.isSpace() && c != QChar(0x3000))
                    space();
                else
                    visible(c);
            } else if (c == u'\n') {
                newLine();
            } else if (c == u' ' || c == u'\t') {
                blanks_ += c;
            } else if (c != u'\r') {
                visible(c);
            }
        }
    }
    void space() {
        if (newLines_ == 0 && blanks_.isEmpty())
            blanks_ = QStringLiteral(" ");
    }
    // Ends the current line unless it is already ended.
    void lineBreak() {
        blanks_.clear();
        newLines_ = std::max(newLines_, 1);
    }
    void newLine() {
        blanks_.clear();
        ++newLines_;
    }
    // The text laid out since the last call.
    QString& pending() { return out_; }

  private:
    void visible(QChar c) {
        if (started_) {
            out_.append(QString(std::min(newLines_, 2), u'\n'));
            out_.append(blanks_);
        }
        started_ = true;
        newLines_ = 0;
        blanks_.clear();
        out_.append(c);
    }

    bool started_ = false;
    int newLines_ = 0;
    QString blanks_;
    QString out_;
};

}  // namespace

struct HtmlTextExtractor::Parser {
    std::function<void(QStringView)> emit;
    TextLayout layout;
    int skipped = 0;  // depth inside a skipped element (script, head...)
    int preformatted = 0;
    htmlParserCtxtPtr context = nullptr;
    // Input not yet handed to the parser. The push parser loses the end of a
    // <script> or <style> whose end tag is split between two pieces, so it
    // only ever gets pieces that end just after a ">".
    QByteArray unparsed;

    void start(const xmlChar* name) {
        if (skipped > 0) {
            ++skipped;
            return;
        }
        const QByteArray tag = tagName(name);
        if (isSkipped(tag)) {
            skipped = 1;
        } else if (tag == "br") {
            layout.newLine();
        } else {
            if (isBlock(tag))
                layout.lineBreak();
            if (tag == "td" || tag == "th")
                layout.space();
            if (tag == "pre")
                ++preformatted;
        }
    }
    void end(const xmlChar* name) {
        if (skipped > 0) {
            --skipped;
            return;
        }
        const QByteArray tag = tagName(name);
        if (tag == "pre" && preformatted > 0)
            --preformatted;
        if (isBlock(tag))
            layout.lineBreak();
    }
    void characters(const xmlChar* text, int length) {
        if (skipped == 0)
            layout.text(QString::fromUtf8(reinterpret_cast<const char*>(text), length),
                        preformatted > 0);
    }
    void deliver() {
        if (!layout.pending().isEmpty())
            emit(layout.pending());
        layout.pending().truncate(0);
    }

    static Parser* of(void* user) { return static_cast<Parser*>(user); }
};

HtmlTextExtractor::HtmlTextExtractor(std::function<void(QStringView)> emit)
    : parser_(std::make_unique<Parser>()) {
    parser_->emit = std::move(emit);
    htmlSAXHandler sax{};
    sax.startElement = [](void* user, const xmlChar* name, const xmlChar**) {
        Parser::of(user)->start(name);
    };
    sax.endElement = [](void* user, const xmlChar* name) { Parser::of(user)->end(name); };
    sax.characters = [](void* user, const xmlChar* text, int length) {
        Parser::of(user)->characters(text, length);
    };
    sax.ignorableWhitespace = sax.characters;
    sax.cdataBlock = sax.characters;
    parser_->context =
        htmlCreatePushParserCtxt(&sax, parser_.get(), nullptr, 0, nullptr, XML_CHAR_ENCODING_UTF8);
    // The text is UTF-8 whatever a <meta> says.
    const int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                        HTML_PARSE_NONET | HTML_PARSE_IGNORE_ENC;
    if (parser_->context)
        htmlCtxtUseOptions(parser_->context, options);
}

HtmlTextExtractor::~HtmlTextExtractor() {
    if (parser_->context)
        htmlFreeParserCtxt(parser_->context);
}

void HtmlTextExtractor::feed(QStringView html) {
    if (!parser_->context || html.isEmpty())
        return;
    QByteArray& unparsed = parser_->unparsed;
    unparsed += html.toUtf8();
    const qsizetype tagEnd = unparsed.lastIndexOf('>');
    if (tagEnd < 0)
        return;
    htmlParseChunk(parser_->context, unparsed.constData(), static_cast<int>(tagEnd + 1), 0);
    unparsed.remove(0, tagEnd + 1);
    parser_->deliver();
}

void HtmlTextExtractor::finish() {
    if (!parser_->context)
        return;
    const QByteArray& rest = parser_->unparsed;
    htmlParseChunk(parser_->context, rest.constData(), static_cast<int>(rest.size()), 1);
    parser_->unparsed.clear();
    parser_->deliver();
}

QString htmlToText(const QString& html) {
    QString text;
    HtmlTextExtractor extractor([&](QStringView piece) { text += piece; });
    extractor.feed(html);
    extractor.finish();
    return text;
}

}  // namespace orvane::mail
