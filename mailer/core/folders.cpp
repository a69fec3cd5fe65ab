#include "folders.h"

#include "announcer.h"
#include "focus_convention.h"
#include "mail_list.h"
#include "mail_store.h"
#include "mailer_state.h"
#include "place_focus.h"

#include <QKeyEvent>
#include <QListWidget>

namespace orvane::mailer {

namespace {

std::optional<FolderListKey> folderListKeyOf(int key) {
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return FolderListKey::Enter;
        case Qt::Key_Insert:
            return FolderListKey::Insert;
        default:
            return std::nullopt;
    }
}

}  // namespace

QString commandName(FolderListKey key) {
    switch (key) {
        case FolderListKey::Enter:
            return QStringLiteral("List1_enter");
        case FolderListKey::Insert:
            return QStringLiteral("List1_insert");
    }
    return {};
}

Folders::Folders(MailStore& store, Announcer& announcer, MailerState& state, FocusConvention& focus,
                 QListWidget* list1, MailList& mailList, QObject* parent)
    : QObject(parent),
      store_(store),
      announcer_(announcer),
      state_(state),
      list1_(list1),
      mailList_(mailList),
      focus_(new PlaceFocus(focus, this)) {
    focus_->add(list1_, kModeFolderList, [this] { List1_GotFocus(); });
    list1_->setSelectionMode(QAbstractItemView::SingleSelection);
    list1_->installEventFilter(this);
    connect(list1_, &QListWidget::currentRowChanged, this, &Folders::speakChosenFolder);
}

void Folders::read_folders_from_db() {
    fillingByProgram_ = true;
    list1_->clear();
    for (const Folder& folder : store_.folders()) {
        list1_->addItem(folder.name);
    }
    // No folder is chosen until the user moves to one, and the first arrow
    // lands on the first folder.
    list1_->setCurrentIndex(QModelIndex());
    fillingByProgram_ = false;
}

void Folders::chose_folder_Click() {
    list1_->setFocus(Qt::ShortcutFocusReason);
}

void Folders::onKey(std::function<void(FolderListKey)> handler) {
    key_ = std::move(handler);
}

std::optional<QString> Folders::selectedFolder() const {
    const QListWidgetItem* item = list1_->currentItem();
    if (item == nullptr || !item->isSelected() || item->text().isEmpty()) {
        return std::nullopt;
    }
    return item->text();
}

void Folders::openSelected() {
    const std::optional<QString> folder = selectedFolder();
    if (!folder) {
        announcer_.show_message(kNoFolderSelected);
        announcer_.speak(kNoFolderSelected);
        return;
    }
    state_.current_folder = *folder;
    announcer_.speak(*folder);
    mailList_.init_mail_grid();
    mailList_.read_mail_from_db();
}

void Folders::moveMailHere() {
    if (!state_.move_mode) {
        return;
    }
    const std::optional<QString> folder = selectedFolder();
    if (!folder) {
        // The move stays armed: the user may still choose a folder.
        announcer_.show_message(kNoFolderSelected);
        announcer_.speak(kNoFolderSelected);
        return;
    }
    const int id = state_.move_mail_id;
    const bool moved = store_.moveMail(id, *folder);
    state_.move_mode = false;
    if (!moved) {
        announcer_.report_error(QStringLiteral("移動するメールが見つかりません"));
        return;
    }
    announcer_.speak(QStringLiteral("メールをフォルダー[") + *folder +
                     QStringLiteral("]に移動しました"));
    // The list shows one folder: a mail moved out of it is no longer listed.
    if (*folder != mailList_.model().folder()) {
        if (const std::optional<int> row = mailList_.model().rowOfMail(id)) {
            mailList_.removeMailRow(*row);
        }
    }
}

void Folders::List1_GotFocus() {
    announcer_.shortcut(kFolderListKeyGuide);
    QString text = QStringLiteral("フォルダ");
    if (state_.move_mode) {
        text += QStringLiteral(" メール移動操作 矢印キーで選択してINSキーを押してください");
    }
    announcer_.show_message(text);
    announcer_.speak(text);
}

void Folders::speakChosenFolder(int row) {
    // Only the user's moves are read: the user cannot see which folder the
    // arrows reached.
    if (fillingByProgram_ || row < 0 || !list1_->hasFocus()) {
        return;
    }
    announcer_.silence();
    announcer_.speak(list1_->item(row)->text());
}

bool Folders::eventFilter(QObject* watched, QEvent* event) {
    if (watched != list1_ || event->type() != QEvent::KeyPress || !key_) {
        return false;
    }
    const std::optional<FolderListKey> key = folderListKeyOf(static_cast<QKeyEvent*>(event)->key());
    if (!key) {
        return false;
    }
    key_(*key);
    return true;
}

}  // namespace orvane::mailer
