#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <concepts>
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

// A mail with the given Subject and an attachment under the given
// Content-Disposition, both as written.
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

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

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
