// The keys on a mail and in the folder list, pressed on the real main window:
// what is spoken, shown, stored and listed.
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
using orvane::mailer::test::MailerHome;

namespace {

const QString kNoMail = QStringLiteral("メールが選択されていません");
const QString kMovePrompt =
    QStringLiteral("フォルダ メール移動操作 矢印キーで選択してINSキーを押してください");

// Mails are listed newest first: the first one added is the last row.
struct Mails {
    MailerHome& home;
    int minutes = 0;

    int add(const QString& from, const QString& subject, const QString& body = "本文",
            const QString& attach = {}) {
        ++minutes;
        return home.store().insertReceivedMail({QDateTime(QDate(2024, 5, 1), QTime(9, minutes)),
                                                QStringLiteral("mail%1.eml").arg(minutes), from,
                                                subject, body, attach});
    }
};

template <typename W>
bool focusOn(W* widget) {
    widget->setFocus(Qt::OtherFocusReason);
    return QTest::qWaitFor([widget] { return widget->hasFocus(); }, 2000);
}

template <typename W>
bool waitForFocus(W* widget) {
    return QTest::qWaitFor([widget] { return widget->hasFocus(); }, 2000);
}

QString readflagOf(MailerHome& home, int id) {
    for (const QString& folder : {kReceivedFolder, QStringLiteral("保存フォルダー")}) {
        for (const MailListRow& row : home.store().mailsInFolder(folder)) {
            if (row.id == id) {
                return row.readflag;
            }
        }
    }
    return {};
}

QString folderOf(MailerHome& home, int id) {
    for (const Folder& folder : home.store().folders()) {
        for (const MailListRow& row : home.store().mailsInFolder(folder.name)) {
            if (row.id == id) {
                return folder.name;
            }
        }
    }
    return {};
}

class MailKeys : public ::testing::Test {
  protected:
    MainWindow& start() {
        MainWindow& w = home.start();
        sleepsAtStart = home.mailFake->sleeps.size();
        EXPECT_TRUE(focusOn(grid()));
        return w;
    }
    // The pauses taken since start-up (which pauses on first use).
    QList<int> pauses() const { return home.mailFake->sleeps.mid(sleepsAtStart); }
    QTableView* grid() const { return home.grid(); }
    QListWidget* folderList() const { return home.control<QListWidget>("List1"); }
    QString keyGuide() const { return home.control<QLabel>("shortcut02")->text(); }
    // Presses `key` on the grid with its row `row` current; returns what was said.
    QStringList pressOnRow(int row, Qt::Key key) {
        home.window->mailList().setCurrentCell(row, 1);
        const qsizetype mark = home.spoken().size();
        QTest::keyClick(grid(), key);
        return home.spokenSince(mark);
    }
    QStringList press(QWidget* widget, Qt::Key key) {
        const qsizetype mark = home.spoken().size();
        QTest::keyClick(widget, key);
        return home.spokenSince(mark);
    }
    bool rowIsBold(int row) const {
        for (int column = 0; column < MailListModel::kColumns; ++column) {
            const QModelIndex cell = grid()->model()->index(row, column);
            if (cell.data(MailListModel::kUnreadRole).toBool() ||
                cell.data(Qt::FontRole).value<QFont>().bold()) {
                return true;
            }
        }
        return false;
    }

