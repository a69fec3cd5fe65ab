#include "address_book.h"

#include "announcer.h"
#include "compose_fields.h"
#include "focus_convention.h"
#include "place_focus.h"

#include <QKeyEvent>
#include <QListWidget>

#include <algorithm>
#include <optional>

namespace orvane::mailer {

namespace {

std::optional<AddressBookKey> keyOf(int key) {
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return AddressBookKey::Enter;
        case Qt::Key_Delete:
            return AddressBookKey::Delete;
        case Qt::Key_Escape:
            return AddressBookKey::Escape;
        default:
            return std::nullopt;
    }
}

}  // namespace

AddressBook::AddressBook(MailStore& store, Announcer& announcer, FocusConvention& focus,
                         QListWidget* list2, ComposeFields& compose, QObject* parent)
    : QObject(parent),
      store_(store),
      announcer_(announcer),
      list2_(list2),
      compose_(compose),
      focus_(new PlaceFocus(focus, this)) {
    focus_->add(list2_, kModeAddressBook, [this] { List2_GotFocus(); });
    list2_->setSelectionMode(QAbstractItemView::SingleSelection);
    list2_->installEventFilter(this);
}

QString AddressBook::entryText(const Address& address) {
    return address.address + QStringLiteral("::") + address.name + QStringLiteral(":::") +
           QString::number(address.id);
}

QString AddressBook::addressOfEntry(const QString& entry) {
    const qsizetype end = entry.indexOf(QStringLiteral("::"));
    return end < 0 ? entry : entry.left(end);
}

void AddressBook::load_address_list() {
    list2_->clear();
    for (const Address& address : store_.addresses()) {
        list2_->addItem(entryText(address));
    }
}

void AddressBook::t_address_Click() {
    announcer_.speak(QStringLiteral("アドレス帳編集"));
    list2_->setFocus(Qt::OtherFocusReason);
}

void AddressBook::onKey(std::function<void(AddressBookKey)> handler) {
    key_ = std::move(handler);
}

QString AddressBook::selectedAddress() const {
    const QListWidgetItem* item = list2_->currentItem();
    return item == nullptr ? QString() : addressOfEntry(item->text());
}

bool AddressBook::refuseWithoutSelection() {
    if (hasSelection()) {
        return false;
    }
    announcer_.show_message(kNoAddressSelected);
    announcer_.speak(kNoAddressSelected);
    return true;
}

void AddressBook::speakSelected() {
    if (refuseWithoutSelection()) {
        return;
    }
    announcer_.speak(selectedAddress());
}

void AddressBook::deleteSelected() {
    if (refuseWithoutSelection()) {
        return;
    }
    const int row = list2_->currentRow();
    store_.deleteAddress(selectedAddress());
    load_address_list();
    // The user stays where the deleted entry was.
    if (list2_->count() > 0) {
        list2_->setCurrentRow(std::min(row, list2_->count() - 1));
    }
    announcer_.speak(QStringLiteral("アドレス削除しました"));
}

void AddressBook::mailToSelected() {
    const QString address = selectedAddress();
    announcer_.show_message(address + QStringLiteral("へのメール送信"));
    compose_.fill(address, QString());
    compose_.fillBody(compose_.freshBody());
    announcer_.speak(QStringLiteral("件名を入力してください"));
    compose_.enterSubject();
}

void AddressBook::List2_GotFocus() {
    announcer_.shortcut(QStringLiteral("[矢印:選択 DEL:削除 ESC:メール送信 ]"));
    announcer_.show_message(QStringLiteral("アドレス帳"));
    announcer_.speak(QStringLiteral("アドレス帳"));
}

bool AddressBook::eventFilter(QObject* watched, QEvent* event) {
    if (watched != list2_ || event->type() != QEvent::KeyPress || !key_) {
        return false;
    }
    const auto key = keyOf(static_cast<QKeyEvent*>(event)->key());
    if (!key) {
        return false;
    }
    key_(*key);
    return true;
}

}  // namespace orvane::mailer
