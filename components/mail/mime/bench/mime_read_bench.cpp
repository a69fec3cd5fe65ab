// Reads a generated mailbox with readMailFile and, as the peer, with GMime
// alone (parse, decode headers and the text part with GMime's own calls), and
// prints both times, their ratio and the peak memory.
//   mime_read_bench [mail count, default 2000]
#include "gmime_handles.h"
#include "mail_reader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/resource.h>

#include <cstdio>

namespace {

using namespace orvane::mail;

QByteArray sampleMail(int n) {
    const QByteArray text = QString::fromUtf8("お世話になっております。会議の資料①を送ります〜。\n")
                                .repeated(40)
                                .toUtf8();
    QByteArray subject, body, charset;
    switch (n % 3) {
        case 0:
            subject =
                "=?UTF-8?B?" + QString::fromUtf8("会議の件 %1").arg(n).toUtf8().toBase64() + "?=";
            body = text.toBase64();
            charset = "utf-8";
            break;
        case 1:
            subject = "=?ISO-2022-JP?B?GyRCLSEhQRsoQg==?= =?UTF-8?B?SGVsbG8=?=";
            body = QByteArray("\x1b$B$3$s$K$A$O\x1b(B\n").repeated(120);
            charset = "iso-2022-jp";
            break;
        default:
            subject = "=?Shift_JIS?B?h0DtQIFg?=";
            body = QByteArray::fromHex("82B182F182C982BF82CD0A").repeated(120).toBase64();
            charset = "shift_jis";
            break;
    }
    const bool base64 = n % 3 != 1;
    QByteArray mail =
        "From: =?UTF-8?B?5bGx55SwIOWkqumDjg==?= <taro@example.jp>\r\n"
        "Subject: " +
        subject +
        "\r\nDate: Sun, 06 Dec 2026 10:00:00 +0900\r\n"
        "MIME-Version: 1.0\r\n";
    const QByteArray textPart = "Content-Type: text/plain; charset=" + charset + "\r\n" +
                                (base64 ? "Content-Transfer-Encoding: base64\r\n" : "") + "\r\n" +
                                body + "\r\n";
    if (n % 10 != 0 || qEnvironmentVariableIsSet("NO_ATTACHMENTS"))
        return mail + textPart;
    return mail + "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n" + textPart +
           "--b\r\nContent-Type: audio/mpeg\r\nContent-Disposition: attachment; "
           "filename*=UTF-8''%E9%9F%B3.mp3\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
           QByteArray(30 * 1024, '\x55').toBase64() + "\r\n--b--\r\n";
}

// The peer: GMime's own reading of the same headers and text.
void readWithGMimeAlone(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    GObjectPtr<GMimeStream> stream(g_mime_stream_fs_new(fd));
    GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    GObjectPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
    if (!message)
        return;
    volatile const char* subject = g_mime_message_get_subject(message.get());
    (void)subject;
    GMimeObject* body = g_mime_message_get_body(message.get());
    if (body && GMIME_IS_TEXT_PART(body))
        g_free(g_mime_text_part_get_text(GMIME_TEXT_PART(body)));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 2000;
    ensureGMimeInitialised();
    QTemporaryDir dir;
    QStringList files;
    for (int n = 0; n < count; ++n) {
        const QString name = QStringLiteral("m%1.eml").arg(n);
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(sampleMail(n)) < 0)
            return 1;
        files << name;
    }
    const QString out = dir.filePath("out");
    QDir().mkpath(out);

    QElapsedTimer timer;
    timer.start();
    for (const QString& name : files)
        readWithGMimeAlone(dir.filePath(name));
    const qint64 peerMs = timer.restart();
    int failures = 0;
    for (const QString& name : files)
        if (!readMailFile(dir.filePath(name), QStringLiteral("subject:from:date:body"), out)
                 .isArray())
            ++failures;
    const qint64 oursMs = timer.elapsed();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("mails: %d (failures %d)\n", count, failures);
    std::printf("readMailFile: %lld ms (%.3f ms per mail)\n", static_cast<long long>(oursMs),
                double(oursMs) / count);
    std::printf("GMime alone:  %lld ms\n", static_cast<long long>(peerMs));
    std::printf("ratio ours/GMime alone: %.2f\n", peerMs ? double(oursMs) / double(peerMs) : 0.0);
    std::printf("peak memory: %ld KiB\n", usage.ru_maxrss);
    return failures == 0 ? 0 : 1;
}
