#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QListWidget;

namespace orvane::mailer {

class Announcer;
class FocusConvention;
class MailList;
class MailStore;
class PlaceFocus;
struct MailerState;

inline const QString kFolderListKeyGuide =
    QStringLiteral("[矢印:フォルダー選択 ENTER:開く INS:メールを移動]");
inline const QString kNoFolderSelected = QStringLiteral("フォルダーが選択されていません");

// The keys of the folder list.
enum class FolderListKey { Enter, Insert };

// The command-table row that a key of the folder list runs.
QString commandName(FolderListKey key);

// The folder list List1: the store's folder names, in table order. ENTER
// lists the chosen folder's mails; INS moves the mail armed by SPACE on the
// mail list into the chosen folder. Moving through the list says each
// folder's name.
//
// Writes MailerState::current_folder (ENTER) and move_mode (INS); reads
// move_mail_id.
class Folders : public QObject {
  public:
    Folders(MailStore& store, Announcer& announcer, MailerState& state, FocusConvention& focus,
            QListWidget* list1, MailList& mailList, QObject* parent = nullptr);

    // Fills the list afresh from the store, with no folder chosen.
    // Throws StoreError.
    void read_folders_from_db();
    // "フォルダへ移動": gives the list the focus.
    void chose_folder_Click();

    // ENTER and INS pressed in the list (whatever modifiers are held) go to
    // `handler`; the list itself does not see them.
    void onKey(std::function<void(FolderListKey)> handler);

    // The chosen folder: the list's current item when it is selected.
    std::optional<QString> selectedFolder() const;
    bool hasSelection() const { return selectedFolder().has_value(); }

    // ENTER: the chosen folder becomes the listed one (which drops a pending
    // move); the focus stays here.
    void openSelected();
    // INS: moves the armed mail into the chosen folder and disarms the move.
    // Does nothing without an armed move. The mail leaves the list when the
    // list shows another folder.
    void moveMailHere();

    void List1_GotFocus();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void speakChosenFolder(int row);

    MailStore& store_;
    Announcer& announcer_;
    MailerState& state_;
    QListWidget* list1_;
    MailList& mailList_;
    PlaceFocus* focus_;
    std::function<void(FolderListKey)> key_;
    bool fillingByProgram_ = false;
};

}  // namespace orvane::mailer
