// The mail list with a folder of 100,000 mails (not part of the test suite; run
// by hand): from the start of the window's start-up to "メール数は100000" handed
// to the character, and the resident memory of the process, first with the
// rows the view asked for, then with every row read.
//
//   mail_list_bench [FOLDER]     FOLDER: where the store is made (and kept);
//                                a temporary folder when not given.
#include "agent.h"
#include "bench_services.h"
#include "mail_client.h"
#include "mail_list.h"
#include "mail_list_model.h"
#include "mail_store.h"
#include "main_window.h"
#include "news_component.h"
#include "settings_wiring.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTableView>
#include <QTcpServer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace orvane;
using namespace orvane::mailer;

namespace {

constexpr int kMails = 100000;
constexpr int kUnread = 10;

long statusKb(const char* field) {
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(static_cast<qsizetype>(std::strlen(field)))
                .trimmed()
                .split(' ')[0]
                .toLong();
        }
    }
    return -1;
}

// A port on 127.0.0.1 with nothing behind it: the account's check fails at once.
quint16 closedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

bool makeStore(const QString& folder) {
    const QString path = QDir(folder).filePath("speak_mail.mdb");
    if (QFile::exists(path)) {
        return true;
    }
    QElapsedTimer timer;
    timer.start();
    auto opened = MailStore::open(path);
    if (!opened) {
        std::fprintf(stderr, "%s\n", qPrintable(opened.failure().reason));
        return false;
    }
    MailStore& store = *opened;
    store.insertAccount({QStringLiteral("pop3://127.0.0.1:%1").arg(closedPort()), "smtp", "u", "p",
                         "bench@example.jp", "", ""});
    const QString body =
        QStringLiteral("いつもお世話になっております。来週の会議の資料を添付します。").repeated(8);
    const QDateTime start(QDate(2020, 1, 1), QTime(0, 0));
    std::vector<NewMailRow> batch;
    for (int i = 0; i < kMails; ++i) {
        batch.push_back({start.addSecs(i * 60), QStringLiteral("/mail/%1.eml").arg(i),
                         QStringLiteral("送信者%1 <sender%1@example.jp>").arg(i % 500),
                         QStringLiteral("第%1回 打ち合わせの件について").arg(i), body,
                         i % 7 == 0 ? QStringLiteral("/mail/voice%1.mp3").arg(i) : QString()});
        if (batch.size() == 5000) {
            store.insertReceivedMails(batch);
            batch.clear();
        }
    }
    // All but the newest few are read: start-up reads the unread subjects.
    for (const MailListRow& row : store.mailPage(kReceivedFolder, nullptr, kMails)) {
        if (row.id <= kMails - kUnread) {
            store.markRead(row.id);
        }
    }
    std::printf("store of %d mails made in %.1f s (%.0f MB)\n", kMails, timer.elapsed() / 1000.0,
                QFileInfo(path).size() / 1048576.0);
    std::fflush(stdout);
    return true;
}

// The window's start-up on `folder`, timed from this process's side.
int openWindow(const QString& folder) {
    const QString transcript = QDir(folder).filePath("transcript.txt");
    QFile::remove(transcript);
    const long rssBefore = statusKb("VmRSS:");
    const QDateTime begun = QDateTime::currentDateTime();
    QElapsedTimer timer;
    timer.start();
    auto opened = MailStore::open(QDir(folder).filePath("speak_mail.mdb"));
    if (!opened) {
        std::fprintf(stderr, "%s\n", qPrintable(opened.failure().reason));
        return 1;
    }
    MailStore& store = *opened;
    speech::Agent::Options options;
    options.transcriptPath = transcript;
    speech::Agent agent(options);
    MainWindow window(bench::realServices(store, agent, folder));
    window.show();
    window.Form_Load();
    const double startUpMs = timer.nsecsElapsed() / 1e6;

    QFile said(transcript);
    said.open(QIODevice::ReadOnly);
    double countMs = -1;
    for (const QByteArray& line : said.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() == 2 && parts[1] == QStringLiteral("メール数は%1").arg(kMails).toUtf8()) {
            const QDateTime at =
                QDateTime::fromString(QString::fromUtf8(parts[0]), Qt::ISODateWithMs);
            countMs = begun.msecsTo(at);
        }
    }
    std::printf(
        "start-up to \"メール数は%d\" handed to the character: %.0f ms "
        "(whole start-up %.0f ms, transcript clock)\n",
        kMails, countMs, startUpMs);
    std::printf(
        "  memory after start-up: VmRSS %ld KiB (before the window %ld KiB), peak %ld KiB\n",
        statusKb("VmRSS:"), rssBefore, statusKb("VmHWM:"));

    // The refill alone, warm (choosing the folder again).
    std::vector<double> refills;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer refill;
        refill.start();
        window.mailList().init_mail_grid();
        window.mailList().read_mail_from_db();
        refills.push_back(refill.nsecsElapsed() / 1e6);
    }
    std::sort(refills.begin(), refills.end());
    std::printf("  init_mail_grid + read_mail_from_db, warm: median %.1f ms, worst %.1f ms\n",
                refills[2], refills.back());

    QElapsedTimer all;
    all.start();
    MailListModel& model = window.mailList().model();
    while (model.canFetchMore({})) {
        model.fetchMore({});
    }
    std::printf(
        "  every row read into the list (%d rows) in %.0f ms: VmRSS %ld KiB, peak %ld KiB\n",
        model.rowCount() - 1, all.nsecsElapsed() / 1e6, statusKb("VmRSS:"), statusKb("VmHWM:"));
    return countMs >= 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && QByteArray(argv[1]) == "--open") {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("ORVANE_SPEECH", "none");
        QApplication app(argc, argv);
        return openWindow(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
    QDir().mkpath(folder);
    if (!makeStore(folder)) {
        return 1;
    }
    // A process of its own, as the program starts.
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {"--open", folder});
    child.waitForFinished(-1);
    return child.exitCode();
}
