// A mail sent through the SMTP sink, delivered into Dovecot, received and
// read back, through the component and through mailcomp.
#include "mail_client.h"
#include "transport_test_support.h"

#include "dovecot_server.h"
#include "smtp_sink_server.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orvane::mail {
namespace {

using test::readFile;
using testing::DovecotServer;
using testing::SmtpSinkServer;

// Long enough to be folded, with a display name and a Japanese file name: what
// the composer writes must come back whole through the reader.
const QString kSubject =
    QStringLiteral("会議の件①～テスト「第２回」について、とても長い件名でも正しく折り返されること");
const QString kBody = QStringLiteral(
    "\n山田さん\n\n明日の会議は１０時からです。～よろしくお願いします～\nA-B_C\n\n-- \n佐藤");
const QString kFrom = QStringLiteral("佐藤 花子 <sato@example.jp>");
const QString kTo = QStringLiteral("yamada@example.jp");

class MailRoundTrip : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::certificate().ok()) << test::certificate().error().toStdString();
        ASSERT_TRUE(smtp_.start()) << smtp_.error().toStdString();
        ASSERT_TRUE(pop_.start()) << pop_.error().toStdString();
    }

    QString popAddress() const { return test::loopback(pop_.pop3Port()); }

    // Moves every message the SMTP sink captured into the POP3 mailbox.
    void deliverCaptured() {
        for (const auto& mail : smtp_.captured()) {
            ASSERT_TRUE(pop_.deliver(mail.message));
        }
    }

    SmtpSinkServer smtp_{{test::certificate().certFile(), test::certificate().keyFile(), true}};
    DovecotServer pop_{{test::certificate().certFile(), test::certificate().keyFile()}};
    const TransportOptions options_ = test::quickOptions();
};

TEST_F(MailRoundTrip, JapaneseMailWithVoiceAttachmentComesBackFieldForField) {
    QTemporaryDir work;
    const QByteArray voice = test::mp3Like(40000);
    const QString voicePath = work.filePath(QStringLiteral("音声メッセージ.mp3"));
    ASSERT_TRUE(test::writeFile(voicePath, voice));
    MailClient client(options_);

    const Expected<void> sent =
        client.sendMail(test::loopback(smtp_.port()), kTo, kFrom, kSubject, kBody, voicePath,
                        {SmtpSinkServer::user(), SmtpSinkServer::password()});
    ASSERT_TRUE(sent.ok()) << sent.failure().reason.toStdString();
    ASSERT_EQ(smtp_.captured().size(), 1);
    EXPECT_TRUE(smtp_.captured().first().envelope.value("tls").toBool());
    deliverCaptured();

    const QString mailDir = work.filePath(QStringLiteral("mail"));
    const Expected<QStringList> received =
        client.rcvMail(popAddress(), DovecotServer::user(), DovecotServer::password(),
                       QStringLiteral("SAVEALLD"), mailDir);
    ASSERT_TRUE(received.ok()) << received.failure().reason.toStdString();
    ASSERT_EQ(received->size(), 2);
    EXPECT_TRUE(received->at(0).startsWith(QStringLiteral("1 ")));

    const Expected<ReceivedMail> read = client.readMail(received->at(1), mailDir);
    ASSERT_TRUE(read.ok()) << read.failure().reason.toStdString();
    EXPECT_EQ(read->subject, kSubject);
    EXPECT_EQ(read->from, kFrom);
    EXPECT_EQ(read->senderName, QStringLiteral("佐藤 花子"));
    EXPECT_TRUE(QDateTime::fromString(read->date, Qt::RFC2822Date).isValid())
        << read->date.toStdString();
    EXPECT_EQ(read->body, kBody);
    ASSERT_EQ(read->attachments.size(), 1);
    const QString attach = read->attachments.first();
    EXPECT_EQ(QFileInfo(attach).fileName(), QStringLiteral("音声メッセージ.mp3"));
    EXPECT_EQ(QFileInfo(attach).absolutePath(), QDir(mailDir).absolutePath());
    EXPECT_EQ(readFile(attach), voice);
}

// Runs mailcomp trusting the test certificate; its JSON answer.
QJsonObject runMailcomp(const QStringList& args, int* exitCode) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ORVANE_EXTRA_CA"), test::certificate().certFile());
    process.setProcessEnvironment(env);
    process.start(qEnvironmentVariable("ORVANE_BIN_DIR") + QStringLiteral("/mailcomp"), args);
    process.waitForFinished(60000);
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QJsonDocument::fromJson(process.readAllStandardOutput()).object();
}

TEST_F(MailRoundTrip, MailcompSendsReceivesAndReads) {
    if (qEnvironmentVariableIsEmpty("ORVANE_BIN_DIR")) {
        GTEST_SKIP() << "ORVANE_BIN_DIR is not set (run under CTest)";
    }
    QTemporaryDir work;
    const QString mailDir = work.filePath(QStringLiteral("mail"));
    int exitCode = 0;

    const QJsonObject sent = runMailcomp(
        {QStringLiteral("send"), QStringLiteral("smtp://127.0.0.1:%1").arg(smtp_.port()),
         SmtpSinkServer::user(), SmtpSinkServer::password(), kTo, kFrom, kSubject, kBody},
        &exitCode);
    ASSERT_EQ(exitCode, 0) << QJsonDocument(sent).toJson().toStdString();
    EXPECT_TRUE(sent.value("sent").toBool());
    deliverCaptured();

    const QJsonObject saved =
        runMailcomp({QStringLiteral("saveall"), popAddress(), DovecotServer::user(),
                     DovecotServer::password(), mailDir},
                    &exitCode);
    ASSERT_EQ(exitCode, 0) << QJsonDocument(saved).toJson().toStdString();
    const QJsonArray files = saved.value("elements").toArray();
    ASSERT_EQ(files.size(), 2);
    EXPECT_TRUE(files[0].toString().startsWith("1 "));

    const QJsonObject read =
        runMailcomp({QStringLiteral("read"), files[1].toString(), mailDir}, &exitCode);
    ASSERT_EQ(exitCode, 0);
    EXPECT_EQ(read.value("subject").toString(), kSubject);
    EXPECT_EQ(read.value("from").toString(), kFrom);
    EXPECT_EQ(read.value("body").toString(), kBody);
    EXPECT_TRUE(read.value("attachments").toArray().isEmpty());
    EXPECT_GE(read.value("elements").toArray().size(), 5);

    const QJsonObject failed = runMailcomp(
        {QStringLiteral("stat"), QStringLiteral("127.0.0.1:%1").arg(testing::freeLoopbackPort()),
         DovecotServer::user(), DovecotServer::password()},
        &exitCode);
    EXPECT_EQ(exitCode, 1);
    EXPECT_TRUE(failed.value("error").toString().contains(QStringLiteral("接続できません")));
}

}  // namespace
}  // namespace orvane::mail
