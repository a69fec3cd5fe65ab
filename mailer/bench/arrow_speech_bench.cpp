// Speech on the mail list through the real window and the real audio path
// (not part of the test suite; run by hand):
//   arrow    Down pressed on the list → first audible sample of the row's
//            speech handed to the sound device; median and worst of 20.
//   silence  Ctrl pressed and released alone while a row is being spoken →
//            the sound device silenced (what it holds dropped, nothing more
//            handed over); median and worst of 10.
// Open JTalk with the HTS voice of ORVANE_VOICE or ORVANE_SHARED_DIR/voices,
// into a private PulseAudio null sink through PortAudio. Without the voice or
// the sound server it says so and ends.
#include "agent.h"
#include "bench_services.h"
#include "mail_client.h"
#include "mail_store.h"
#include "main_window.h"
#include "news_component.h"
#include "open_jtalk_engine.h"
#include "portaudio_sink.h"
#include "settings_wiring.h"
#include "virtual_sound.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTableView>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

using namespace orvane;
using namespace orvane::mailer;
using Clock = std::chrono::steady_clock;

namespace {

QString voicePath() {
    const QString own = qEnvironmentVariable("ORVANE_VOICE");
    if (!own.isEmpty() && QFileInfo::exists(own)) {
        return own;
    }
    QString shared = qEnvironmentVariable("ORVANE_SHARED_DIR");
    if (shared.isEmpty()) {
        shared = QStringLiteral(ORVANE_SOURCE_DIR "/../shared");
    }
    const QString path = QDir(shared).filePath("voices/tohoku-f01-neutral.htsvoice");
    return QFileInfo::exists(path) ? path : QString();
}

// Notes when the first audible sample of a text reaches the device, and when
// the device was silenced (what it held dropped).
class TimingSink final : public speech::AudioSink {
  public:
    explicit TimingSink(std::shared_ptr<speech::AudioSink> inner) : inner_(std::move(inner)) {}

    Expected<void> play(const speech::Audio& audio, const std::atomic<bool>& stop) override {
        {
            std::lock_guard lock(mutex_);
            if (!firstAudible_) {
                const auto loud = std::find_if(audio.samples.begin(), audio.samples.end(),
                                               [](std::int16_t v) { return v > 100 || v < -100; });
                if (loud != audio.samples.end()) {
                    const double lead =
                        double(loud - audio.samples.begin()) / std::max(1, audio.sampleRate);
                    firstAudible_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                       std::chrono::duration<double>(lead));
                    changed_.notify_all();
                }
            }
        }
        return inner_->play(audio, stop);
    }
    void drain(const std::atomic<bool>& stop) override { inner_->drain(stop); }
    void discard() override {
        inner_->discard();
        std::lock_guard lock(mutex_);
        silenced_ = Clock::now();
        changed_.notify_all();
    }

