#include "mail_parser.h"

#include "gmime_handles.h"
#include "header_decoder.h"
#include "safe_file_name.h"

#include <algorithm>
#include <cstring>

namespace orvane::mail {

struct ParsedMail::Resources {
    std::vector<GObjectPtr<GObject>> objects;
    void keep(gpointer object) { objects.emplace_back(static_cast<GObject*>(object)); }
};

ParsedMail::ParsedMail() : resources_(std::make_unique<Resources>()) {}
ParsedMail::~ParsedMail() = default;
ParsedMail::ParsedMail(ParsedMail&&) noexcept = default;
ParsedMail& ParsedMail::operator=(ParsedMail&&) noexcept = default;

namespace {

constexpr size_t kPieceSize = 64 * 1024;
// How often nesting that the MIME library stopped following is parsed anew.
constexpr int kMaxReparses = 4;

// GMime ends a part's content before the line break it expects in front of
// the next boundary, judging by the header's line endings, while that line
// break belongs to the boundary whichever form it takes. Under a CR LF header
// a line that ends in a bare LF before the boundary makes the content one
// byte short (a base64 attachment loses its last three bytes); under an LF
// header a CR LF leaves a CR behind. The content really ends just before the
// line break.
GObjectPtr<GMimeStream> wholeContent(GMimeStream* stored) {
    GMimeStream* file = stored->super_stream;
    const gint64 end = stored->bound_end;
    if (file && end > stored->bound_start) {
        char around[3] = {};  // the last byte of the content and the two after it
        if (g_mime_stream_seek(file, end - 1, GMIME_STREAM_SEEK_SET) == end - 1 &&
            g_mime_stream_read(file, around, 3) == 3) {
            gint64 trueEnd = end;
            if (around[1] != '\r' && around[2] == '\n')
                trueEnd = end + 1;  // the byte GMime took for a CR is content
            else if (around[0] == '\r' && around[1] == '\n')
                trueEnd = end - 1;  // the CR is the line break's
            if (trueEnd != end)
                return GObjectPtr<GMimeStream>(
                    g_mime_stream_substream(file, stored->bound_start, trueEnd));
        }
    }
    g_object_ref(stored);
    return GObjectPtr<GMimeStream>(stored);
}

bool needsDecoding(GMimeContentEncoding encoding) {
    return encoding == GMIME_CONTENT_ENCODING_BASE64 ||
           encoding == GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE ||
           encoding == GMIME_CONTENT_ENCODING_UUENCODE;
}

bool readDecoded(GMimePart* part, const ChunkVisitor& visit) {
    GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
    GMimeStream* stored = wrapper ? g_mime_data_wrapper_get_stream(wrapper) : nullptr;
    if (!stored)
        return true;
    const GObjectPtr<GMimeStream> stream = wholeContent(stored);
    if (g_mime_stream_reset(stream.get()) < 0)
        return false;
    const GMimeContentEncoding encoding = g_mime_data_wrapper_get_encoding(wrapper);
    const GObjectPtr<GMimeFilter> decoder(
        needsDecoding(encoding) ? g_mime_filter_basic_new(encoding, FALSE) : nullptr);
    std::vector<char> buffer(kPieceSize);
    char* out = nullptr;
    size_t outLength = 0, outPrespace = 0;
    // A bounded stream answers -1 rather than 0 once at its end.
    while (!g_mime_stream_eos(stream.get())) {
        const ssize_t read = g_mime_stream_read(stream.get(), buffer.data(), buffer.size());
        if (read < 0)
            return false;
        if (read == 0)
            break;
        if (!decoder) {
            if (!visit(QByteArrayView(buffer.data(), read)))
                return true;
            continue;
        }
        g_mime_filter_filter(decoder.get(), buffer.data(), static_cast<size_t>(read), 0, &out,
                             &outLength, &outPrespace);
        if (outLength > 0 && !visit(QByteArrayView(out, static_cast<qsizetype>(outLength))))
            return true;
    }
    if (decoder) {
        g_mime_filter_complete(decoder.get(), buffer.data(), 0, 0, &out, &outLength, &outPrespace);
        if (outLength > 0)
            visit(QByteArrayView(out, static_cast<qsizetype>(outLength)));
    }
    return true;
}

// A forwarded mail as GMime writes it back.
bool readMessage(GMimeMessagePart* part, const ChunkVisitor& visit) {
    GMimeMessage* inner = g_mime_message_part_get_message(part);
    if (!inner)
        return true;
    GObjectPtr<GMimeStream> memory(g_mime_stream_mem_new());
    if (g_mime_object_write_to_stream(GMIME_OBJECT(inner), nullptr, memory.get()) < 0)
        return false;
    const GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory.get()));
    for (guint at = 0; at < bytes->len; at += kPieceSize) {
        const auto length = std::min<guint>(kPieceSize, bytes->len - at);
        if (!visit(QByteArrayView(reinterpret_cast<const char*>(bytes->data) + at, length)))
            break;
    }
    return true;
}

