#include "html_to_text.h"

#include <QRegularExpression>
#include <QSet>

#include <libxml/HTMLparser.h>

#include <memory>

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

class TextCollector {
  public:
    void walk(xmlNode* node, bool preformatted) {
        for (; node; node = node->next) {
            if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
                text(QString::fromUtf8(reinterpret_cast<const char*>(node->content)), preformatted);
            } else if (node->type == XML_ELEMENT_NODE) {
                const QByteArray tag =
                    QByteArray(reinterpret_cast<const char*>(node->name)).toLower();
                if (isSkipped(tag))
                    continue;
                if (tag == "br") {
                    newLine();
                    continue;
                }
                const bool block = isBlock(tag);
                if (block)
                    lineBreak();
                if (tag == "td" || tag == "th")
                    space();
                walk(node->children, preformatted || tag == "pre");
                if (block)
                    lineBreak();
            }
        }
    }

    QString result() const {
        QString out = out_;
        static const QRegularExpression trailingBlanks(QStringLiteral("[ \\t]+\\n"));
        static const QRegularExpression manyBreaks(QStringLiteral("\\n{3,}"));
        out.replace(trailingBlanks, QStringLiteral("\n"));
        out.replace(manyBreaks, QStringLiteral("\n\n"));
        return out.trimmed();
    }

  private:
    void text(const QString& t, bool preformatted) {
        if (preformatted) {
            out_ += t;
            return;
        }
        for (QChar c : t) {
            if (c.isSpace() && c != QChar(0x3000)) {
                space();
            } else {
                out_ += c;
            }
        }
    }
    void space() {
        if (!out_.isEmpty() && !out_.back().isSpace())
            out_ += u' ';
    }
    // Ends the current line unless it is already ended.
    void lineBreak() {
        while (!out_.isEmpty() && out_.back() == u' ')
            out_.chop(1);
        if (!out_.isEmpty() && out_.back() != u'\n')
            out_ += u'\n';
    }
    void newLine() {
        while (!out_.isEmpty() && out_.back() == u' ')
            out_.chop(1);
        out_ += u'\n';
    }

    QString out_;
};

}  // namespace

QString htmlToText(const QString& html) {
    const QByteArray utf8 = html.toUtf8();
    if (utf8.trimmed().isEmpty())
        return {};
    int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET;
#ifdef HTML_PARSE_IGNORE_ENC
    options |= HTML_PARSE_IGNORE_ENC;  // the text is UTF-8 whatever <meta> says
#endif
    const std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> doc(
        htmlReadMemory(utf8.constData(), static_cast<int>(utf8.size()), nullptr, "UTF-8", options),
        xmlFreeDoc);
    if (!doc) {
        QString stripped = html;
        stripped.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
        return stripped.trimmed();
    }
    TextCollector collector;
    collector.walk(doc->children, false);
    return collector.result();
}

}  // namespace orvane::mail
