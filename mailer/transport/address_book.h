#pragma once

#include "mail_store.h"

#include <QObject>
#include <QString>

#include <functional>

class QListWidget;

namespace orvane::mailer {

class Announcer;
class ComposeFields;
class FocusConvention;
class PlaceFocus;

inline const QString kNoAddressSelected = QStringLiteral("アドレスが選択されていません");

// The keys of the address book list.
enum class AddressBookKey { Enter, Delete, Escape };

// The address book: the store's addresses in the list List2, one entry per
// row, "address::name:::id". From the list the user hears an address, deletes
// it, or starts a mail to it.
class AddressBook : public QObject {
  public:
    AddressBook(MailStore& store, Announcer& announcer, FocusConvention& focus, QListWidget* list2,
                ComposeFields& compose, QObject* parent = nullptr);

    // The list's text of one row.
    static QString entryText(const Address& address);
    // The address of a list entry: the text before its first "::" (the whole
    // entry when there is none).
    static QString addressOfEntry(const QString& entry);

    // Fills List2 afresh from the store, in address order. Run after anything
    // that changes the book.
    void load_address_list();
    // "アドレス帳": says so and goes to the list.
    void t_address_Click();

    // ENTER, DEL and ESC pressed in the list (whatever modifiers are held) go
    // to `handler`; the list itself does not see them.
    void onKey(std::function<void(AddressBookKey)> handler);

    // The address of the list's current entry; empty when there is none.
    QString selectedAddress() const;
    bool hasSelection() const { return !selectedAddress().isEmpty(); }

    // ENTER: says the address, and only the address.
    void speakSelected();
    // DEL: removes every row of the book with that address, without asking.
    void deleteSelected();
    // ESC: a new mail to the address, starting in the subject field.
    void mailToSelected();

    void List2_GotFocus();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool refuseWithoutSelection();

    MailStore& store_;
    Announcer& announcer_;
    QListWidget* list2_;
    ComposeFields& compose_;
    PlaceFocus* focus_;
    std::function<void(AddressBookKey)> key_;
};

}  // namespace orvane::mailer
