// Receiving through the menus of the real window with a scripted mail
// component: the faults a real server seldom shows (an answer that is no count,
// a refused login, a mail that cannot be read or stored). Against a real
// server: receiving_server_test.
#include "compose_test_support.h"

#include <QSqlDatabase>
#include <QSqlQuery>

using namespace orvane;
using namespace orvane::mailer;
using namespace orvane::mailer::test;

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

class ReceivingWindow : public ::testing::Test {
  protected:
    // The window on `accounts` accounts, a@, b@ and so on.
    void start(int accounts) {
        for (int n = 0; n < accounts; ++n) {
            home.addAccount("pop" + QString::number(n), QChar('a' + n) + QString("@example.jp"));
        }
        home.createComponent = [this] {
            auto fake = std::make_unique<SavingFake>();
            component = fake.get();
            return fake;
        };
        home.start();
    }
    // Runs a menu item; what it said.
    QStringList run(const char* item) {
        return saidDuring(home, [&] { home.window->menuAction(item)->trigger(); });
    }
    // Where the component saves a mail, under the name it gives such files.
    QString mailFile(int sequence) const {
        return QDir(home.mailDir())
            .filePath(QString("20260301-090000-%1-abcd.eml").arg(sequence, 4, 10, QChar('0')));
    }
    QStringList storedSubjects() {
        QStringList subjects;
        for (const MailSubject& m : home.store().subjectsInFolder(kReceivedFolder, false)) {
            subjects << m.subject;
        }
        return subjects;
    }
    // Runs `statement` on the store file through a connection of its own.
    bool execOnStore(const QString& statement) {
        bool ok = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "side");
            db.setDatabaseName(home.storePath());
            ok = db.open() && QSqlQuery(db).exec(statement);
        }
        QSqlDatabase::removeDatabase("side");
        return ok;
    }

    MailerHome home;
    SavingFake* component = nullptr;
};

}  // namespace

TEST_F(ReceivingWindow, TheCountIsTheSumAndAnAccountNotCheckedIsNeverTakenForOneWithoutMail) {
    start(3);
    struct Row {
        const char* name;
        QList<Expected<QStringList>> answers;
        QStringList said;
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
        component->rcvAnswers = row.answers;
        EXPECT_EQ(run("mail_check"), row.said);
        EXPECT_EQ(home.window->state().pending_mail_count, row.pending);
    }
}

TEST_F(ReceivingWindow, AnUnreadableMailIsNamedKeptAndStoredOnceItReads) {
    start(1);
    component->rcvAnswers = {QStringList{"1 10", mailFile(1)}};
    component->readAnswers = {Failure{FailureKind::Disk, "ディスクがいっぱいです"}};
    EXPECT_EQ(run("receive"),
              (QStringList{"エラー：受信したメール 20260301 090000 0001 abcd.eml を読めません："
                           "ディスクがいっぱいです",
                           "新規メールは有りません"}));
    EXPECT_EQ(home.store().mailCount(kReceivedFolder), 0);
    EXPECT_TRUE(QFile::exists(mailFile(1)));

    component->rcvAnswers = {QStringList{"0 0"}};
    component->readAnswers = {mailWithSubject("読めた")};
    EXPECT_EQ(run("receive"), QStringList{"1通のメールを受信しました"});
    EXPECT_EQ(storedSubjects(), QStringList{"読めた"});
}

TEST_F(ReceivingWindow, AStoreRefusingOneMailStoresNoneOfTheAccountsAndTheNextReceiveStoresThem) {
    start(1);
    ASSERT_TRUE(
        execOnStore("CREATE TRIGGER refuse BEFORE INSERT ON mail "
                    "WHEN NEW.subject = 'boom' BEGIN SELECT RAISE(ABORT, 'no'); END"));
    component->rcvAnswers = {QStringList{"2 20", mailFile(1), mailFile(2)}};
    component->readAnswers = {mailWithSubject("良い"), mailWithSubject("boom")};
    EXPECT_TRUE(run("receive").value(0).startsWith("エラー：メールストア"));
    EXPECT_EQ(home.store().mailCount(kReceivedFolder), 0);  // one transaction: none of the two

    ASSERT_TRUE(execOnStore("DROP TRIGGER refuse"));
    component->rcvAnswers = {QStringList{"0 0"}};
    component->readAnswers = {mailWithSubject("良い"), mailWithSubject("boom")};
    EXPECT_EQ(run("receive"), QStringList{"2通のメールを受信しました"});
    EXPECT_EQ(storedSubjects(), (QStringList{"boom", "良い"}));
}
