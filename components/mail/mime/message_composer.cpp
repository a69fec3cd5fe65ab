#include "message_composer.h"

#include "gmime_handles.h"
#include "safe_file_name.h"

#include <QFileInfo>
#include <QUuid>

#include <algorithm>
#include <cctype>

namespace orvane::mail {
namespace {

void addAddresses(GMimeMessage* message, GMimeAddressType type, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    InternetAddressList* parsed = internet_address_list_parse(nullptr, utf8.constData());
    InternetAddressList* target = g_mime_message_get_addresses(message, type);
    if (parsed) {
        for (int i = 0; i < internet_address_list_length(parsed); ++i)
            internet_address_set_charset(internet_address_list_get_address(parsed, i), "utf-8");
        internet_address_list_append(target, parsed);
        g_object_unref(parsed);
    }
}

QByteArray domainOf(const QString& address) {
    QString text = address;
    if (const qsizetype open = text.lastIndexOf(u'<'); open >= 0)
        text = text.mid(open + 1).section(u'>', 0, 0);
    const QString domain = text.section(u'@', 1).trimmed();
    return domain.isEmpty() ? QByteArray("localhost") : domain.toUtf8();
}

GDateTime* toGDateTime(const QDateTime& when) {
    const QDateTime local = when.isValid() ? when : QDateTime::currentDateTime();
    GTimeZone* zone = g_time_zone_new_offset(local.offsetFromUtc());
    GDateTime* date =
        g_date_time_new(zone, local.date().year(), local.date().month(), local.date().day(),
                        local.time().hour(), local.time().minute(), local.time().second());
    g_time_zone_unref(zone);
    return date;
}

QByteArray mimeTypeFor(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"mp3")
        return "audio/mpeg";
    if (suffix == u"wav")
        return "audio/wav";
    return "application/octet-stream";
}

GMimePart* textPart(const QString& body) {
    QString canonical = body;
    canonical.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    canonical.replace(u'\n', QStringLiteral("\r\n"));
    const QByteArray utf8 = canonical.toUtf8();

    GMimePart* part = g_mime_part_new_with_type("text", "plain");
    g_mime_object_set_content_type_parameter(GMIME_OBJECT(part), "charset", "utf-8");
    GObjectPtr<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(utf8.constData(), static_cast<size_t>(utf8.size())));
    GObjectPtr<GMimeDataWrapper> content(
        g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part, content.get());
    g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);
    return part;
}

// RFC 2231 percent-encoding of a parameter value (RFC 5987 attribute
// characters stay as they are).
QByteArray percentEncoded(const QByteArray& value) {
    static const QByteArray kept = "!#$&+-.^_`|~";
    QByteArray out;
    for (const char c : value) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x80 && std::isalnum(u)) || kept.contains(c))
            out += c;
        else
            out += '%' + QByteArray::number(u, 16).toUpper().rightJustified(2, '0');
    }
    return out;
}

// The attachment's file name in Content-Disposition and Content-Type. GMime
// writes a plain ASCII name as it stands, so a CR LF in it would end the
// header line and start a header of the name's choosing: a name with control
// characters is written percent-encoded instead.
void setFileName(GMimePart* part, const QByteArray& mediaType, const QString& fileName) {
    const QByteArray utf8 = fileName.toUtf8();
    g_mime_part_set_filename(part, utf8.constData());
    const bool control = std::any_of(fileName.cbegin(), fileName.cend(), [](QChar c) {
        return c.unicode() < 0x20 || c.unicode() == 0x7F;
    });
    if (!control)
        return;
    const QByteArray encoded = "UTF-8''" + percentEncoded(utf8);
    GMimeHeaderList* headers = g_mime_object_get_header_list(GMIME_OBJECT(part));
    const std::pair<const char*, QByteArray> values[] = {
        {"Content-Disposition", " attachment;\n\tfilename*=" + encoded + "\n"},
        {"Content-Type", " " + mediaType + ";\n\tname*=" + encoded + "\n"},
    };
    for (const auto& [name, value] : values)
        if (GMimeHeader* header = g_mime_header_list_get_header(headers, name))
            g_mime_header_set_raw_value(header, value.constData());
}

