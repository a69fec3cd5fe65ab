#include "receiving.h"

#include "agent.h"
#include "announcer.h"
#include "fake_mail_component.h"
#include "mailer_state.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailer;
using mail::FakeMailComponent;

namespace {

mail::ReceivedMail readMail(const QString& subject, const QString& from = "送信者 <s@example.jp>",
                            const QString& body = "本文", const QStringList& attachments = {}) {
    mail::ReceivedMail m;
    m.subject = subject;
    m.from = from;
    m.body = body;
    m.attachments = attachments;
    return m;
}

Failure unreachable() {
    return Failure{FailureKind::Unreachable, "サーバーに接続できません"};
}

// A scripted component that, like the real one, writes the mail files of a
// SAVEALLD answer while it is asked (not before).
class SavingFake : public FakeMailComponent {
  public:
    Expected<QStringList> rcvMail(const QString& server, const QString& user,
                                  const QString& password, const QString& command,
                                  const QString& mailDir) override {
        Expected<QStringList> answer =
            FakeMailComponent::rcvMail(server, user, password, command, mailDir);
        if (answer && command == "SAVEALLD") {
            for (const QString& path : answer->mid(1)) {
                QFile file(path);
                file.open(QIODevice::WriteOnly);
                file.write("Subject: x\r\n\r\nbody\r\n");
            }
        }
        return answer;
    }
};

// The receiving place on a store of its own, with a scripted component.
class ReceivingBench {
  public:
    ReceivingBench() {
        auto opened = MailStore::open(dir.filePath("speak_mail.mdb"));
        store.emplace(std::move(opened).value());
        speech::Agent::Options options;
        options.transcriptPath = dir.filePath("transcript.txt");
        agent = std::make_unique<speech::Agent>(options);
        announcer.setCharacter(agent->loadDefault("genie"));
        state.mail_dir = dir.filePath("mail");
        QDir().mkpath(state.mail_dir);
        receiving = std::make_unique<Receiving>(*store, announcer, state, component,
                                                [this](int s) { pauses << s; });
    }
    virtual ~ReceivingBench() = default;

    void addAccount(const QString& email) {
        const int n = static_cast<int>(state.accounts.size()) + 1;
        state.accounts.push_back(
            {n,
             false,
             {"pop3://127.0.0.1:" + QString::number(n), "smtp", "user", "pw", email, "", ""}});
    }

    // Where the component saves mail, with the name it gives such files.
    QString mailFile(int sequence) const {
        return QDir(state.mail_dir)
            .filePath(
                QString("20260301-090000-%1-abcd.eml").arg(sequence, 4, 10, QLatin1Char('0')));
    }
    // A mail file saved by an earlier run.
    QString savedFile(int sequence) const {
        const QString path = mailFile(sequence);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        return path;
    }

    QStringList spoken() const { return transcriptTexts(dir.filePath("transcript.txt")); }
    QStringList storedSubjects() {
        QStringList subjects;
        for (const MailSubject& m : store->subjectsInFolder(kReceivedFolder, false)) {
            subjects << m.subject;
        }
        return subjects;
    }
    bool execOnStore(const QString& statement) {
        const QString name = QUuid::createUuid().toString();
        bool ok = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
            db.setDatabaseName(dir.filePath("speak_mail.mdb"));
            ok = db.open() && QSqlQuery(db).exec(statement);
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        return ok;
    }

    QTemporaryDir dir;
    std::optional<MailStore> store;
    std::unique_ptr<speech::Agent> agent;
    QLabel status, guide;
    Announcer announcer{&status, &guide};
    MailerState state;
    SavingFake component;
    QList<int> pauses;
    std::unique_ptr<Receiving> receiving;
};

class ReceivingTest : public ::testing::Test, public ReceivingBench {};

}  // namespace

