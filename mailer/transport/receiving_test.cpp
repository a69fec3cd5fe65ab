// Receiving with a scripted mail component: the faults a real server seldom
// shows (garbled answers, a refused login, a mail that cannot be read or
// stored). Start-up and receiving against a real server are in
// receiving_server_test.
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

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailer;

namespace {

const Failure kUnreachable{FailureKind::Unreachable, "サーバーに接続できません"};

mail::ReceivedMail mailWithSubject(const QString& subject) {
    mail::ReceivedMail m;
    m.subject = subject;
    m.from = "s@example.jp";
    return m;
}

// Like the real component, writes the files of a SAVEALLD answer while it is asked.
class SavingFake : public mail::FakeMailComponent {
  public:
    Expected<QStringList> rcvMail(const QString& server, const QString& user,
                                  const QString& password, const QString& command,
                                  const QString& mailDir) override {
        auto answer = FakeMailComponent::rcvMail(server, user, password, command, mailDir);
        for (const QString& path :
             answer&& command == "SAVEALLD" ? answer->mid(1) : QStringList{}) {
            QFile(path).open(QIODevice::WriteOnly);
        }
        return answer;
    }
};

// The receiving place on a store of its own, with `accounts` accounts a@, b@, ...
struct Bench {
    explicit Bench(int accounts) {
        speech::Agent::Options options;
        options.transcriptPath = dir.filePath("transcript.txt");
        agent = std::make_unique<speech::Agent>(options);
        announcer.setCharacter(agent->loadDefault("genie"));
        state.mail_dir = dir.filePath("mail");
        QDir().mkpath(state.mail_dir);
        for (int n = 1; n <= accounts; ++n) {
            const QString email = QChar('a' + n - 1) + QString("@example.jp");
            state.accounts.push_back({n, false, {"pop", "smtp", "user", "pw", email, "", ""}});
        }
    }

    // Where the component saves a mail, under the name it gives such files.
    QString mailFile(int sequence) const {
        return QDir(state.mail_dir)
            .filePath(QString("20260301-090000-%1-abcd.eml").arg(sequence, 4, 10, QChar('0')));
    }
    QStringList spoken() const { return transcriptTexts(dir.filePath("transcript.txt")); }
    QStringList storedSubjects() {
        QStringList subjects;
        for (const MailSubject& m : store.subjectsInFolder(kReceivedFolder, false)) {
            subjects << m.subject;
        }
        return subjects;
    }
    // Runs `statement` on the store file through a connection of its own.
    bool execOnStore(const QString& statement) {
        bool ok = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "side");
            db.setDatabaseName(dir.filePath("speak_mail.mdb"));
            ok = db.open() && QSqlQuery(db).exec(statement);
        }
        QSqlDatabase::removeDatabase("side");
        return ok;
    }

    QTemporaryDir dir;
    MailStore store{std::get<MailStore>(MailStore::open(dir.filePath("speak_mail.mdb")))};
    std::unique_ptr<speech::Agent> agent;
    QLabel status, guide;
    Announcer announcer{&status, &guide};
    MailerState state;
    SavingFake component;
    Receiving receiving{store, announcer, state, component, [](int) {}};
};

}  // namespace

TEST(Receiving, TheCountIsTheSumAndAnAccountNotCheckedIsNeverTakenForOneWithoutMail) {
    struct Row {
        const char* name;
        QList<Expected<QStringList>> answers;
        QStringList spoken;
        int pending;
    };
    const Row rows[] = {
        {"mail at two of three",
         {QStringList{"2 100"}, QStringList{"0 0"}, QStringList{"3 9"}},
         {"メールが届いています[メールの数は]5"},
         5},
        {"none waiting",
         {QStringList{"0 0"}, QStringList{"0 0"}, QStringList{"0 0"}},
         {"新規メールは有りません"},
         0},
        {"one unreachable, none waiting elsewhere",
         {QStringList{"0 0"}, kUnreachable, QStringList{"0 0"}},
         {"確認できたアカウントに新規メールは有りません",
          "エラー：b@example.jp：サーバーに接続できません"},
         0},
        {"every account failing, one with an answer that is not a count",
         {kUnreachable, Failure{FailureKind::Login, "ユーザー名かパスワードが違います"},
          QStringList{"garbage"}},
         {"メールを確認できませんでした", "エラー：a@example.jp：サーバーに接続できません",
          "エラー：b@example.jp：ユーザー名かパスワードが違います",
          "エラー：c@example.jp：受信サーバーの答えを読めません"},
         0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Bench b(3);
        b.component.rcvAnswers = row.answers;
        b.state.pending_mail_count = 99;
        b.receiving.count_new_mail();
        EXPECT_EQ(b.spoken(), row.spoken);
        EXPECT_EQ(b.state.pending_mail_count, row.pending);
    }
}

TEST(Receiving, AnUnreadableMailIsNamedKeptAndStoredOnceItReads) {
    Bench b(1);
    const QString file = b.mailFile(1);
    b.component.rcvAnswers = {QStringList{"1 10", file}};
    b.component.readAnswers = {Failure{FailureKind::Disk, "ディスクがいっぱいです"}};
    b.receiving.receive_all();
    EXPECT_EQ(b.store.mailCount(kReceivedFolder), 0);
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_EQ(b.spoken(),
              (QStringList{"エラー：受信したメール 20260301 090000 0001 abcd.eml を読めません："
                           "ディスクがいっぱいです",
                           "新規メールは有りません"}));

    b.component.rcvAnswers = {QStringList{"0 0"}};
    b.component.readAnswers = {mailWithSubject("読めた")};
    b.receiving.receive_all();
    EXPECT_EQ(b.storedSubjects(), QStringList{"読めた"});
}

TEST(Receiving, AStoreRefusingOneMailStoresNoneOfTheAccountsAndTheNextReceiveStoresThem) {
    Bench b(1);
    ASSERT_TRUE(
        b.execOnStore("CREATE TRIGGER refuse BEFORE INSERT ON mail "
                      "WHEN NEW.subject = 'boom' BEGIN SELECT RAISE(ABORT, 'no'); END"));
    b.component.rcvAnswers = {QStringList{"2 20", b.mailFile(1), b.mailFile(2)}};
    b.component.readAnswers = {mailWithSubject("良い"), mailWithSubject("boom")};
    b.receiving.receive_all();
    EXPECT_EQ(b.store.mailCount(kReceivedFolder), 0);  // one transaction: none of the two
    EXPECT_TRUE(b.spoken().first().startsWith("エラー：メールストア"));

    ASSERT_TRUE(b.execOnStore("DROP TRIGGER refuse"));
    b.component.rcvAnswers = {QStringList{"0 0"}};
    b.component.readAnswers = {mailWithSubject("良い"), mailWithSubject("boom")};
    b.receiving.receive_all();
    EXPECT_EQ(b.storedSubjects(), (QStringList{"boom", "良い"}));
}
