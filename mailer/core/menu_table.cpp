#include "menu_table.h"

namespace orvane::mailer {

const std::vector<MenuSpec>& mainMenuTable() {
    static const std::vector<MenuSpec> table = {
        {"f",
         "ファイル(&F)",
         {
             {"newmail", "新規作(&N)", {}},
             {"fend", "終了(&X)", {}},
         }},
        {"e",
         "編集",
         {
             {"display_mail_list", "受信メール一覧", {}},
         }},
        {"d",
         "表示(&V)",
         {
             {"chose_folder", "フォルダへ移動(&G)", QKeySequence(Qt::CTRL | Qt::Key_Y)},
         }},
        {"tool",
         "ツール(&T)",
         {
             {"receive", "送受信(&S)", QKeySequence(Qt::CTRL | Qt::Key_M)},
             {"mail_check", "メールチェック(&C)", {}},
             {"speak_unread_mail", "未読メールを読む(&R)", QKeySequence(Qt::CTRL | Qt::Key_U)},
             {"read_subject", "メール表題を読む(&P)", {}},
             {"t1", "-", {}},
             {"t_address", "アドレス帳(&B)", {}},
             {"t_add_address", "送信者をアドレス帳に登録する(&D)", {}},
             {"t2", "-", {}},
             {"t_account", "アカウント(&A)", {}},
             {"t_option", "オプション(&O)", {}},
         }},
        {"msg",
         "メッセージ(&M)",
         {
             {"msg_create", "メッセージの作成(&N)", QKeySequence(Qt::CTRL | Qt::Key_N)},
             {"move_to_mail_list", "メール一覧へ移動(&A)", QKeySequence(Qt::CTRL | Qt::Key_A)},
             {"msg_confirtm", "作成したメールの確認", {}},
             {"md6", "-", {}},
             {"msg_template", "ひな形(&U)", {}},
             {"md1", "-", {}},
             {"msg_replay", "送信者への返信(&R)", QKeySequence(Qt::CTRL | Qt::Key_R)},
         }},
        {"h",
         "ヘルプ(&H)",
         {
             {"help_help", "音声説明", QKeySequence(Qt::Key_F1)},
             {"htmlhelp", "ＨＴＭＬ説明(&R)", {}},
         }},
    };
    return table;
}

}  // namespace orvane::mailer