TEST_F(ReceivingTest, CountIsTheSumOverAccountsAndFailuresAreNamedAfterIt) {
    struct Row {
        const char* name;
        QList<Expected<QStringList>> answers;
        QStringList spoken;
        int pending;
        QList<int> pauses;
    };
    const Row rows[] = {
        {"mail at two of three",
         {QStringList{"2 100"}, QStringList{"0 0"}, QStringList{"3 9"}},
         {"メールが届いています[メールの数は]5"},
         5,
         {1, 1}},
        {"none waiting",
         {QStringList{"0 0"}, QStringList{"0 0"}, QStringList{"0 0"}},
         {"新規メールは有りません"},
         0,
         {}},
        {"one unreachable, one with mail",
         {unreachable(), QStringList{"4 400"}, QStringList{"0 0"}},
         {"メールが届いています[メールの数は]4", "エラー：a@example.jp：サーバーに接続できません"},
         4,
         {1}},
        {"one unreachable, none waiting elsewhere",
         {QStringList{"0 0"}, unreachable(), QStringList{"0 0"}},
         {"確認できたアカウントに新規メールは有りません",
          "エラー：b@example.jp：サーバーに接続できません"},
         0,
         {}},
        {"every account failing",
         {unreachable(), Failure{FailureKind::Login, "ユーザー名かパスワードが違います"},
          QStringList{"garbage"}},
         {"メールを確認できませんでした", "エラー：a@example.jp：サーバーに接続できません",
          "エラー：b@example.jp：ユーザー名かパスワードが違います",
          "エラー：c@example.jp：受信サーバーの答えを読めません"},
         0,
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ReceivingBench b;
        auto [component, state, pauses, receiving] =
            std::tie(b.component, b.state, b.pauses, b.receiving);
        b.addAccount("a@example.jp");
        b.addAccount("b@example.jp");
        b.addAccount("c@example.jp");
        component.rcvAnswers = row.answers;
        state.pending_mail_count = 99;
        receiving->count_new_mail();
        EXPECT_EQ(b.spoken(), row.spoken);
        EXPECT_EQ(state.pending_mail_count, row.pending);
        EXPECT_EQ(pauses, row.pauses);
        // The working POP values are the last account's.
        EXPECT_EQ(state.pop.server, "pop3://127.0.0.1:3");
        ASSERT_EQ(component.calls.size(), 3);
        EXPECT_EQ(component.calls[0].args,
                  (QStringList{"pop3://127.0.0.1:1", "user", "pw", "STAT", state.mail_dir}));
    }
}

TEST_F(ReceivingTest, WithoutAccountsNothingIsAskedOrSaid) {
    state.pending_mail_count = 7;
    receiving->count_new_mail();
    EXPECT_TRUE(spoken().isEmpty());
    EXPECT_EQ(state.pending_mail_count, 7);
    EXPECT_TRUE(component.calls.isEmpty());
}

TEST_F(ReceivingTest, MailIsStoredExactlyAsReadNewestFirstAndHeardWithoutRulers) {
    addAccount("a@example.jp");
    const QString body =
        "お世話になります。\n----------\nURL: https://example.jp/a-b_c?x=\"1\"\n"
        "mail: taro_yamada@example.jp\n＿＿＿＿\nIt's \"quoted\".";
    const QString first = mailFile(1);
    const QString second = mailFile(2);
    component.rcvAnswers = {QStringList{"2 900", first, second}};
    component.readAnswers = {
        readMail("件名-with_marks 'q'", "\"山田 太郎\" <taro_yamada@example.jp>", body,
                 {dir.filePath("mail/声.mp3"), dir.filePath("mail/b.txt")}),
        readMail("二通目")};
    receiving->receive_all();
    const std::vector<MailListRow> rows = store->mailsInFolder(kReceivedFolder);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].subject, "二通目");  // stored last: listed first
    EXPECT_EQ(rows[0].attach, "");
    const MailListRow& mail = rows[1];
    EXPECT_EQ(mail.subject, "件名-with_marks 'q'");
    EXPECT_EQ(mail.mailfrom, "\"山田 太郎\" <taro_yamada@example.jp>");
    EXPECT_EQ(mail.readflag, kUnread);
    EXPECT_EQ(mail.attach, dir.filePath("mail/声.mp3"));
    EXPECT_EQ(store->mailBody(mail.id)->body, body);
    EXPECT_LE(std::abs(mail.date.secsTo(QDateTime::currentDateTime())), 5);
    EXPECT_EQ(spoken(), QStringList{"2通のメールを受信しました"});
    EXPECT_EQ(component.calls[1].args, (QStringList{first, state.mail_dir}));

    const QString heard = Announcer::spokenForm(body);
    for (const QString mark : {"-", "_", "＿", "\""}) {
        EXPECT_FALSE(heard.contains(mark)) << mark.toStdString();
    }
    EXPECT_TRUE(heard.contains("taro yamada@example.jp"));
}