ChunkedBytes contentOf(GMimeObject* object) {
    if (GMIME_IS_MESSAGE_PART(object))
        return [part = GMIME_MESSAGE_PART(object)](const ChunkVisitor& visit) {
            return readMessage(part, visit);
        };
    if (GMIME_IS_PART(object))
        return [part = GMIME_PART(object)](const ChunkVisitor& visit) {
            return readDecoded(part, visit);
        };
    return [](const ChunkVisitor&) { return true; };
}

// Whether some byte of the content is more than white space.
bool hasVisibleByte(const ChunkedBytes& content) {
    bool visible = false;
    content([&](QByteArrayView piece) {
        visible = std::any_of(piece.begin(), piece.end(), [](char c) {
            const auto u = static_cast<unsigned char>(c);
            return u > 0x20 && u != 0x7F;
        });
        return !visible;
    });
    return visible;
}

// The header fields of an entity whose first field starts at `offset`.
HeaderBlock readHeaderBlock(GMimeStream* stream, gint64 offset) {
    if (offset < 0 || g_mime_stream_seek(stream, offset, GMIME_STREAM_SEEK_SET) != offset)
        return {};
    QByteArray text;
    std::vector<char> buffer(16 * 1024);
    while (!g_mime_stream_eos(stream)) {
        const ssize_t read = g_mime_stream_read(stream, buffer.data(), buffer.size());
        if (read <= 0)
            break;
        const qsizetype from = std::max<qsizetype>(0, text.size() - 3);
        text.append(buffer.data(), read);
        if (HeaderBlock::endOf(text, from) >= 0)
            break;
    }
    return HeaderBlock(std::move(text));
}

gint64 firstHeaderOffset(GMimeObject* object) {
    GMimeHeaderList* list = g_mime_object_get_header_list(object);
    if (!list || g_mime_header_list_get_count(list) == 0)
        return -1;
    return g_mime_header_get_offset(g_mime_header_list_get_header_at(list, 0));
}

QByteArray mediaType(GMimeObject* object) {
    GMimeContentType* type = g_mime_object_get_content_type(object);
    if (!type)
        return "text/plain";
    return QByteArray(g_mime_content_type_get_media_type(type)).toLower() + '/' +
           QByteArray(g_mime_content_type_get_media_subtype(type)).toLower();
}

QString suggestedName(const HeaderBlock& headers, QByteArrayView charset) {
    const QByteArray disposition = headers.value("Content-Disposition").value_or("");
    if (auto name = headerParameter(disposition, "filename", charset))
        return *name;
    return headerParameter(headers.value("Content-Type").value_or(""), "name", charset)
        .value_or(QString());
}

// One node of the MIME tree, in document order.
struct Node {
    GMimeObject* object = nullptr;
    int parent = -1;
    int end = 0;  // one past its last descendant
    QByteArray type;
    HeaderBlock headers;  // leaves only
    bool multipart = false;
    bool text = false;        // inline text to read
    bool attachment = false;  // a leaf to save
    bool hasText = false;     // it or a descendant is inline text
    int chosen = -1;          // multipart/alternative: the child read
};

class TreeWalker {
  public:
    TreeWalker(ParsedMail::Resources& resources) : resources_(resources) {}

