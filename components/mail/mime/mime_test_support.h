#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <concepts>
#include <csignal>
#include <cstdio>
#include <functional>
#include <ostream>
#include <string>

namespace orvane::mail::test {

// Bytes from hex text such as "82 A0 87 40".
inline QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text));
}

inline QString utf8(const char* text) {
    return QString::fromUtf8(text);
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Mail text written with "\n"; the file gets CRLF as from a POP3 server.
inline QByteArray crlf(QByteArray text) {
    text.replace("\n", "\r\n");
    return text;
}

// How far the resident memory of a child process grows above what it starts
// with while it runs `work`, in KiB; -1 when `work` answers false or the
// child dies. A child of its own, so that an earlier peak of this process
// cannot hide the growth.
inline long peakGrowthKiB(const std::function<bool()>& work) {
    int channel[2];
    if (::pipe(channel) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        long startKiB = 0;
        if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
            long size = 0, resident = 0;
            if (std::fscanf(statm, "%ld %ld", &size, &resident) == 2)
                startKiB = resident * (::sysconf(_SC_PAGESIZE) / 1024);
            std::fclose(statm);
        }
        long grown = -1;
        if (work()) {
            rusage usage{};
            ::getrusage(RUSAGE_SELF, &usage);
            grown = usage.ru_maxrss - startKiB;
        }
        const ssize_t written = ::write(channel[1], &grown, sizeof grown);
        ::_exit(written == sizeof grown ? 0 : 1);
    }
    ::close(channel[1]);
    long grown = -1;
    if (child < 0 || ::read(channel[0], &grown, sizeof grown) != sizeof grown)
        grown = -1;
    ::close(channel[0]);
    int status = 0;
    if (child > 0)
        ::waitpid(child, &status, 0);
    return grown;
}

// A mail from a@example.jp with `subject`; `rest` is any further header
// lines, a blank line and the body. Written with "\n", saved with CRLF.
inline QByteArray mail(const QByteArray& subject, const QByteArray& rest) {
    return crlf("From: a@example.jp\nSubject: " + subject + "\n" + rest);
}

// The same as a multipart/mixed mail (boundary "b") of `parts`, each its
// header lines, a blank line and its content.
inline QByteArray mixedMail(const QByteArray& subject, const QList<QByteArray>& parts) {
    QByteArray body = "Content-Type: multipart/mixed; boundary=b\n\n";
    for (const QByteArray& part : parts)
        body += "--b\n" + part + "\n";
    return mail(subject, body + "--b--\n");
}

// A mail with the given Subject and an attachment under the given
// Content-Disposition, both as written (CRLF kept as it is).
inline QByteArray mailWithHeader(const QByteArray& subject, const QByteArray& disposition) {
    return "From: a@example.jp\r\nSubject: " + subject +
           "\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
           "--b\r\nContent-Type: text/plain\r\n\r\nbody\r\n"
           "--b\r\nContent-Type: audio/mpeg\r\nContent-Disposition: " +
           disposition + "\r\n\r\nMP3\r\n--b--\r\n";
}

// Every byte as %XX, as in an RFC 2231 parameter.
inline QByteArray percentEncoded(const QByteArray& bytes) {
    QByteArray out;
    for (const char c : bytes)
        out += '%' + QByteArray::number(static_cast<unsigned char>(c), 16).toUpper();
    return out;
}

// Bytes shaped like an MP3 voice message: a tag, frame headers and noise that
// holds CR and LF bytes of its own.
inline QByteArray mp3Like(qsizetype length) {
    QByteArray bytes("ID3\x03\x00\x00\x00\x00\x00\x0f", 10);
    bytes.reserve(length + 4);
    quint32 seed = 7;
    while (bytes.size() < length) {
        if (bytes.size() % 417 == 0)
            bytes += QByteArray::fromHex("fffb9064");
        seed = seed * 1664525u + 1013904223u;
        bytes += static_cast<char>(seed >> 24);
    }
    bytes.truncate(length);
    return bytes;
}

// The line endings of a voice mail's pieces.
struct LineEnds {
    const char* header = "\r\n";    // of the mail's header
    const char* part = "\r\n";      // of the parts' headers
    const char* content = "\r\n";   // of the text and base64 lines
    const char* boundary = "\r\n";  // of the boundary lines
};

// A mail with the text "声のメッセージです。" and `voice` as the base64
// attachment voice.mp3, in lines of 76.
inline QByteArray voiceMail(const QByteArray& voice, LineEnds eol = {}) {
    const QByteArray h = eol.header, p = eol.part, c = eol.content, b = eol.boundary;
    QByteArray mail = "From: a@example.jp" + h + "Subject: voice" + h +
                      "Content-Type: multipart/mixed; boundary=\"b\"" + h + h + "--b" + b +
                      "Content-Type: text/plain; charset=utf-8" + p + p +
                      QByteArray("声のメッセージです。") + c + "--b" + b +
                      "Content-Type: audio/mpeg" + p +
                      "Content-Disposition: attachment; filename=voice.mp3" + p +
                      "Content-Transfer-Encoding: base64" + p + p;
    const QByteArray base64 = voice.toBase64();
    for (qsizetype at = 0; at < base64.size(); at += 76)
        mail += base64.mid(at, 76) + c;
    return mail + "--b--" + b;
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes fail as on a full disk while this lives: the file size limit, with
// the signal it raises ignored.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

// Table rows of parameterised tests are printed and named by their `name`;
// bring PrintTo into the rows' namespace with `using test::PrintTo;`.
template <typename Row>
requires std::convertible_to<decltype(Row::name), const char*>
void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

struct RowName {
    template <typename Info>
    std::string operator()(const Info& info) const {
        return info.param.name;
    }
};

}  // namespace orvane::mail::test