TEST_F(ReceivingTest, OneAccountFailingLeavesTheOthersStoredAndIsNamed) {
    addAccount("a@example.jp");
    addAccount("b@example.jp");
    const QString file = mailFile(1);
    component.rcvAnswers = {unreachable(), QStringList{"1 10", file}};
    component.readAnswers = {readMail("届いた")};
    receiving->receive_all();
    EXPECT_EQ(storedSubjects(), QStringList{"届いた"});
    EXPECT_EQ(spoken(), (QStringList{"1通のメールを受信しました",
                                     "エラー：a@example.jp：サーバーに接続できません"}));
}

TEST_F(ReceivingTest, FilesLeftUnstoredAreStoredByTheNextReceiveExactlyOnce) {
    addAccount("a@example.jp");
    // A run ended after saving these and storing only the first.
    const QString stored = savedFile(1);
    const QString left = savedFile(2);
    store->insertReceivedMail({QDateTime::currentDateTime(), stored, "s", "保存済み", "", ""});
    // Not received mail: an attachment, a part file, an .eml put there by hand.
    for (const char* other : {"声.mp3", ".incoming-1-2-3.part", "notes.eml"}) {
        QFile f(QDir(state.mail_dir).filePath(other));
        f.open(QIODevice::WriteOnly);
    }
    const QString fresh = mailFile(3);
    component.rcvAnswers = {QStringList{"1 10", fresh}};
    component.readAnswers = {readMail("残っていた"), readMail("新着")};
    receiving->receive_all();
    EXPECT_EQ(storedSubjects(), (QStringList{"新着", "残っていた", "保存済み"}));
    // The leftover is read first (before the server is asked): it is older.
    ASSERT_EQ(component.calls.size(), 3);
    EXPECT_EQ(component.calls[0].args.value(0), left);
    EXPECT_EQ(component.calls[1].method, "RcvMail");
    EXPECT_EQ(spoken().last(), "2通のメールを受信しました");

    component.calls.clear();
    component.rcvAnswers = {QStringList{"0 0"}};
    receiving->receive_all();
    EXPECT_EQ(store->mailCount(kReceivedFolder), 3);
    EXPECT_EQ(component.calls.size(), 1);  // nothing read again
}

TEST_F(ReceivingTest, UnreadableFileIsReportedKeptAndStoredOnceItReads) {
    addAccount("a@example.jp");
    const QString file = mailFile(1);
    component.rcvAnswers = {QStringList{"1 10", file}};
    component.readAnswers = {Failure{FailureKind::Disk, "ディスクがいっぱいです"}};
    receiving->receive_all();
    EXPECT_EQ(store->mailCount(kReceivedFolder), 0);
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_EQ(spoken(),
              (QStringList{"エラー：受信したメール 20260301 090000 0001 abcd.eml を読めません："
                           "ディスクがいっぱいです",
                           "新規メールは有りません"}));

    component.rcvAnswers = {QStringList{"0 0"}};
    component.readAnswers = {readMail("読めた")};
    receiving->receive_all();
    EXPECT_EQ(storedSubjects(), QStringList{"読めた"});
}

TEST_F(ReceivingTest, StoreRefusingKeepsTheAccountsFilesForTheNextReceive) {
    addAccount("a@example.jp");
    const QString good = mailFile(1);
    const QString refused = mailFile(2);
    ASSERT_TRUE(
        execOnStore("CREATE TRIGGER refuse BEFORE INSERT ON mail "
                    "WHEN NEW.subject = 'boom' BEGIN SELECT RAISE(ABORT, 'no'); END"));
    component.rcvAnswers = {QStringList{"2 20", good, refused}};
    component.readAnswers = {readMail("良い"), readMail("boom")};
    receiving->receive_all();
    EXPECT_EQ(store->mailCount(kReceivedFolder), 0);  // one transaction: none of the two
    EXPECT_TRUE(spoken().first().startsWith("エラー：メールストア"));

    ASSERT_TRUE(execOnStore("DROP TRIGGER refuse"));
    component.rcvAnswers = {QStringList{"0 0"}};
    component.readAnswers = {readMail("良い"), readMail("boom")};
    receiving->receive_all();
    EXPECT_EQ(storedSubjects(), (QStringList{"boom", "良い"}));
}
