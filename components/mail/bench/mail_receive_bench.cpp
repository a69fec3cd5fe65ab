// Receive benchmark: "SAVEALLD" plus ReadMail of every saved file, against
// mpop fetching and deleting the same mailbox into a Maildir, both from a
// private Dovecot on 127.0.0.1, in the same run; once on plain loopback and
// once through a proxy that delays each direction. Prints times, ratios
// (ours / mpop) and peak memory. Not a test: run it by hand.
//
//   mail_receive_bench [--count N] [--runs R] [--delay MS]
#include "mail_client.h"

#include "dovecot_server.h"
#include "test_certificate.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>

extern char** environ;

namespace {

using orvane::testing::DovecotServer;

struct Measure {
    double seconds = 0;
    long peakKiB = 0;
    int exitCode = -1;
    int left = -1;  // mails still on the server afterwards
};

// Runs a program and measures its wall time and peak resident memory.
Measure runMeasured(const QStringList& command) {
    std::vector<QByteArray> storage;
    for (const QString& arg : command) {
        storage.push_back(arg.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& arg : storage) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    Measure measure;
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return measure;
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    measure.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    measure.peakKiB = usage.ru_maxrss;
    measure.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return measure;
}

// Child mode: what the mailer does when it receives.
int receiveAndRead(const QString& server, const QString& mailDir) {
    orvane::mail::MailClient client;
    QElapsedTimer timer;
    timer.start();
    const orvane::Expected<QStringList> saved =
        client.rcvMail(server, DovecotServer::user(), DovecotServer::password(),
                       QStringLiteral("SAVEALLD"), mailDir);
    if (!saved.ok()) {
        std::fprintf(stderr, "SAVEALLD failed: %s\n", qPrintable(saved.failure().reason));
        return 1;
    }
    const qint64 receiveMs = timer.restart();
    int unread = 0;
    // Element 0 is the mailbox figures; every further element is a saved file.
    for (const QString& element : saved->mid(1)) {
        if (!client.readMail(element, mailDir).ok()) {
            ++unread;
        }
    }
    if (unread > 0) {
        std::fprintf(stderr, "%d mails could not be read\n", unread);
        return 1;
    }
    std::printf("    ours: SAVEALLD %lld ms, ReadMail of every file %lld ms\n",
                static_cast<long long>(receiveMs), static_cast<long long>(timer.elapsed()));
    std::fflush(stdout);
    return 0;
}

bool fill(DovecotServer& server, const QString& corpus, int count) {
    const QStringList files =
        QDir(corpus).entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name).mid(0, count);
    for (const QString& name : files) {
        QFile file(QDir(corpus).filePath(name));
        if (!file.open(QIODevice::ReadOnly) || !server.deliver(file.readAll())) {
            return false;
        }
    }
    ::sync();
    return server.messageCount() == files.size();
}

int countFiles(const QString& dir, const QString& pattern = QStringLiteral("*")) {
    return static_cast<int>(QDir(dir).entryList({pattern}, QDir::Files).size());
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--receive")) {
        return receiveAndRead(args[2], args[3]);
    }
    int count = 2000;
    int runs = 2;
    int delayMs = 20;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--count")) {
            count = args[i + 1].toInt();
        } else if (args[i] == QLatin1String("--runs")) {
            runs = std::max(1, args[i + 1].toInt());
        } else if (args[i] == QLatin1String("--delay")) {
            delayMs = args[i + 1].toInt();
        }
    }

    QTemporaryDir work;
    const QString corpus = work.filePath(QStringLiteral("corpus"));
    std::printf("making %d mails...\n", count);
    std::fflush(stdout);
    if (QProcess::execute(QStringLiteral("/usr/bin/python3"),
                          {QStringLiteral(ORVANE_MAIL_BENCH_DIR "/make_corpus.py"),
                           QString::number(count), corpus}) != 0) {
        std::fprintf(stderr, "corpus generation failed\n");
        return 1;
    }
    qint64 corpusBytes = 0;
    for (const QFileInfo& info : QDir(corpus).entryInfoList(QDir::Files)) {
        corpusBytes += info.size();
    }
    std::printf("corpus: %d mails, %.1f MB\n", count, static_cast<double>(corpusBytes) / 1e6);

    DovecotServer server({});
    if (!server.start()) {
        std::fprintf(stderr, "dovecot: %s\n", qPrintable(server.error()));
        return 1;
    }

    QProcess proxy;
    const quint16 proxyPort = orvane::testing::freeLoopbackPort();
    proxy.start(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral(ORVANE_MAIL_BENCH_DIR "/delay_proxy.py"), QString::number(proxyPort),
         QString::number(server.pop3Port()), QString::number(delayMs)});
    if (!proxy.waitForReadyRead(10000) || !proxy.readAllStandardOutput().contains("READY")) {
        std::fprintf(stderr, "delay proxy did not start\n");
        return 1;
    }

    const QString self = QCoreApplication::applicationFilePath();
    struct Mode {
        const char* name;
        quint16 port;
    };
    const Mode modes[] = {{"loopback", server.pop3Port()}, {"delayed", proxyPort}};
    bool allOk = true;
    for (const Mode& mode : modes) {
        std::vector<double> mpopTimes;
        std::vector<double> ourTimes;
        long mpopPeak = 0;
        long ourPeak = 0;
        for (int run = 1; run <= runs; ++run) {
            const QString base = work.filePath(QStringLiteral("%1-%2").arg(mode.name).arg(run));
            // mpop into a Maildir.
            const QString maildir = base + QStringLiteral("/mpop-maildir");
            for (const char* sub : {"new", "cur", "tmp"}) {
                QDir().mkpath(maildir + QLatin1Char('/') + QLatin1String(sub));
            }
            const QString rc = base + QStringLiteral("/mpoprc");
            QFile rcFile(rc);
            rcFile.open(QIODevice::WriteOnly);
            rcFile.write(QStringLiteral("account bench\nhost 127.0.0.1\nport %1\ntls off\n"
                                        "auth user\nuser %2\npassword %3\ndelivery maildir %4\n"
                                        "uidls_file %5/uidls\nkeep off\n")
                             .arg(mode.port)
                             .arg(DovecotServer::user(), DovecotServer::password(), maildir, base)
                             .toLocal8Bit());
            rcFile.close();
            QFile::setPermissions(rc, QFile::ReadOwner | QFile::WriteOwner);
            const QString mailDir = base + QStringLiteral("/ours-mail");
            Measure mpop;
            Measure ours;
            // Alternate who goes first, so that neither always meets a
            // warmer or busier machine.
            for (int turn = 0; turn < 2; ++turn) {
                if (!fill(server, corpus, count)) {
                    std::fprintf(stderr, "could not fill the mailbox\n");
                    return 1;
                }
                if ((turn + run) % 2 == 0) {
                    mpop = runMeasured({QStringLiteral("mpop"), QStringLiteral("-C"), rc,
                                        QStringLiteral("-q"), QStringLiteral("bench")});
                    mpop.left = server.messageCount();
                } else {
                    ours = runMeasured({self, QStringLiteral("--receive"),
                                        QStringLiteral("pop3://127.0.0.1:%1").arg(mode.port),
                                        mailDir});
                    ours.left = server.messageCount();
                }
            }
            const int mpopGot = countFiles(maildir + QStringLiteral("/new"));
            const bool mpopOk = mpop.exitCode == 0 && mpopGot == count && mpop.left == 0;
            const int ourGot = countFiles(mailDir, QStringLiteral("*.eml"));
            const bool oursOk = ours.exitCode == 0 && ourGot == count && ours.left == 0;

            std::printf(
                "%-8s run %d: mpop %6.2f s (%d mails, %ld KiB peak)%s   ours %6.2f s "
                "(%d mails + ReadMail, %ld KiB peak)%s\n",
                mode.name, run, mpop.seconds, mpopGot, mpop.peakKiB, mpopOk ? "" : " FAILED",
                ours.seconds, ourGot, ours.peakKiB, oursOk ? "" : " FAILED");
            std::fflush(stdout);
            allOk = allOk && mpopOk && oursOk;
            mpopTimes.push_back(mpop.seconds);
            ourTimes.push_back(ours.seconds);
            mpopPeak = std::max(mpopPeak, mpop.peakKiB);
            ourPeak = std::max(ourPeak, ours.peakKiB);
            QDir(base).removeRecursively();
        }
        const double ratio = median(ourTimes) / median(mpopTimes);
        const double bestRatio = *std::min_element(ourTimes.begin(), ourTimes.end()) /
                                 *std::min_element(mpopTimes.begin(), mpopTimes.end());
        std::printf(
            "%-8s median: mpop %.2f s, ours %.2f s, ratio %.2f (goal <= 1.30) %s; "
            "best of each: ratio %.2f; peak memory mpop %ld KiB, ours %ld KiB\n",
            mode.name, median(mpopTimes), median(ourTimes), ratio, ratio <= 1.3 ? "met" : "NOT met",
            bestRatio, mpopPeak, ourPeak);
        std::fflush(stdout);
    }
    proxy.terminate();
    proxy.waitForFinished(5000);
    return allOk ? 0 : 1;
}