Expected<GObjectPtr<GMimePart>> attachmentPart(const QString& path) {
    Expected<OwnedFd> fd = openForReading(path, QStringLiteral("添付ファイル"));
    if (!fd)
        return fd.failure();
    const QByteArray type = mimeTypeFor(path);
    const qsizetype slash = type.indexOf('/');
    GObjectPtr<GMimePart> part(
        g_mime_part_new_with_type(type.left(slash).constData(), type.mid(slash + 1).constData()));
    GObjectPtr<GMimeStream> stream(g_mime_stream_fs_new(fd->release()));
    GObjectPtr<GMimeDataWrapper> content(
        g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part.get(), content.get());
    g_mime_part_set_content_encoding(part.get(), GMIME_CONTENT_ENCODING_BASE64);
    setFileName(part.get(), type, QFileInfo(path).fileName());
    return part;
}

// RFC 2047 words of at most 75 characters, folded one per line: GMime writes
// a long Japanese subject as one over-long word.
QByteArray encodedWords(const QString& text) {
    constexpr qsizetype kMaxBytesPerWord = 45;  // 60 base64 characters
    QByteArray folded;
    QByteArray chunk;
    const auto flush = [&] {
        if (chunk.isEmpty())
            return;
        folded += " =?UTF-8?B?" + chunk.toBase64() + "?=\n";
        chunk.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray character = text.mid(i, length).toUtf8();
        if (chunk.size() + character.size() > kMaxBytesPerWord)
            flush();
        chunk += character;
        i += length - 1;
    }
    flush();
    return folded;
}

void setSubject(GMimeMessage* message, const QString& subject) {
    g_mime_message_set_subject(message, subject.toUtf8().constData(), "utf-8");
    const bool plainAscii =
        std::all_of(subject.cbegin(), subject.cend(), [](QChar c) { return c.unicode() < 0x80; }) &&
        !subject.contains(QStringLiteral("=?"));
    if (plainAscii || subject.isEmpty())
        return;
    GMimeHeaderList* headers = g_mime_object_get_header_list(GMIME_OBJECT(message));
    if (GMimeHeader* header = g_mime_header_list_get_header(headers, "Subject"))
        g_mime_header_set_raw_value(header, encodedWords(subject).constData());
}

}  // namespace

Expected<QByteArray> composeMessage(const OutgoingMessage& message) {
    ensureGMimeInitialised();
    GObjectPtr<GMimeMessage> mail(g_mime_message_new(TRUE));
    addAddresses(mail.get(), GMIME_ADDRESS_TYPE_FROM, message.from);
    addAddresses(mail.get(), GMIME_ADDRESS_TYPE_TO, message.to);
    setSubject(mail.get(), message.subject);

    GDateTime* date = toGDateTime(message.date);
    g_mime_message_set_date(mail.get(), date);
    g_date_time_unref(date);

    const QByteArray messageId =
        message.messageId.isEmpty()
            ? QUuid::createUuid().toString(QUuid::WithoutBraces).toLatin1() + "@" +
                  domainOf(message.from)
            : message.messageId.toUtf8();
    g_mime_message_set_message_id(mail.get(), messageId.constData());

    GObjectPtr<GMimePart> text(textPart(message.body));
    if (message.attachmentPath.isEmpty()) {
        g_mime_message_set_mime_part(mail.get(), GMIME_OBJECT(text.get()));
    } else {
        Expected<GObjectPtr<GMimePart>> attachment = attachmentPart(message.attachmentPath);
        if (!attachment)
            return attachment.failure();
        GObjectPtr<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
        if (!message.boundary.isEmpty())
            g_mime_multipart_set_boundary(mixed.get(), message.boundary.toLatin1().constData());
        g_mime_multipart_add(mixed.get(), GMIME_OBJECT(text.get()));
        g_mime_multipart_add(mixed.get(), GMIME_OBJECT(attachment->get()));
        g_mime_message_set_mime_part(mail.get(), GMIME_OBJECT(mixed.get()));
    }

    GMimeFormatOptions* format = g_mime_format_options_new();
    g_mime_format_options_set_newline_format(format, GMIME_NEWLINE_FORMAT_DOS);
    GObjectPtr<GMimeStream> out(g_mime_stream_mem_new());
    const ssize_t written =
        g_mime_object_write_to_stream(GMIME_OBJECT(mail.get()), format, out.get());
    g_mime_format_options_free(format);
    if (written < 0)
        return Failure{FailureKind::Internal, QStringLiteral("送信するメールを組み立てられません")};
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out.get()));
    return QByteArray(reinterpret_cast<const char*>(bytes->data),
                      static_cast<qsizetype>(bytes->len));
}

}  // namespace orvane::mail
