// Reads a generated mailbox with readMailFile and, as the peer, with GMime
// alone (parse, decode headers and the text part with GMime's own calls), and
// prints both times, their ratio and the peak memory. Then reads mails built
// to be costly (huge header values, a 31 MB text body) and prints what each
// takes: time for the headers, memory growth against the body's size.
//   mime_read_bench [mail count, default 2000]
#include "gmime_handles.h"
#include "mail_reader.h"
#include "mime_test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/resource.h>

#include <cstdio>
#include <ctime>

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

// The processor time of this process: on a busy machine a fairer measure
// than the clock.
double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

// Times the reading of mails whose header values are huge.
int hostileHeaders(const QTemporaryDir& dir) {
    const QByteArray japanese =
        QString::fromUtf8("音声メッセージの名前").toUtf8().repeated(1536 * 1024 / 30) + ".mp3";
    QByteArray tenNames =
        "From: a@example.jp\r\nSubject: s\r\n"
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n";
    for (int i = 0; i < 10; ++i)
        tenNames += "--b\r\nContent-Type: audio/mpeg; name=\"" + QByteArray(100 * 1024, 'x') +
                    QByteArray::number(i) + ".mp3\"\r\n\r\nMP3\r\n";
    tenNames += "--b--\r\n";
    const std::pair<const char*, QByteArray> mails[] = {
        {"1 MB ASCII attachment name",
         test::mailWithHeader("s",
                              "attachment; filename=\"" + QByteArray(1024 * 1024, 'a') + ".mp3\"")},
        {"1.5 MB Japanese name, RFC 2231",
         test::mailWithHeader("s",
                              "attachment; filename*=UTF-8''" + test::percentEncoded(japanese))},
        {"1.5 MB Japanese name, raw UTF-8",
         test::mailWithHeader("s", "attachment; filename=\"" + japanese + "\"")},
        {"ten 100 KB names", tenNames},
        {"1 MB Subject of unterminated encoded words",
         test::mailWithHeader(QByteArray("=?utf-8?B?5pel ").repeated(70000), "attachment")},
        {"20 MB Subject of encoded words",
         test::mailWithHeader(QByteArray("=?utf-8?B?5pel5pys?=\r\n ").repeated(800000),
                              "attachment")},
        {"20 MB Subject of raw Shift_JIS",
         test::mailWithHeader(QByteArray::fromHex("89EF8B6382CC8C8F").repeated(2500000),
                              "attachment")},
        {"20 MB From of quoted pairs",
         test::mailWithHeader("s", "attachment")
             .replace("From: a@example.jp",
                      "From: \"" + QByteArray("\\\"").repeated(10000000) + "\" <a@example.jp>")},
    };
    int failures = 0;
    std::printf("\nhuge header values (read time of the whole mail):\n");
    for (const auto& [what, mail] : mails) {
        const QString path = dir.filePath(QStringLiteral("hostile.eml"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(mail) < 0)
            return 1;
        file.close();
        const QString out = dir.filePath(QStringLiteral("hostile-out"));
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        QElapsedTimer timer;
        timer.start();
        const double cpuBefore = cpuSeconds();
        const bool ok = readMailFile(path, out).ok();
        std::printf("  %-45s %6.1f MB  %6lld ms (CPU %6.0f ms)%s\n", what, mail.size() / 1048576.0,
                    static_cast<long long>(timer.elapsed()), (cpuSeconds() - cpuBefore) * 1000,
                    ok ? "" : "  (failed)");
        failures += ok ? 0 : 1;
    }
    return failures;
}

// Peak memory growth while reading a mail with one long text body, against
// the size of that body in the file.
int longBodies(const QTemporaryDir& dir) {
    constexpr qsizetype kBody = 31 * 1024 * 1024;
    const auto body = [](const QByteArray& line) { return line.repeated(kBody / line.size()); };
    const std::pair<const char*, QByteArray> mails[] = {
        {"ASCII, 8bit",
         "Content-Type: text/plain; charset=us-ascii\r\n\r\n" +
             body("The quick brown fox jumps over the lazy dog, again and again.\r\n")},
        {"Japanese UTF-8, 8bit",
         "Content-Type: text/plain; charset=utf-8\r\n\r\n" +
             body(
                 QString::fromUtf8("お世話になっております。会議の資料を送ります。\r\n").toUtf8())},
        {"Japanese Shift_JIS, 8bit", "Content-Type: text/plain; charset=shift_jis\r\n\r\n" +
                                         body(QByteArray::fromHex("82B182F182C982BF82CD0D0A"))},
        {"Japanese ISO-2022-JP, 7bit", "Content-Type: text/plain; charset=iso-2022-jp\r\n\r\n" +
                                           body("\x1b$B$3$s$K$A$O\x1b(B\r\n")},
        {"ASCII HTML, 8bit",
         "Content-Type: text/html; charset=us-ascii\r\n\r\n" +
             body("<p>The quick brown fox jumps over the <b>lazy</b> dog.</p>\r\n")},
    };
    int failures = 0;
    std::printf("\n31 MB text bodies (peak memory growth of the read):\n");
    for (const auto& [what, content] : mails) {
        const QString path = dir.filePath(QStringLiteral("long.eml"));
        {
            QFile file(path);
            const QByteArray header = "From: a@example.jp\r\nSubject: long\r\n";
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(header) < 0 ||
                file.write(content) < 0)
                return failures + 1;
        }
        const qsizetype bodyBytes = content.size() - content.indexOf("\r\n\r\n") - 4;
        QElapsedTimer timer;
        timer.start();
        const long grownKiB =
            orvane::mail::test::peakGrowthKiB([&] { return readMailFile(path, dir.path()).ok(); });
        std::printf("  %-30s body %5.1f MB  grew %6.1f MB  (%.2fx the body)  %6lld ms\n", what,
                    bodyBytes / 1048576.0, grownKiB / 1024.0, grownKiB * 1024.0 / bodyBytes,
                    static_cast<long long>(timer.elapsed()));
        failures += grownKiB < 0 ? 1 : 0;
    }
    return failures;
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
        if (!readMailFile(dir.filePath(name), out).ok())
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
    failures += hostileHeaders(dir) + longBodies(dir);
    return failures == 0 ? 0 : 1;
}
