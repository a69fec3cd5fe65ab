#pragma once

#include "charset_decoder.h"
#include "expected.h"
#include "header_block.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

namespace orvane::mail {

// One leaf of a mail that the reader uses: a piece of inline text or an
// attachment.
struct MailPart {
    QByteArray type;       // the media type in lower case, "text/plain"
    QByteArray charset;    // the charset parameter as written, "" when none
    QString fileName;      // the name the sender suggests, decoded; "" when none
    ChunkedBytes content;  // the content with its transfer encoding undone (a
                           // forwarded message whole); valid while the
                           // ParsedMail lives
};

// A mail file taken apart. It reads nothing but the file and writes nothing.
class ParsedMail {
  public:
    ParsedMail();
    ~ParsedMail();
    ParsedMail(ParsedMail&&) noexcept;
    ParsedMail& operator=(ParsedMail&&) noexcept;

    // The mail's own header fields.
    HeaderBlock headers;
    // The inline text to read, in mail order, one of each set of alternatives
    // (the plain text when it has any, else the richest readable one).
    std::vector<MailPart> text;
    // Everything else: files, pictures, forwarded mails, in mail order.
    std::vector<MailPart> attachments;
    // The charset the mail declares that gives meaning to raw 8-bit header
    // bytes (a text part's, else one named by an encoded word in the
    // header); "" when it declares none.
    QByteArray charset;
    // Part of the mail lies nested too deep to be read.
    bool cut = false;

    struct Resources;

  private:
    friend Expected<ParsedMail> parseMailFile(const QString& path);
    std::unique_ptr<Resources> resources_;  // what the parts read from
};

// Takes the mail file at `path` apart. The file must stay in place while the
// result lives. Nesting deeper than the MIME library follows (about a
// thousand levels) is read on, a few times over; beyond that the mail is
// marked cut. A failure says why in Japanese.
Expected<ParsedMail> parseMailFile(const QString& path);

}  // namespace orvane::mail
