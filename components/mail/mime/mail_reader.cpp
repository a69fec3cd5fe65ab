#include "mail_reader.h"

#include "charset_decoder.h"
#include "gmime_handles.h"
#include "header_decoder.h"
#include "html_to_text.h"
#include "safe_file_name.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <algorithm>
#include <mutex>
#include <optional>
#include <vector>

namespace orvane::mail {

void ensureGMimeInitialised() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

namespace {

std::optional<QByteArray> rawHeader(GMimeObject* object, const char* name) {
    GMimeHeaderList* headers = g_mime_object_get_header_list(object);
    GMimeHeader* header = headers ? g_mime_header_list_get_header(headers, name) : nullptr;
    if (!header)
        return std::nullopt;
    const char* raw = g_mime_header_get_raw_value(header);
    return QByteArray(raw ? raw : "");
}

QByteArray mediaType(GMimeObject* object) {
    GMimeContentType* type = g_mime_object_get_content_type(object);
    if (!type)
        return "text/plain";
    return QByteArray(g_mime_content_type_get_media_type(type)).toLower() + '/' +
           QByteArray(g_mime_content_type_get_media_subtype(type)).toLower();
}

QString extensionFor(const QByteArray& type) {
    static const std::pair<const char*, const char*> known[] = {
        {"audio/mpeg", ".mp3"},      {"audio/mp3", ".mp3"},   {"audio/x-mpeg", ".mp3"},
        {"audio/wav", ".wav"},       {"audio/x-wav", ".wav"}, {"image/jpeg", ".jpg"},
        {"image/png", ".png"},       {"image/gif", ".gif"},   {"application/pdf", ".pdf"},
        {"text/plain", ".txt"},      {"text/html", ".html"},  {"message/rfc822", ".eml"},
        {"application/zip", ".zip"},
    };
    for (const auto& [mime, extension] : known)
        if (type == mime)
            return QString::fromLatin1(extension);
    return QStringLiteral(".bin");
}

// One leaf of the MIME tree, as the reader sees it.
struct Leaf {
    GMimeObject* object = nullptr;
    QByteArray type;
    QString fileName;  // decoded, not yet made safe
    bool attachment = false;
};

void collectLeaves(GMimeObject* object, QByteArrayView fallbackCharset, std::vector<Leaf>& leaves) {
    if (!object)
        return;
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart* multipart = GMIME_MULTIPART(object);
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i)
            collectLeaves(g_mime_multipart_get_part(multipart, i), fallbackCharset, leaves);
        return;
    }
    Leaf leaf;
    leaf.object = object;
    leaf.type = mediaType(object);
    const QByteArray disposition = rawHeader(object, "Content-Disposition").value_or("");
    const QByteArray contentType = rawHeader(object, "Content-Type").value_or("");
    leaf.fileName =
        headerParameter(disposition, "filename", fallbackCharset)
            .value_or(headerParameter(contentType, "name", fallbackCharset).value_or(""));
    const QByteArray dispositionKind =
        disposition.left(disposition.indexOf(';')).trimmed().toLower();
    const bool readableText = leaf.type == "text/plain" || leaf.type == "text/html";
    leaf.attachment = GMIME_IS_MESSAGE_PART(object) || dispositionKind == "attachment" ||
                      !leaf.fileName.isEmpty() || !readableText;
    leaves.push_back(std::move(leaf));
}

QByteArray decodedContent(GMimeObject* object) {
    if (!GMIME_IS_PART(object))
        return {};
    GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(object));
    if (!content)
        return {};
    GObjectPtr<GMimeStream> memory(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(content, memory.get());
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory.get()));
    return QByteArray(reinterpret_cast<const char*>(bytes->data),
                      static_cast<qsizetype>(bytes->len));
}

QByteArray charsetOf(GMimeObject* object) {
    const char* charset = g_mime_object_get_content_type_parameter(object, "charset");
    return QByteArray(charset ? charset : "");
}

// Line breaks as "\n", no control characters but tabs.
QString cleanBody(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (c.unicode() >= 0x20 || c == u'\n' || c == u'\t')
            if (c.unicode() != 0x7F)
                out.append(c);
    return out;
}

QString bodyText(const Leaf& leaf) {
    const QString text = decodeText(decodedContent(leaf.object), charsetOf(leaf.object));
    return cleanBody(leaf.type == "text/html" ? htmlToText(text) : text);
}

// Writes one attachment, decoded, straight from the mail file to a new file.
std::optional<QString> saveAttachment(const Leaf& leaf, const QString& mailDir) {
    const QString name = safeFileName(leaf.fileName, extensionFor(leaf.type));
    QString path;
    const int fd = createUniqueFile(mailDir, name, &path);
    if (fd < 0)
        return std::nullopt;
    bool written = true;
    {
        GObjectPtr<GMimeStream> out(g_mime_stream_fs_new(fd));  // closes fd
        if (GMIME_IS_MESSAGE_PART(leaf.object)) {
            GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(leaf.object));
            if (inner)
                written =
                    g_mime_object_write_to_stream(GMIME_OBJECT(inner), nullptr, out.get()) >= 0;
        } else if (GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(leaf.object))) {
            written = g_mime_data_wrapper_write_to_stream(content, out.get()) >= 0;
        }
        // Writes are unbuffered; closing reports the last error (no fsync:
        // attachments are copies that can be read again from the mail).
        written = g_mime_stream_close(out.get()) == 0 && written;
    }
    if (!written) {
        QFile::remove(path);
        return std::nullopt;
    }
    return path;
}

