#pragma once

#include <QString>
#include <QStringView>

#include <functional>
#include <memory>

namespace orvane::mail {

// Readable text of an HTML document, read as it comes: no tags, nothing of
// scripts, styles or the head, entities decoded, a line break after each
// block (paragraph, div, list item, table row, <br>), blanks collapsed outside
// <pre>, at most one empty line in a row, no blanks at either end. Elements
// may nest to any depth: nothing is built as a tree and nothing recurses.
class HtmlTextExtractor {
  public:
    // `emit` receives the text piece by piece, in order.
    explicit HtmlTextExtractor(std::function<void(QStringView)> emit);
    ~HtmlTextExtractor();
    HtmlTextExtractor(const HtmlTextExtractor&) = delete;
    HtmlTextExtractor& operator=(const HtmlTextExtractor&) = delete;

    // The next piece of the document. A <meta> charset is ignored: the text
    // is already Unicode.
    void feed(QStringView html);
    // The end of the document.
    void finish();

    struct Parser;

  private:
    std::unique_ptr<Parser> parser_;
};

// The whole of a document at once.
QString htmlToText(const QString& html);

}  // namespace orvane::mail
