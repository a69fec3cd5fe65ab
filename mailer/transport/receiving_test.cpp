// Receiving through the menus of the real window with a scripted mail
// component: the faults a real server seldom shows (an answer that is no count,
// a refused login, a mail that cannot be read). Against a real server:
// receiving_server_test; the store's all-or-nothing receive: its own tests.
#include "compose_test_support.h"

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
        return home.saidDuring([&] { home.window->menuAction(item)->trigger(); });
    }
    // Where the component saves a mail, under the name it gives such files.
    QString mailFile(int sequence) const {
        return QDir(home.mailDir())
            .filePath(QString("20260301-090000-%1-abcd.eml").arg(sequence, 4, 10, QChar('0')));
    }
    MailerHome home;
    SavingFake* component = nullptr;
};

}  // namespace

// The sum of the counts rides on the Dovecot start-up story; here, failures a
// real server seldom gives are never taken for an account without mail.
TEST_F(ReceivingWindow, AnAccountNotCheckedIsNeverTakenForOneWithoutMail) {
    start(3);
    const QString cannotRead = "エラー：c@example.jp：受信サーバーの答えを読めません";
    component->rcvAnswers = {QStringList{"0 0"}, kUnreachable, QStringList{"garbage"}};
    EXPECT_EQ(run("mail_check"),
              (QStringList{"確認できたアカウントに新規メールは有りません",
                           "エラー：b@example.jp：サーバーに接続できません", cannotRead}));
    component->rcvAnswers = {kUnreachable,
                             Failure{FailureKind::Login, "ユーザー名かパスワードが違います"},
                             QStringList{"garbage"}};
    EXPECT_EQ(run("mail_check"),
              (QStringList{"メールを確認できませんでした",
                           "エラー：a@example.jp：サーバーに接続できません",
                           "エラー：b@example.jp：ユーザー名かパスワードが違います", cannotRead}));
    EXPECT_EQ(home.window->state().pending_mail_count, 0);
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
    const auto stored = home.store().subjectsInFolder(kReceivedFolder, false);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored.front().subject, "読めた");
}