    void reset() {
        std::lock_guard lock(mutex_);
        firstAudible_.reset();
    }
    std::optional<Clock::time_point> waitFirstAudible(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, timeout, [&] { return firstAudible_.has_value(); });
        return firstAudible_;
    }
    // Waits until the device has been silenced after `since`; when.
    std::optional<Clock::time_point> waitSilenced(Clock::time_point since,
                                                  std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, timeout, [&] { return silenced_ > since; });
        return silenced_ > since ? std::optional(silenced_) : std::nullopt;
    }

  private:
    std::shared_ptr<speech::AudioSink> inner_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<Clock::time_point> firstAudible_;
    Clock::time_point silenced_;
};

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void print(const char* what, std::vector<double> values, double goal) {
    if (values.empty()) {
        std::printf("  %-44s no measurement\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    std::printf("  %-44s median %6.1f ms, worst %6.1f ms (n=%zu; goal: median at most %.0f ms)\n",
                what, values[values.size() / 2], values.back(), values.size(), goal);
}

// A program folder whose list holds `mails` read mails with long subjects,
// and one account whose server refuses at once.
bool makeFolder(const QString& folder, int mails) {
    auto opened = MailStore::open(QDir(folder).filePath("speak_mail.mdb"));
    if (!opened) {
        return false;
    }
    MailStore& store = *opened;
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    store.insertAccount({QStringLiteral("pop3://127.0.0.1:%1").arg(probe.serverPort()), "smtp", "u",
                         "p", "bench@example.jp", "", ""});
    // Subjects and senders as a mailbox holds them, short and long.
    const QStringList subjects = {
        "Re: 明日の会議について", "請求書の送付",   "【重要】システムメンテナンスのお知らせ",
        "ランチのお誘い",         "議事録",         "Fw: 出張の件",
        "週報 4月第1週",          "写真を送ります", "資料の確認をお願いします",
        "お疲れさまでした"};
    const QStringList senders = {"山田 太郎 <yamada@example.jp>", "suzuki@example.com",
                                 "佐藤 <sato@example.jp>", "総務部 <soumu@example.co.jp>"};
    const QDateTime start(QDate(2026, 4, 1), QTime(9, 0));
    for (int i = 0; i < mails; ++i) {
        const int id = store.insertReceivedMail(
            {start.addSecs(i * 60), "f", senders[i % senders.size()],
             subjects[i % subjects.size()] +
                 (i >= subjects.size() ? QStringLiteral("（%1）").arg(i) : QString()),
             "", ""});
        store.markRead(id);
    }
    QDir(folder).mkpath("characters");
    QFile::copy(QStringLiteral(ORVANE_SOURCE_DIR "/components/speech/characters/genie.acs"),
                QDir(folder).filePath("characters/genie.acs"));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString voice = voicePath();
    if (voice.isEmpty()) {
        std::printf("skipped: no HTS voice (ORVANE_VOICE / ORVANE_SHARED_DIR/voices)\n");
        return 0;
    }
    testing::VirtualSoundDevice device;
    if (!device.available()) {
        std::printf("skipped: no private sound server (%s)\n", qPrintable(device.whyNot()));
        return 0;
    }
    QTemporaryDir folder;
    constexpr int kMails = 30;
    if (!makeFolder(folder.path(), kMails)) {
        std::printf("the store could not be made\n");
        return 1;
    }
    qputenv("ORVANE_HOME", folder.path().toUtf8());

    auto timing = std::make_shared<TimingSink>(std::make_shared<speech::PortAudioSink>());
    speech::Agent::Options options;
    options.transcriptPath = QString();
    options.characterDirs = {QDir(folder.path()).filePath("characters")};
    options.engineFactory = [voice] { return std::make_unique<speech::OpenJTalkEngine>(voice); };
    options.sink = timing;
    options.synthesisCacheBytes = 0;  // every row is new speech, as when reading new mail
    speech::Agent agent(options);

    auto opened = MailStore::open(QDir(folder.path()).filePath("speak_mail.mdb"));
    if (!opened) {
        std::fprintf(stderr, "%s\n", qPrintable(opened.failure().reason));
        return 1;
    }
    MailStore& store = *opened;
    MainWindow window(bench::realServices(store, agent, folder.path()));
    window.show();
    window.Form_Load();
    agent.waitUntilIdle(120000);

    auto* grid = window.findChild<QTableView*>(QStringLiteral("MSFlexGrid1"));
    grid->activateWindow();
    grid->setFocus();
    if (!QTest::qWaitFor([grid] { return grid->hasFocus(); }, 2000)) {
        std::printf("the mail list did not get the focus\n");
        return 1;
    }

    std::printf("mail list speech through the window, Open JTalk, PortAudio into a null sink\n");
    std::vector<double> arrow;
    for (int round = 0; round < 20; ++round) {
        timing->reset();
        const auto pressed = Clock::now();
        QTest::keyClick(grid, Qt::Key_Down);
        if (const auto heard = timing->waitFirstAudible(std::chrono::seconds(10))) {
            arrow.push_back(ms(*heard - pressed));
        }
        agent.waitUntilIdle(30000);
    }
    print("Down → first audible sample of the row", arrow, 150);

    std::vector<double> silence;
    for (int round = 0; round < 10; ++round) {
        QTest::keyClick(grid, round % 2 == 0 ? Qt::Key_Up : Qt::Key_Down);
        timing->reset();
        if (!timing->waitFirstAudible(std::chrono::seconds(10))) {
            continue;
        }
        QTest::qWait(300);  // well into the row's speech
        QTest::keyPress(grid, Qt::Key_Control);
        const auto released = Clock::now();
        QTest::keyRelease(grid, Qt::Key_Control);
        if (const auto silenced = timing->waitSilenced(released, std::chrono::seconds(2))) {
            silence.push_back(ms(*silenced - released));
        }
        agent.waitUntilIdle(5000);
    }
    print("Ctrl alone → the device silenced", silence, 50);
    return 0;
}