    MailerHome home;
    Mails mails{home};
    qsizetype sleepsAtStart = 0;
};

TEST_F(MailKeys, EnterReadsALongBodyInPiecesShowsItAndMarksTheMailRead) {
    const QString body = QString("あいうえおかきくけこ").repeated(25);
    ASSERT_EQ(body.size(), 250);
    const int id = mails.add("Taro Yamada <taro@example.jp>", "長いお知らせ", body);
    start();
    ASSERT_TRUE(rowIsBold(1));

    EXPECT_EQ(pressOnRow(1, Qt::Key_Return),
              (QStringList{"長いお知らせ", body.left(100), body.mid(100, 100), body.mid(200)}));
    EXPECT_EQ(home.control<QTextEdit>("bodytext")->toPlainText(), body);
    EXPECT_EQ(readflagOf(home, id), kRead);
    EXPECT_FALSE(rowIsBold(1));
    EXPECT_EQ(grid()->currentIndex(), grid()->model()->index(1, 1));
    EXPECT_EQ(keyGuide(), kMailListKeyGuide);
    // No attachment: no pause.
    EXPECT_TRUE(pauses().isEmpty());
    // The unread reading skips it at once, without a refill.
    QTest::keyClick(grid(), Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(home.spoken().last(), "未読メールは有りません");

    // Heard again with ENTER, whole.
    EXPECT_EQ(pressOnRow(1, Qt::Key_Return).size(), 4);
}

TEST_F(MailKeys, ABodyIsShownAsTextNeverAsMarkup) {
    mails.add("a@example.jp", "表", "<b>太字</b> &amp; <img src=x>");
    start();
    pressOnRow(1, Qt::Key_Return);
    EXPECT_EQ(home.control<QTextEdit>("bodytext")->toPlainText(), "<b>太字</b> &amp; <img src=x>");
}

TEST_F(MailKeys, TheHeaderRowRefusesEveryMailKeyAndTouchesNoStoredMail) {
    const int id = mails.add("Taro Yamada <taro@example.jp>", "件名", "本文", "/nowhere/a.mp3");
    MainWindow& w = start();
    struct Row {
        const char* name;
        std::function<void()> act;
    };
    const Row rows[] = {
        {"ENTER", [&] { QTest::keyClick(grid(), Qt::Key_Return); }},
        {"keypad ENTER", [&] { QTest::keyClick(grid(), Qt::Key_Enter, Qt::KeypadModifier); }},
        {"INS", [&] { QTest::keyClick(grid(), Qt::Key_Insert); }},
        {"DEL", [&] { QTest::keyClick(grid(), Qt::Key_Delete); }},
        {"SPACE", [&] { QTest::keyClick(grid(), Qt::Key_Space); }},
        {"ESC", [&] { QTest::keyClick(grid(), Qt::Key_Escape); }},
        {"menu item", [&] { w.menuAction("t_add_address")->trigger(); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        w.mailList().setCurrentCell(0, 1);
        const qsizetype mark = home.spoken().size();
        row.act();
        EXPECT_EQ(home.spokenSince(mark), QStringList{kNoMail});
        EXPECT_EQ(home.control<QLabel>("cmd_message")->text(), kNoMail);
        EXPECT_TRUE(grid()->hasFocus());
    }
    EXPECT_EQ(readflagOf(home, id), kUnread);
    EXPECT_EQ(folderOf(home, id), kReceivedFolder);
    EXPECT_TRUE(home.store().addresses().empty());
    EXPECT_FALSE(w.state().move_mode);
    EXPECT_TRUE(pauses().isEmpty());
    EXPECT_TRUE(home.control<QTextEdit>("bodytext")->toPlainText().isEmpty());
    EXPECT_EQ(grid()->model()->rowCount(), 2);
}

TEST_F(MailKeys, InsStoresTheSenderAsGivenAndTheBookShowsIt) {
    mails.add("", "差出人なし");
    mails.add("hanako@example.jp", "二通目");
    mails.add("Taro Yamada <taro@example.jp>", "一通目");
    MainWindow& w = start();

    EXPECT_EQ(pressOnRow(1, Qt::Key_Insert), QStringList{"アドレス帳に登録しました"});
    EXPECT_EQ(pressOnRow(2, Qt::Key_Insert), QStringList{"アドレス帳に登録しました"});
    // The menu item does the same on the current mail.
    w.menuAction("t_add_address")->trigger();

    std::vector<std::pair<QString, QString>> stored;
    for (const Address& a : home.store().addresses()) {
        stored.emplace_back(a.name, a.address);
    }
    // Ordered by address; a sender stored twice is there twice.
    EXPECT_EQ(stored,
              (std::vector<std::pair<QString, QString>>{{" ", "hanako@example.jp"},
                                                        {" ", "hanako@example.jp"},
                                                        {"Taro Yamada ", "taro@example.jp"}}));
    auto* book = home.control<QListWidget>("List2");
    ASSERT_EQ(book->count(), 3);
    EXPECT_TRUE(book->item(0)->text().startsWith("hanako@example.jp:: :::"));
    EXPECT_TRUE(book->item(2)->text().startsWith("taro@example.jp::Taro Yamada :::"));
    EXPECT_EQ(grid()->currentIndex().column(), 1);

    // A mail without a sender address adds nothing.
    EXPECT_EQ(pressOnRow(3, Qt::Key_Insert), QStringList{"送信者のアドレスがありません"});
    EXPECT_EQ(home.store().addresses().size(), 3u);
}

TEST_F(MailKeys, DelRemovesTheMailFromStoreAndListKeepsItsFilesAndACurrentRow) {
    QDir(home.dir.path()).mkpath("mail");
    const QString attachment = QDir(home.mailDir()).filePath("voice.mp3");
    QFile(attachment).open(QIODevice::WriteOnly);
    const int third = mails.add("c@example.jp", "三", "本文", attachment);
    mails.add("b@example.jp", "二");
    mails.add("a@example.jp", "一");
    MainWindow& w = start();

    // The middle row: the next mail moves up under the cursor, unread aloud.
    EXPECT_EQ(pressOnRow(2, Qt::Key_Delete), QStringList{"メールを削除しました"});
    EXPECT_EQ(grid()->currentIndex(), grid()->model()->index(2, 1));
    EXPECT_EQ(grid()->model()->index(2, 0).data(MailListModel::kMailIdRole).toInt(), third);
    // The last row: the cursor goes to the one above.
    EXPECT_EQ(pressOnRow(2, Qt::Key_Delete), QStringList{"メールを削除しました"});
    EXPECT_EQ(grid()->currentIndex(), grid()->model()->index(1, 1));
    EXPECT_FALSE(home.store().mailBody(third));
    EXPECT_TRUE(QFile::exists(attachment));
    // The only mail: the header row is left alone.
    EXPECT_EQ(pressOnRow(1, Qt::Key_Delete), QStringList{"メールを削除しました"});
    EXPECT_EQ(grid()->model()->rowCount(), 1);
    EXPECT_EQ(grid()->currentIndex().row(), 0);
    EXPECT_TRUE(home.store().mailsInFolder(kReceivedFolder).empty());
    // The count said at the last fill is not changed.
    EXPECT_EQ(w.mailList().mail_count(), 3);
}

TEST_F(MailKeys, EveryKeyOnTheListAndTheListsFocusShowItsKeyGuide) {
    mails.add("a@example.jp", "一");
    MainWindow& w = start();
    w.menuAction("chose_folder")->trigger();
    ASSERT_TRUE(waitForFocus(folderList()));
    EXPECT_EQ(keyGuide(), kFolderListKeyGuide);
    w.menuAction("move_to_mail_list")->trigger();
    ASSERT_TRUE(waitForFocus(grid()));
    EXPECT_EQ(keyGuide(), kMailListKeyGuide);
    home.control<QLabel>("shortcut02")->clear();
    QTest::keyClick(grid(), Qt::Key_Down);
    EXPECT_EQ(keyGuide(), kMailListKeyGuide);
}

TEST_F(MailKeys, TheFolderListHoldsEveryFolderInTableOrderWithNoneChosen) {
    start();
    QStringList names;
    for (int i = 0; i < folderList()->count(); ++i) {
        names << folderList()->item(i)->text();
    }
    QStringList stored;
    for (const Folder& folder : home.store().folders()) {
        stored << folder.name;
    }
    EXPECT_EQ(names, stored);
    EXPECT_EQ(names.first(), kReceivedFolder);
    EXPECT_TRUE(folderList()->selectedItems().isEmpty());
}

TEST_F(MailKeys, SpaceAnArrowAndInsMoveTheMailAndASecondInsDoesNothing) {
    const int kept = mails.add("b@example.jp", "残る");
    const int moved = mails.add("a@example.jp", "移す");
    MainWindow& w = start();
    pressOnRow(1, Qt::Key_Return);  // read first: the flag goes along

    EXPECT_EQ(pressOnRow(1, Qt::Key_Space), QStringList{kMovePrompt});
    ASSERT_TRUE(waitForFocus(folderList()));
    EXPECT_EQ(w.input_mode(), kModeFolderList);
    EXPECT_EQ(keyGuide(), kFolderListKeyGuide);
    EXPECT_EQ(press(folderList(), Qt::Key_Down), QStringList{kReceivedFolder});
    EXPECT_EQ(press(folderList(), Qt::Key_Down), QStringList{"保存フォルダー"});
    EXPECT_EQ(press(folderList(), Qt::Key_Insert),
              QStringList{"メールをフォルダー[保存フォルダー]に移動しました"});
    EXPECT_EQ(folderOf(home, moved), "保存フォルダー");
    EXPECT_EQ(readflagOf(home, moved), kRead);
    EXPECT_FALSE(w.state().move_mode);
    // The list shows the received folder only: the moved mail has left it.
    ASSERT_EQ(grid()->model()->rowCount(), 2);
    EXPECT_EQ(grid()->model()->index(1, 0).data(MailListModel::kMailIdRole).toInt(), kept);

    EXPECT_EQ(press(folderList(), Qt::Key_Insert), QStringList{});
    EXPECT_EQ(folderOf(home, moved), "保存フォルダー");
    EXPECT_EQ(folderOf(home, kept), kReceivedFolder);
    EXPECT_TRUE(folderList()->hasFocus());
}

TEST_F(MailKeys, MovingIntoTheListedFolderRewritesItAndKeepsTheRow) {
    const int id = mails.add("a@example.jp", "そのまま");
    start();
    pressOnRow(1, Qt::Key_Space);
    ASSERT_TRUE(waitForFocus(folderList()));
    press(folderList(), Qt::Key_Down);
    EXPECT_EQ(press(folderList(), Qt::Key_Insert),
              QStringList{"メールをフォルダー[受信フォルダー]に移動しました"});
    EXPECT_EQ(folderOf(home, id), kReceivedFolder);
    EXPECT_EQ(grid()->model()->rowCount(), 2);
}

TEST_F(MailKeys, ChoosingAFolderWithEnterAfterSpaceCancelsTheMove) {
    const int id = mails.add("a@example.jp", "一");
    MainWindow& w = start();
    pressOnRow(1, Qt::Key_Space);
    ASSERT_TRUE(waitForFocus(folderList()));
    press(folderList(), Qt::Key_Down);
    press(folderList(), Qt::Key_Down);
    EXPECT_EQ(press(folderList(), Qt::Key_Return),
              (QStringList{"保存フォルダー", "新着メールは有りません"}));
    EXPECT_EQ(w.current_folder(), "保存フォルダー");
    EXPECT_FALSE(w.state().move_mode);
    EXPECT_TRUE(folderList()->hasFocus());
    EXPECT_EQ(press(folderList(), Qt::Key_Insert), QStringList{});
    EXPECT_EQ(folderOf(home, id), kReceivedFolder);

    // Back to the received folder: its name, then the count.
    press(folderList(), Qt::Key_Up);
    EXPECT_EQ(press(folderList(), Qt::Key_Return), (QStringList{kReceivedFolder, "メール数は1"}));
    EXPECT_EQ(grid()->model()->rowCount(), 2);
}

TEST_F(MailKeys, EnterOrInsWithNoFolderChosenSaySoAndMoveNothing) {
    const int id = mails.add("a@example.jp", "一");
    MainWindow& w = start();
    const QString refusal = "フォルダーが選択されていません";

    // INS with no move pending does nothing, chosen folder or not.
    w.menuAction("chose_folder")->trigger();
    ASSERT_TRUE(waitForFocus(folderList()));
    EXPECT_EQ(press(folderList(), Qt::Key_Insert), QStringList{});
    EXPECT_EQ(press(folderList(), Qt::Key_Return), QStringList{refusal});
    EXPECT_EQ(w.current_folder(), kReceivedFolder);

    w.menuAction("move_to_mail_list")->trigger();
    ASSERT_TRUE(waitForFocus(grid()));
    pressOnRow(1, Qt::Key_Space);
    ASSERT_TRUE(waitForFocus(folderList()));
    EXPECT_EQ(press(folderList(), Qt::Key_Insert), QStringList{refusal});
    EXPECT_EQ(folderOf(home, id), kReceivedFolder);
    // The move is still armed: choosing a folder now performs it.
    EXPECT_TRUE(w.state().move_mode);
    press(folderList(), Qt::Key_Down);
    press(folderList(), Qt::Key_Down);
    EXPECT_EQ(press(folderList(), Qt::Key_Insert),
              QStringList{"メールをフォルダー[保存フォルダー]に移動しました"});
}

TEST_F(MailKeys, AMailDeletedWhileItsMoveWaitsIsNotAnnouncedAsMoved) {
    mails.add("b@example.jp", "二");
    const int id = mails.add("a@example.jp", "一");
    MainWindow& w = start();
    pressOnRow(1, Qt::Key_Space);
    ASSERT_TRUE(waitForFocus(folderList()));
    // Removed behind the mailer's back (another program on the same store).
    home.store().deleteMail(id);
    press(folderList(), Qt::Key_Down);
    const QStringList said = press(folderList(), Qt::Key_Insert);
    ASSERT_EQ(said.size(), 1);
    EXPECT_EQ(said[0], "エラー：移動するメールが見つかりません");
    EXPECT_FALSE(w.state().move_mode);
}

// The attachment's sound arrives in the speech queue's sink; with the engine
// silenced, nothing else does.
class VoiceAttachments : public MailKeys {
  protected:
    void SetUp() override {
        ASSERT_TRUE(QDir(home.dir.path()).mkpath("mail"));
        speech::Agent::Options options;
        options.transcriptPath = home.transcriptPath();
        options.characterDirs = {home.dir.filePath("characters")};
        options.sink = sink;
        home.agent = std::make_unique<speech::Agent>(options);
    }
    MainWindow& start() {
        MainWindow& w = home.start(home.agent.get());
        sleepsAtStart = home.mailFake->sleeps.size();
        EXPECT_TRUE(focusOn(grid()));
        return w;
    }
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = QDir(home.mailDir()).filePath(name);
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        return path;
    }
    QString tone(const QString& name) {
        const QString path = QDir(home.mailDir()).filePath(name);
        const QString complaint =
            speech::test::writeWithSox(path, 22050, 1, {"synth", "0.5", "sine", "440"});
        return complaint.isEmpty() ? path : QString();
    }
    // Everything queued has been played; the number of samples that arrived.
    std::size_t played() {
        EXPECT_TRUE(home.agent->waitUntilIdle(20000));
        std::size_t samples = 0;
        for (const speech::Audio& piece : sink->pieces()) {
            samples += piece.samples.size();
        }
        return samples;
    }

    std::shared_ptr<speech::RecordingSink> sink = std::make_shared<speech::RecordingSink>();
};

TEST_F(VoiceAttachments, OnlyAFileEndingInLowerCaseMp3IsPlayedAndNothingIsHandedOut) {
    const QString mp3 = tone("voice.mp3");
    if (mp3.isEmpty()) {
        GTEST_SKIP() << "sox cannot write MP3 here";
    }
    const QByteArray mp3Bytes = [&] {
        QFile in(mp3);
        in.open(QIODevice::ReadOnly);
        return in.readAll();
    }();
    struct Row {
        const char* name;
        QString attach;
    };
    // Each decoy holds real MP3 audio, so that playing it would be heard.
    const Row decoys[] = {
        {"a .wav name", file("voice.wav", mp3Bytes)},
        {"capital letters", file("VOICE.MP3", mp3Bytes)},
        {"a program behind .mp3", file("x.mp3.exe", mp3Bytes)},
        {"a text behind .mp3", file("x.mp3.txt", mp3Bytes)},
    };
    for (const Row& row : decoys) {
        mails.add("a@example.jp", QString::fromUtf8(row.name), "聞いてください", row.attach);
    }
    const int voice = mails.add("a@example.jp", "声", "聞いてください", mp3);
    start();

    for (int r = 2; r <= 5; ++r) {
        SCOPED_TRACE(r);
        const QStringList said = pressOnRow(r, Qt::Key_Return);
        EXPECT_EQ(said.size(), 2) << said.join(" / ").toStdString();
        EXPECT_EQ(played(), 0u);
    }
    EXPECT_TRUE(pauses().isEmpty());

    pressOnRow(1, Qt::Key_Return);
    // Half a second of tone at 22050 Hz (the decoder may pad a frame).
    EXPECT_GT(played(), 10000u);
    EXPECT_EQ(pauses(), QList<int>{4});
    EXPECT_EQ(readflagOf(home, voice), kRead);
    EXPECT_TRUE(home.openedAttachments.isEmpty());
    EXPECT_TRUE(home.openedDocuments.isEmpty());
    EXPECT_TRUE(grid()->hasFocus());
}

TEST_F(VoiceAttachments, AnUndecodableMp3IsHandedToTheDesktopAndAMissingOneIsNamed) {
    const QString broken = file("broken.mp3", QByteArray(4000, 'x'));
    const QString gone = QDir(home.mailDir()).filePath("gone.mp3");
    const int missing = mails.add("a@example.jp", "ない", "本文", gone);
    mails.add("a@example.jp", "壊れた", "本文", broken);
    start();

    EXPECT_EQ(pressOnRow(1, Qt::Key_Return),
              (QStringList{"♪　壊れた", "本文",
                           "音声の添付ファイルを再生できないため、ほかのプログラムで開きます"}));
    EXPECT_EQ(home.openedAttachments, QStringList{broken});

    home.openedAttachments.clear();
    const QStringList said = pressOnRow(2, Qt::Key_Return);
    ASSERT_EQ(said.size(), 3);
    EXPECT_EQ(said[2],
              "エラー：音声の添付ファイルを再生できません：音声ファイル gone.mp3 が見つかりません");
    EXPECT_TRUE(home.openedAttachments.isEmpty());
    // Read all the same.
    EXPECT_EQ(readflagOf(home, missing), kRead);
    EXPECT_EQ(played(), 0u);

    // A desktop that cannot open it either: said, not passed over.
    home.openSucceeds = false;
    EXPECT_EQ(pressOnRow(1, Qt::Key_Return).last(),
              "エラー：音声の添付ファイルを再生できません：音声ファイル broken.mp3 "
              "は再生できる MP3 ではありません");
}

}  // namespace
