// The keys on a mail and in the folder list, pressed on the real main window:
// what is spoken, shown, stored and listed; and how a sender and a long body
// are taken apart for them.
#include "window_test_support.h"

#include "audio_sink.h"
#include "folders.h"
#include "mail_actions.h"
#include "mail_list_model.h"
#include "test_sounds.h"

#include <QFont>
#include <QLabel>
#include <QListWidget>
#include <QTableView>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailer;

namespace {

const QString kNoMail = QStringLiteral("メールが選択されていません");
const QString kSaved = QStringLiteral("保存フォルダー");
const QString kMovePrompt =
    QStringLiteral("フォルダ メール移動操作 矢印キーで選択してINSキーを押してください");

// The window on a program folder of its own, with the mail list focused.
struct MailWindow {
    // Mails are listed newest first: the last one added is row 1.
    int add(const QString& from, const QString& subject, const QString& body = "本文",
            const QString& attach = {}) {
        ++minutes;
        return home.store().insertReceivedMail({QDateTime(QDate(2024, 5, 1), QTime(9, minutes)),
                                                QStringLiteral("mail%1.eml").arg(minutes), from,
                                                subject, body, attach});
    }
    // A file in the mail folder.
    QString file(const QString& name, const QByteArray& bytes = {}) {
        QDir().mkpath(home.mailDir());
        QFile out(QDir(home.mailDir()).filePath(name));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        return out.fileName();
    }
    // Started with the speech queue's sound going into `sink`, when given.
    MainWindow& start(std::shared_ptr<speech::AudioSink> sink = nullptr) {
        if (sink) {
            speech::Agent::Options options = home.agentOptions();
            options.sink = std::move(sink);
            home.agent = std::make_unique<speech::Agent>(options);
        }
        MainWindow& w = home.start(home.agent.get());
        sleepsAtStart = home.mailFake->sleeps.size();
        EXPECT_TRUE(home.focus(grid()));
        return w;
    }
    // The pauses taken since start-up (which pauses on first use).
    QList<int> pauses() const { return home.mailFake->sleeps.mid(sleepsAtStart); }
    QTableView* grid() const { return home.grid(); }
    QListWidget* folderList() const { return home.control<QListWidget>("List1"); }
    QString shownBody() const { return home.control<QTextEdit>("bodytext")->toPlainText(); }
    QStringList pressOnRow(int row, Qt::Key key) {
        home.window->mailList().setCurrentCell(row, 1);
        return home.saidDuring([&] { QTest::keyClick(grid(), key); });
    }
    // The folder and read flag of a stored mail; an empty folder when it is gone.
    std::pair<QString, QString> stored(int id) {
        for (const Folder& folder : home.store().folders()) {
            for (const MailListRow& row : home.store().mailsInFolder(folder.name)) {
                if (row.id == id) {
                    return {folder.name, row.readflag};
                }
            }
        }
        return {};
    }