    std::vector<Node> walk(GMimeObject* root, GMimeStream* stream) {
        struct Pending {
            GMimeObject* object;
            GMimeStream* stream;  // where its header offsets point
            int parent;
        };
        std::vector<Pending> pending{{root, stream, -1}};
        std::vector<Node> nodes;
        while (!pending.empty()) {
            const Pending next = pending.back();
            pending.pop_back();
            const int index = static_cast<int>(nodes.size());
            nodes.push_back(node(next.object, next.stream, next.parent));
            if (!GMIME_IS_MULTIPART(next.object))
                continue;
            GMimeMultipart* multipart = GMIME_MULTIPART(next.object);
            GMimeStream* childStream = next.stream;
            if (g_mime_multipart_get_count(multipart) == 0)
                std::tie(multipart, childStream) = deeper(multipart, childStream);
            for (int i = g_mime_multipart_get_count(multipart) - 1; i >= 0; --i)
                pending.push_back({g_mime_multipart_get_part(multipart, i), childStream, index});
        }
        for (int i = 0; i < static_cast<int>(nodes.size()); ++i)
            nodes[i].end = i + 1;
        for (int i = static_cast<int>(nodes.size()) - 1; i > 0; --i) {
            Node& parent = nodes[nodes[i].parent];
            parent.end = std::max(parent.end, nodes[i].end);
            parent.hasText = parent.hasText || nodes[i].hasText;
        }
        return nodes;
    }

    bool cut() const { return cut_; }

  private:
    Node node(GMimeObject* object, GMimeStream* stream, int parent) {
        Node node;
        node.object = object;
        node.parent = parent;
        node.type = mediaType(object);
        node.multipart = GMIME_IS_MULTIPART(object);
        if (node.multipart)
            return node;
        node.headers = readHeaderBlock(stream, firstHeaderOffset(object));
        const QByteArray disposition = node.headers.value("Content-Disposition").value_or("");
        const QByteArray kind = disposition.left(disposition.indexOf(';')).trimmed().toLower();
        const bool readable = node.type == "text/plain" || node.type == "text/html";
        node.attachment = GMIME_IS_MESSAGE_PART(object) || kind == "attachment" ||
                          !suggestedName(node.headers, {}).isEmpty() || !readable;
        node.text = node.hasText = !node.attachment;
        return node;
    }

    // GMime stops following nesting at a fixed depth: the multipart there
    // comes out empty, holding the rest of its body as its prologue. That
    // body is parsed anew, a few times at most; past that the mail is cut.
    std::pair<GMimeMultipart*, GMimeStream*> deeper(GMimeMultipart* multipart,
                                                    GMimeStream* stream) {
        const char* boundary = g_mime_multipart_get_boundary(multipart);
        const char* prologue = g_mime_multipart_get_prologue(multipart);
        if (!boundary || !prologue || !std::strstr(prologue, boundary))
            return {multipart, stream};
        const QByteArray quotedBoundary(boundary);
        GMimeContentType* type = g_mime_object_get_content_type(GMIME_OBJECT(multipart));
        if (reparses_ >= kMaxReparses || quotedBoundary.contains('"') ||
            quotedBoundary.contains('\\') || !type) {
            cut_ = true;
            return {multipart, stream};
        }
        ++reparses_;
        const QByteArray text = "Content-Type: multipart/" +
                                QByteArray(g_mime_content_type_get_media_subtype(type)) +
                                "; boundary=\"" + quotedBoundary + "\"\r\n\r\n" + prologue;
        g_mime_multipart_set_prologue(multipart, nullptr);  // held once, not twice
        GMimeStream* body =
            g_mime_stream_mem_new_with_buffer(text.constData(), static_cast<size_t>(text.size()));
        resources_.keep(body);
        GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(body));
        g_mime_parser_set_persist_stream(parser.get(), TRUE);
        GMimeObject* parsed = g_mime_parser_construct_part(parser.get(), nullptr);
        if (!parsed) {
            cut_ = true;
            return {multipart, stream};
        }
        resources_.keep(parsed);
        if (!GMIME_IS_MULTIPART(parsed) ||
            g_mime_multipart_get_count(GMIME_MULTIPART(parsed)) == 0) {
            cut_ = true;
            return {multipart, stream};
        }
        return {GMIME_MULTIPART(parsed), body};
    }

    ParsedMail::Resources& resources_;
    int reparses_ = 0;
    bool cut_ = false;
};

