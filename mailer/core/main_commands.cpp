#include "main_commands.h"

#include "address_book.h"
#include "announcer.h"
#include "compose_fields.h"
#include "folders.h"
#include "mail_actions.h"
#include "mail_list.h"
#include "mailer_state.h"
#include "main_window.h"
#include "receiving.h"
#include "reply.h"
#include "sending.h"
#include "settings_places.h"
#include "splitter.h"

namespace orvane::mailer {

namespace {

// One row of the table, every field named in order.
Command row(const char* name, const char* caption, QKeySequence shortcut, const char* menu,
            Place place, std::vector<Precondition> preconditions, std::function<void()> handler,
            std::function<bool()> checked = {}) {
    return Command{QString::fromUtf8(name),
                   QString::fromUtf8(caption),
                   std::move(shortcut),
                   QString::fromUtf8(menu),
                   place,
                   std::move(preconditions),
                   std::move(handler),
                   std::move(checked)};
}

}  // namespace

std::vector<MenuDefinition> mainMenus() {
    return {
        {"f", "ファイル(&F)"},     {"e", "編集"},       {"d", "表示(&V)"}, {"tool", "ツール(&T)"},
        {"msg", "メッセージ(&M)"}, {"h", "ヘルプ(&H)"},
    };
}

std::vector<Command> mainCommands(MainCommandTargets t) {
    const Precondition anAccountIsSet{
        [&state = t.state] { return !state.accounts.empty(); },
        QStringLiteral(
            "メールアカウントが設定されていません。ツールメニューのアカウントで設定してください")};
    const auto key = [](QKeyCombination combination) { return QKeySequence(combination); };
    MailList& list = t.mailList;
    Receiving& receiving = t.receiving;
    SettingsPlaces& settings = t.settings;
    MainWindow& window = t.window;
    ComposeFields& compose = t.compose;
    AddressBook& book = t.addressBook;
    Sending& sending = t.sending;
    Reply& reply = t.reply;
    Announcer& announcer = t.announcer;
    MailActions& actions = t.mailActions;
    Folders& folders = t.folders;
    const MailerState& state = t.state;
    const Precondition aMailIsCurrent{[&list] { return list.currentMailRow().has_value(); },
                                      kNoMailSelected};
    const Precondition anAddressIsSelected{[&book] { return book.hasSelection(); },
                                           kNoAddressSelected};
    const Precondition aRecipientIsTyped{[&compose] { return !compose.composed().to.isEmpty(); },
                                         QStringLiteral("送信先が入力されていません")};
    const Precondition aFolderIsSelected{[&folders] { return folders.hasSelection(); },
                                         kNoFolderSelected};
    // INS without a pending move does nothing, chosen folder or not.
    const Precondition aFolderIsChosenForAPendingMove{
        [&folders, &state] { return !state.move_mode || folders.hasSelection(); },
        kNoFolderSelected};
    const auto noSuchFunction = [&announcer] {
        announcer.speak(QStringLiteral("この機能はありません"));
    };

    // name, caption, shortcut, menu, place, preconditions, handler[, checked]
    return {
        row("newmail", "新規作(&N)", {}, "f", Place::Window, {}, noSuchFunction),
        row("fend", "終了(&X)", {}, "f", Place::Window, {}, [&window] { window.fend_Click(); }),

        row("display_mail_list", "受信メール一覧", {}, "e", Place::MailList, {},
            [&list] { list.display_mail_list_Click(); }),

        row("chose_folder", "フォルダへ移動(&G)", key(Qt::CTRL | Qt::Key_Y), "d", Place::FolderList,
            {}, [&folders] { folders.chose_folder_Click(); }),
        row(
            "arrow_reading", "矢印で件名を読む", {}, "d", Place::MailList, {},
            [&list] { list.arrow_reading_Click(); }, [&list] { return list.readsRowOnArrows(); }),

        row("receive", "送受信(&S)", key(Qt::CTRL | Qt::Key_M), "tool", Place::Window,
            {anAccountIsSet},
            [&receiving, &sending, &compose] {
                receiving.receive_Click();
                // Says nothing while the recipient field is empty.
                sending.send_msg(compose.composed());
            }),
        row("mail_check", "メールチェック(&C)", {}, "tool", Place::Window, {anAccountIsSet},
            [&receiving] { receiving.mail_check_Click(); }),
        row("speak_unread_mail", "未読メールを読む(&R)", key(Qt::CTRL | Qt::Key_U), "tool",
            Place::MailList, {}, [&list] { list.speak_unread_mail_Click(); }),
        row("read_subject", "メール表題を読む(&P)", {}, "tool", Place::MailList, {},
            [&list] { list.read_subject_Click(); }),
        row("t1", "-", {}, "tool", Place::Window, {}, {}),
        row("t_address", "アドレス帳(&B)", {}, "tool", Place::AddressBook, {},
            [&book] { book.t_address_Click(); }),
        row("t_add_address", "送信者をアドレス帳に登録する(&D)", {}, "tool", Place::Window,
            {aMailIsCurrent}, [&actions] { actions.storeSender(); }),
        row("t2", "-", {}, "tool", Place::Window, {}, {}),
        row("t_account", "アカウント(&A)", {}, "tool", Place::Window, {},
            [&settings] { settings.t_account_Click(); }),
        row("t_option", "オプション(&O)", {}, "tool", Place::Window, {},
            [&settings] { settings.t_option_Click(); }),

        row("msg_create", "メッセージの作成(&N)", key(Qt::CTRL | Qt::Key_N), "msg",
            Place::ComposeFields, {}, [&compose] { compose.msg_create_Click(); }),
        row("move_to_mail_list", "メール一覧へ移動(&A)", key(Qt::CTRL | Qt::Key_A), "msg",
            Place::MailList, {}, [&list] { list.move_to_mail_list_Click(); }),
        row("msg_confirtm", "作成したメールの確認", {}, "msg", Place::Body, {},
            [&sending, &compose] { sending.confirm_msg(compose.composed()); }),
        row("md6", "-", {}, "msg", Place::Window, {}, {}),
        row("msg_template", "ひな形(&U)", {}, "msg", Place::Window, {}, noSuchFunction),
        row("md1", "-", {}, "msg", Place::Window, {}, {}),
        row("msg_replay", "送信者への返信(&R)", key(Qt::CTRL | Qt::Key_R), "msg", Place::MailList,
            {aMailIsCurrent}, [&reply] { reply.msg_replay_Click(); }),

        row("help_help", "音声説明", key(Qt::Key_F1), "h", Place::Window, {},
            [&window] { window.help_help_Click(); }),
        row("htmlhelp", "ＨＴＭＬ説明(&R)", {}, "h", Place::Window, {},
            [&window] { window.htmlhelp_Click(); }),

        // Keys without a menu item.
        row("read_subject_key", "", key(Qt::CTRL | Qt::Key_P), "", Place::Window, {},
            [&list] { list.read_subject_Click(); }),
        row("silence", "", QKeySequence(Qt::Key_Control), "", Place::Window, {},
            [&announcer] { announcer.silence(); }),
        // The splitter between the mail list and the body view, a text line
        // at a time; each step says the list's share.
        row("splitter_up", "", key(Qt::CTRL | Qt::SHIFT | Qt::Key_Up), "", Place::Window, {},
            [&window] { window.splitter().moveByLines(-1); }),
        row("splitter_down", "", key(Qt::CTRL | Qt::SHIFT | Qt::Key_Down), "", Place::Window, {},
            [&window] { window.splitter().moveByLines(+1); }),

        // Keys a place hands over by name; they still reach their widget.
        row("body_insert", "", {}, "", Place::Body, {}, [&compose] { compose.record_voice(); }),
        row("body_enter", "", {}, "", Place::Body, {},
            [&sending, &compose] { sending.confirm_msg(compose.composed()); }),
        row("body_escape", "", {}, "", Place::Body, {aRecipientIsTyped},
            [&sending, &compose] { sending.send_msg(compose.composed()); }),
        row("List2_enter", "", {}, "", Place::AddressBook, {anAddressIsSelected},
            [&book] { book.speakSelected(); }),
        row("List2_delete", "", {}, "", Place::AddressBook, {anAddressIsSelected},
            [&book] { book.deleteSelected(); }),
        row("List2_escape", "", {}, "", Place::AddressBook, {}, [&book] { book.mailToSelected(); }),
        row("MSFlexGrid1_enter", "", {}, "", Place::MailList, {aMailIsCurrent},
            [&actions] { actions.readMail(); }),
        row("MSFlexGrid1_insert", "", {}, "", Place::MailList, {aMailIsCurrent},
            [&actions] { actions.storeSender(); }),
        row("MSFlexGrid1_delete", "", {}, "", Place::MailList, {aMailIsCurrent},
            [&actions] { actions.deleteMail(); }),
        row("MSFlexGrid1_escape", "", {}, "", Place::MailList, {},
            [&window] { window.commands().run(QStringLiteral("msg_replay")); }),
        row("MSFlexGrid1_space", "", {}, "", Place::MailList, {aMailIsCurrent},
            [&actions] { actions.startMove(); }),
        row("List1_enter", "", {}, "", Place::FolderList, {aFolderIsSelected},
            [&folders] { folders.openSelected(); }),
        row("List1_insert", "", {}, "", Place::FolderList, {aFolderIsChosenForAPendingMove},
            [&folders] { folders.moveMailHere(); }),
    };
}

}  // namespace orvane::mailer