struct Sender {
    QString full;       // "display name <address>", or whichever of the two there is
    QString speakable;  // the display name, or the address without one
};

Sender senderOf(const std::optional<QByteArray>& raw, QByteArrayView fallbackCharset) {
    if (!raw)
        return {};
    const std::optional<Mailbox> mailbox = firstMailbox(*raw, fallbackCharset);
    if (!mailbox) {
        const QString text = decodeHeaderText(*raw, fallbackCharset);
        return {text, text};
    }
    if (mailbox->name.isEmpty() || mailbox->name == mailbox->address)
        return {mailbox->address, mailbox->address};
    if (mailbox->address.isEmpty())
        return {mailbox->name, mailbox->name};
    return {mailbox->name + QStringLiteral(" <") + mailbox->address + u'>', mailbox->name};
}

QString resolvedPath(const QString& file, const QString& mailDir) {
    if (QFileInfo(file).isAbsolute())
        return file;
    const QString inFolder = QDir(mailDir).filePath(file);
    if (mailDir.isEmpty() || (!QFileInfo::exists(inFolder) && QFileInfo::exists(file)))
        return file;
    return inFolder;
}

}  // namespace

ArrayResult readMailFile(const QString& file, const QString& names, const QString& mailDir) {
    ensureGMimeInitialised();
    const QString path = resolvedPath(file, mailDir);
    if (!QFileInfo(path).isFile())
        return ArrayResult::failed(QStringLiteral("メールファイルが見つかりません: ") + path);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return ArrayResult::failed(QStringLiteral("メールファイルを開けません: ") + path);

    GObjectPtr<GMimeStream> stream(g_mime_stream_fs_new(fd));
    GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MESSAGE);
    g_mime_parser_set_persist_stream(parser.get(), TRUE);  // contents stay in the file
    GObjectPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
    if (!message)
        return ArrayResult::failed(QStringLiteral("メールの形式を読み取れません: ") + path);
    GMimeObject* top = GMIME_OBJECT(message.get());

    std::vector<Leaf> leaves;
    collectLeaves(g_mime_message_get_mime_part(message.get()), {}, leaves);
    // Raw 8-bit headers are most likely in the charset of the mail's text.
    QByteArray fallbackCharset;
    for (const Leaf& leaf : leaves)
        if (!leaf.attachment && fallbackCharset.isEmpty())
            fallbackCharset = charsetOf(leaf.object);
    if (!fallbackCharset.isEmpty()) {
        leaves.clear();
        collectLeaves(g_mime_message_get_mime_part(message.get()), fallbackCharset, leaves);
    }

    // The body: the first plain text, or the first HTML when there is no
    // plain text or it is empty (some mailers send an empty alternative).
    QString body;
    for (const char* wanted : {"text/plain", "text/html"}) {
        const auto found = std::find_if(leaves.begin(), leaves.end(), [&](const Leaf& leaf) {
            return !leaf.attachment && leaf.type == wanted;
        });
        if (found != leaves.end())
            body = bodyText(*found);
        if (!body.trimmed().isEmpty())
            break;
    }

    QStringList attachments;
    QStringList savedPaths;
    for (const Leaf& leaf : leaves) {
        if (!leaf.attachment)
            continue;
        const std::optional<QString> saved = saveAttachment(leaf, mailDir);
        if (!saved) {
            for (const QString& path : savedPaths)  // no half-read mail left behind
                QFile::remove(path);
            return ArrayResult::failed(
                QStringLiteral("添付ファイルをメールフォルダーに保存できません: ") + mailDir);
        }
        savedPaths << *saved;
        attachments << QStringLiteral("File: ") + *saved;
    }

    const QString subject =
        decodeHeaderText(rawHeader(top, "Subject").value_or(""), fallbackCharset);
    const Sender sender = senderOf(rawHeader(top, "From"), fallbackCharset);

    QStringList elements;
    if (names.trimmed().compare(QStringLiteral("from:subject:"), Qt::CaseInsensitive) == 0) {
        elements << QStringLiteral("差出人 ") + sender.speakable + QStringLiteral("、")
                 << QStringLiteral("件名 ") + subject;
    } else {
        for (const QString& name : names.split(u':', Qt::SkipEmptyParts)) {
            const QString key = name.trimmed().toLower();
            if (key == u"subject")
                elements << QStringLiteral("subject: ") + subject;
            else if (key == u"from")
                elements << QStringLiteral("From: ") + sender.full;
            else if (key == u"date")
                elements << QStringLiteral("Date: ") +
                                decodeHeaderText(rawHeader(top, "Date").value_or(""));
            else
                elements
                    << name.trimmed() + QStringLiteral(": ") +
                           decodeHeaderText(
                               rawHeader(top, name.trimmed().toLatin1().constData()).value_or(""),
                               fallbackCharset);
        }
    }
    elements << QStringLiteral("Body:") + body;
    elements << attachments;
    return ArrayResult::ok(elements);
}

}  // namespace orvane::mail