// Picks the child of each multipart/alternative that is read: the plain text
// when it has anything in it, else the last child with readable text (the
// sender's richest form).
void chooseAlternatives(std::vector<Node>& nodes) {
    for (int i = 0; i < static_cast<int>(nodes.size()); ++i) {
        Node& node = nodes[i];
        if (!node.multipart || node.type != "multipart/alternative")
            continue;
        int plain = -1, richest = -1;
        for (int child = i + 1; child < node.end; child = nodes[child].end) {
            const Node& candidate = nodes[child];
            if (plain < 0 && candidate.text && candidate.type == "text/plain" &&
                hasVisibleByte(contentOf(candidate.object)))
                plain = child;
            if (candidate.hasText)
                richest = child;
        }
        node.chosen = plain >= 0 ? plain : richest;
    }
}

QByteArray charsetParameter(GMimeObject* object) {
    const char* charset = g_mime_object_get_content_type_parameter(object, "charset");
    return QByteArray(charset ? charset : "");
}

// The first charset the mail declares that describes raw 8-bit bytes: a text
// part's, then one that an encoded word in the header names.
QByteArray declaredCharset(const std::vector<MailPart>& text, const HeaderBlock& headers) {
    for (const MailPart& part : text)
        if (describesEightBitBytes(part.charset))
            return part.charset;
    for (const QByteArrayView value : headers.values())
        for (const QByteArray& charset : encodedWordCharsets(value))
            if (describesEightBitBytes(charset))
                return charset;
    return {};
}

}  // namespace

Expected<ParsedMail> parseMailFile(const QString& path) {
    ensureGMimeInitialised();
    Expected<OwnedFd> fd = openForReading(path, QStringLiteral("メールファイル"));
    if (!fd)
        return fd.failure();
    ParsedMail mail;
    GMimeStream* file = g_mime_stream_fs_new(fd->release());  // closes it
    mail.resources_->keep(file);
    GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(file));
    // Contents stay in the file and are read when asked for. Parsed as a
    // plain entity, not as a message: GMime would decode the Subject on the
    // way, in time that grows with the square of its length.
    g_mime_parser_set_persist_stream(parser.get(), TRUE);
    GMimeObject* root = g_mime_parser_construct_part(parser.get(), nullptr);
    if (!root)
        return Failure{FailureKind::BadInput,
                       QStringLiteral("メールの形式を読み取れません：%1").arg(path)};
    mail.resources_->keep(root);
    mail.headers = readHeaderBlock(file, 0);

    TreeWalker walker(*mail.resources_);
    std::vector<Node> nodes = walker.walk(root, file);
    mail.cut = walker.cut();
    chooseAlternatives(nodes);

    std::vector<const Node*> attachments;
    for (int i = 0; i < static_cast<int>(nodes.size());) {
        const Node& node = nodes[i];
        const int parent = node.parent;
        if (parent >= 0 && nodes[parent].type == "multipart/alternative" &&
            nodes[parent].chosen != i) {
            for (int j = i; j < node.end; ++j)  // not read, but its files are kept
                if (nodes[j].attachment)
                    attachments.push_back(&nodes[j]);
            i = node.end;
            continue;
        }
        if (node.text)
            mail.text.push_back(
                {node.type, charsetParameter(node.object), {}, contentOf(node.object)});
        if (node.attachment)
            attachments.push_back(&node);
        ++i;
    }
    mail.charset = declaredCharset(mail.text, mail.headers);
    for (const Node* node : attachments)
        mail.attachments.push_back({node->type, charsetParameter(node->object),
                                    suggestedName(node->headers, mail.charset),
                                    contentOf(node->object)});
    return mail;
}

}  // namespace orvane::mail