    test::MailerHome home;
    int minutes = 0;
    qsizetype sleepsAtStart = 0;
};

TEST(MailKeys, EnterSpeaksTheBodyInPiecesShowsItAsTextAndMarksTheMailRead) {
    MailWindow m;
    const QString body = QString("あいうえおかきくけこ").repeated(25);
    const int id = m.add("Taro Yamada <taro@example.jp>", "長いお知らせ", body);
    m.add("a@example.jp", "表", "<b>太字</b> &amp; <img src=x>");
    m.start();
    const auto bold = [&](int row) {
        return m.grid()->model()->index(row, 1).data(Qt::FontRole).value<QFont>().bold();
    };
    ASSERT_TRUE(bold(2));

    EXPECT_EQ(m.pressOnRow(2, Qt::Key_Return),
              (QStringList{"長いお知らせ", body.left(100), body.mid(100, 100), body.mid(200)}));
    EXPECT_EQ(m.shownBody(), body);
    EXPECT_EQ(m.stored(id).second, kRead);
    EXPECT_FALSE(bold(2));
    EXPECT_EQ(m.grid()->currentIndex(), m.grid()->model()->index(2, 1));
    EXPECT_TRUE(m.pauses().isEmpty());                     // no attachment, no pause
    EXPECT_EQ(m.pressOnRow(2, Qt::Key_Return).size(), 4);  // heard again, whole

    m.pressOnRow(1, Qt::Key_Return);
    EXPECT_EQ(m.shownBody(), "<b>太字</b> &amp; <img src=x>");
    // Both read: the unread reading knows it without a refill.
    QTest::keyClick(m.grid(), Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(m.home.spoken().last(), "未読メールは有りません");
}

// Three mails; the header row refuses every mail key, then INS stores senders
// and DEL removes mails.
TEST(MailKeys, TheHeaderRowRefusesEveryMailKeyInsStoresTheSenderAndDelLeavesACurrentRow) {
    MailWindow m;
    const QString attachment = m.file("voice.mp3");
    const int third = m.add("", "差出人なし", "本文", attachment);
    const int second = m.add("hanako@example.jp", "二通目");
    const int first = m.add("Taro Yamada <taro@example.jp>", "一通目");
    MainWindow& w = m.start();
    QAbstractItemModel* list = m.grid()->model();

    const auto key = [&](Qt::Key k, Qt::KeyboardModifiers mods = {}) {
        return [&m, k, mods] { QTest::keyClick(m.grid(), k, mods); };
    };
    const std::pair<const char*, std::function<void()>> refused[] = {
        {"ENTER", key(Qt::Key_Return)},
        {"keypad ENTER", key(Qt::Key_Enter, Qt::KeypadModifier)},
        {"INS", key(Qt::Key_Insert)},
        {"DEL", key(Qt::Key_Delete)},
        {"SPACE", key(Qt::Key_Space)},
        {"ESC", key(Qt::Key_Escape)},
        {"menu item", [&] { w.menuAction("t_add_address")->trigger(); }},
    };
    for (const auto& [name, act] : refused) {
        SCOPED_TRACE(name);
        w.mailList().setCurrentCell(0, 1);
        EXPECT_EQ(m.home.saidDuring(act), QStringList{kNoMail});
        EXPECT_EQ(m.home.control<QLabel>("cmd_message")->text(), kNoMail);
        EXPECT_TRUE(m.grid()->hasFocus());
    }
    for (const int id : {first, second, third}) {
        EXPECT_EQ(m.stored(id), std::make_pair(kReceivedFolder, kUnread));
    }
    EXPECT_TRUE(m.home.store().addresses().empty());
    EXPECT_FALSE(w.state().move_mode);
    EXPECT_TRUE(m.pauses().isEmpty());
    EXPECT_TRUE(m.shownBody().isEmpty());
    EXPECT_EQ(list->rowCount(), 4);

    EXPECT_EQ(m.pressOnRow(1, Qt::Key_Insert), QStringList{"アドレス帳に登録しました"});
    EXPECT_EQ(m.pressOnRow(2, Qt::Key_Insert), QStringList{"アドレス帳に登録しました"});
    w.menuAction("t_add_address")->trigger();  // the same on the current mail
    EXPECT_EQ(m.pressOnRow(3, Qt::Key_Insert), QStringList{"送信者のアドレスがありません"});
    // The book as listed, in address order: the name keeps its trailing blank
    // and a bare address gets a blank name.
    auto* book = m.home.control<QListWidget>("List2");
    ASSERT_EQ(book->count(), 3);
    EXPECT_TRUE(book->item(0)->text().startsWith("hanako@example.jp:: :::"));
    EXPECT_TRUE(book->item(2)->text().startsWith("taro@example.jp::Taro Yamada :::"));

    const QStringList deleted = {"メールを削除しました"};
    // The middle row: the next mail moves up under the cursor.
    EXPECT_EQ(m.pressOnRow(2, Qt::Key_Delete), deleted);
    EXPECT_EQ(m.grid()->currentIndex(), list->index(2, 1));
    EXPECT_EQ(list->index(2, 0).data(MailListModel::kMailIdRole).toInt(), third);
    // The last row: the cursor goes to the one above.
    EXPECT_EQ(m.pressOnRow(2, Qt::Key_Delete), deleted);
    EXPECT_EQ(m.grid()->currentIndex(), list->index(1, 1));
    EXPECT_TRUE(m.stored(third).first.isEmpty());
    EXPECT_TRUE(QFile::exists(attachment));
    // The only mail: the header row stays.
    EXPECT_EQ(m.pressOnRow(1, Qt::Key_Delete), deleted);
    EXPECT_EQ(list->rowCount(), 1);
    EXPECT_EQ(m.grid()->currentIndex().row(), 0);
    EXPECT_TRUE(m.home.store().mailsInFolder(kReceivedFolder).empty());
    EXPECT_EQ(w.mailList().mail_count(), 3);  // the count said at the last fill
}

// Two read mails; keys from the list on: ' ' SPACE on the newest, 'y' Ctrl+Y,
// then in the folder list 'v' down, 'I' INS, 'E' ENTER, 'x' the mail deleted
// behind the mailer's back (another program on the same store).
TEST(MailKeys, KeysInTheFolderListMoveTheMailTakenWithSpaceOrSayWhyNot) {
    const QString R = kReceivedFolder, S = kSaved, P = kMovePrompt;
    const QString toS = "メールをフォルダー[保存フォルダー]に移動しました";
    const QString toR = "メールをフォルダー[受信フォルダー]に移動しました";
    const QString none = "フォルダーが選択されていません";
    const QString noMail = "新着メールは有りません";
    const QString gone = "エラー：移動するメールが見つかりません";
    struct Row {
        const char* name;
        QString keys;
        QStringList spoken;
        QString folder;  // where the mail is afterwards; empty: gone
        int listed;      // mails listed afterwards; -1: not asked
    };
    const Row rows[] = {
        {"INS on the listed folder", " vI", {P, R, toR}, R, 2},
        {"ENTER opens a folder, cancels the move", " vvEI", {P, R, S, S, noMail}, R, 0},
        {"INS needs a folder, the move waits", " IvvI", {P, none, R, S, toS}, S, 1},
        {"a second INS does nothing", " vvII", {P, R, S, toS}, S, 1},
        {"without SPACE, INS does nothing", "yIE", {"フォルダ", none}, R, 2},
        {"a mail gone meanwhile is not moved", " xvI", {P, R, gone}, {}, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MailWindow m;
        const int kept = m.add("b@example.jp", "残る");
        const int taken = m.add("a@example.jp", "移す");
        m.home.store().markRead(kept);
        m.home.store().markRead(taken);
        MainWindow& w = m.start();
        w.mailList().setCurrentCell(1, 1);
        const qsizetype mark = m.home.spoken().size();
        for (const QChar key : row.keys) {
            if (key == ' ' || key == 'y') {
                QTest::keyClick(m.grid(), key == ' ' ? Qt::Key_Space : Qt::Key_Y,
                                key == ' ' ? Qt::NoModifier : Qt::ControlModifier);
                ASSERT_TRUE(QTest::qWaitFor([&] { return m.folderList()->hasFocus(); }, 5000));
                EXPECT_EQ(m.home.control<QLabel>("shortcut02")->text(), kFolderListKeyGuide);
            } else if (key == 'x') {
                m.home.store().deleteMail(taken);
            } else {
                QTest::keyClick(m.folderList(), key == 'v'   ? Qt::Key_Down
                                                : key == 'I' ? Qt::Key_Insert
                                                             : Qt::Key_Return);
            }
        }
        EXPECT_EQ(m.home.spokenSince(mark), row.spoken);
        EXPECT_EQ(m.stored(taken).first, row.folder);
        EXPECT_EQ(m.stored(taken).second, row.folder.isEmpty() ? QString() : kRead);
        EXPECT_EQ(m.stored(kept).first, kReceivedFolder);
        if (row.listed >= 0) {
            EXPECT_EQ(m.grid()->model()->rowCount(), 1 + row.listed);
        }
        EXPECT_FALSE(w.state().move_mode);
        EXPECT_TRUE(m.folderList()->hasFocus());
    }
}

// Only a file ending in lower-case ".mp3" is played, into the speech queue's
// sink (with the engine silenced, nothing else arrives there); nothing is
// handed out but an MP3 that cannot be decoded, and a missing one is named.
TEST(VoiceAttachment, OnlyLowerCaseMp3IsPlayedAnUndecodableOneIsHandedOutAMissingOneNamed) {
    MailWindow m;
    const QString mp3 = m.file("voice.mp3");
    if (!speech::test::writeWithSox(mp3, 22050, 1, {"synth", "0.5", "sine", "440"}).isEmpty()) {
        GTEST_SKIP() << "sox cannot write MP3 here";
    }
    QFile in(mp3);
    in.open(QIODevice::ReadOnly);
    const QByteArray audio = in.readAll();
    const QString broken = m.file("broken.mp3", QByteArray(4000, 'x'));
    const int missing =
        m.add("a@example.jp", "ない", "本文", QDir(m.home.mailDir()).filePath("gone.mp3"));
    m.add("a@example.jp", "壊れた", "本文", broken);
    // Each decoy holds real MP3 audio, so that playing it would be heard.
    for (const char* decoy : {"voice.wav", "VOICE.MP3", "x.mp3.exe", "x.mp3.txt"}) {
        m.add("a@example.jp", decoy, "聞いてください", m.file(decoy, audio));
    }
    const int voice = m.add("a@example.jp", "声", "聞いてください", mp3);
    const auto sink = std::make_shared<speech::RecordingSink>();
    m.start(sink);
    const auto samplesPlayed = [&] {
        EXPECT_TRUE(m.home.agent->waitUntilIdle(20000));
        std::size_t samples = 0;
        for (const speech::Audio& piece : sink->pieces()) {
            samples += piece.samples.size();
        }
        return samples;
    };

    for (int row = 2; row <= 5; ++row) {  // the decoys
        SCOPED_TRACE(row);
        EXPECT_EQ(m.pressOnRow(row, Qt::Key_Return).size(), 2);
        EXPECT_EQ(samplesPlayed(), 0u);
    }
    EXPECT_TRUE(m.pauses().isEmpty());

    m.pressOnRow(1, Qt::Key_Return);
    // Half a second of tone at 22050 Hz, once (the decoder may pad a frame).
    const std::size_t samples = samplesPlayed();
    EXPECT_GT(samples, 10000u);
    EXPECT_LT(samples, 20000u);
    EXPECT_EQ(m.pauses(), QList<int>{4});
    EXPECT_EQ(m.stored(voice).second, kRead);
    EXPECT_TRUE(m.home.openedAttachments.isEmpty());
    EXPECT_TRUE(m.home.openedDocuments.isEmpty());
    EXPECT_TRUE(m.grid()->hasFocus());

    EXPECT_EQ(m.pressOnRow(6, Qt::Key_Return),
              (QStringList{"♪　壊れた", "本文",
                           "音声の添付ファイルを再生できないため、ほかのプログラムで開きます"}));
    EXPECT_EQ(m.home.openedAttachments, QStringList{broken});
    m.home.openedAttachments.clear();
    EXPECT_EQ(m.pressOnRow(7, Qt::Key_Return),
              (QStringList{"♪　ない", "本文",
                           "エラー：音声の添付ファイルを再生できません：音声ファイル gone.mp3 "
                           "が見つかりません"}));
    EXPECT_TRUE(m.home.openedAttachments.isEmpty());
    EXPECT_EQ(m.stored(missing).second, kRead);  // read all the same
    EXPECT_EQ(samplesPlayed(), samples);

    // A desktop that cannot open it either: said, not passed over.
    m.home.openSucceeds = false;
    EXPECT_EQ(m.pressOnRow(6, Qt::Key_Return).last(),
              "エラー：音声の添付ファイルを再生できません：音声ファイル broken.mp3 "
              "は再生できる MP3 ではありません");
}

// One row per way a From text is taken apart (a name and a bare address are
// stored by the INS test above).
TEST(SenderEntry, NameAndAddressAreTakenAsTheAddressBookStoresThem) {
    const std::tuple<const char*, QString, QString, QString> rows[] = {
        {"quoted name", "\"山田 太郎\" <yamada@example.jp>", "山田 太郎 ", "yamada@example.jp"},
        {"blanks kept, trimmed inside", "  佐藤< sato@example.jp >", "  佐藤", "sato@example.jp"},
        {"address alone in brackets", "<only@example.jp>", " ", "only@example.jp"},
        {"'>' before the '<'", "a>b <c@example.jp>", "a>b ", "c@example.jp"},
        {"'<' without '>'", " broken <no-close@example.jp ", " ", "broken <no-close@example.jp"},
    };
    for (const auto& [name, mailfrom, storedName, storedAddress] : rows) {
        SCOPED_TRACE(name);
        const SenderEntry entry = senderEntry(mailfrom);
        EXPECT_EQ(entry.name, storedName);
        EXPECT_EQ(entry.address, storedAddress);
    }
}

// Pieces of at most 100 characters, cut only between whole characters (the
// ENTER test above hears a 250-character body in three pieces).
TEST(LongText, IsSpokenInPiecesOfAHundredCharactersNeverEndingInsideACharacter) {
    const QString kana = QStringLiteral("あいうえおかきくけこ");
    const std::tuple<const char*, QString, std::vector<qsizetype>> rows[] = {
        {"exactly 100", kana.repeated(10), {100}},
        {"exactly 300", kana.repeated(30), {100, 100, 100}},
        // か and its combining voicing mark stand at 99..100: the cut moves back.
        {"combining mark after the cut", kana.repeated(10).left(99) + "か\u3099x", {99, 3}},
        // Nothing to cut back to: the piece runs on to the end of the character.
        {"one long character", "a" + QString(150, QChar(0x0301)), {151}},
    };
    for (const auto& [name, text, expected] : rows) {
        SCOPED_TRACE(name);
        const QStringList pieces = longTextPieces(text);
        std::vector<qsizetype> sizes;
        for (const QString& piece : pieces) {
            sizes.push_back(piece.size());
        }
        EXPECT_EQ(sizes, expected);
        EXPECT_EQ(pieces.join(QString()), text);
    }
}

}  // namespace
