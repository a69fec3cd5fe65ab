#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QLineEdit;
class QTextEdit;

namespace orvane::mailer {

class Announcer;
class FocusConvention;
class MailStore;
class PlaceFocus;
struct MailerState;

// The maintainers' inquiry address. Mail to it gets the subject
// kInquirySubject without asking, and the user goes straight to the body.
inline const QString kInquiryAddress = QStringLiteral("inquiry@orvane.example");
inline const QString kInquirySubject = QStringLiteral("依頼、問い合わせ");

// The mail as the three fields hold it at this moment.
struct ComposedMail {
    QString to;
    QString subject;
    QString body;  // line breaks as "\n"
};

// The three compose fields of the main window, in tab order.
struct ComposeWidgets {
    QLineEdit* mailto = nullptr;
    QLineEdit* subject = nullptr;
    QTextEdit* body = nullptr;
};

// The keys of the body that act on the mail.
enum class BodyKey { Insert, Enter, Escape };

// The compose fields: each one says its prompt when the user comes to it and,
// on leaving, what it now holds; leaving the recipient completes a partly
// typed address from the address book. The recipient and the subject are
// cleared, and the body reset to an empty line and the signature, each time
// the field is entered; the reply and the address book fill them without
// passing through that.
//
// Reads MailerState::signature.
class ComposeFields : public QObject {
  public:
    ComposeFields(MailStore& store, Announcer& announcer, const MailerState& state,
                  FocusConvention& focus, ComposeWidgets widgets, QObject* parent = nullptr);

    // "メッセージの作成" (Ctrl+N): a new mail, starting in the recipient field.
    void msg_create_Click();

    // INS, ENTER and ESC in the body (whatever modifiers are held) go to
    // `handler` before the field sees them; the key still reaches the field,
    // so ENTER still breaks the line.
    void onBodyKey(std::function<void(BodyKey)> handler);
    // What INS in the body runs: the voice recording. Until one is set, INS
    // says that the function is not there.
    void setRecorder(std::function<void()> record);
    void record_voice();

    ComposedMail composed() const;
    // An empty line followed by the signature: how every body starts.
    QString freshBody() const;

    // For the reply and the address book: fill the fields as they are, then
    // go to a field, which runs its got-focus handling even when it has the
    // focus already.
    void fill(const QString& to, const QString& subject);
    void fillBody(const QString& body);
    void enterSubject();
    void enterBody();

    // The focus handlers, run by the focus moves between places.
    void mailto_GotFocus();
    void mailto_LostFocus();
    void subject_GotFocus();
    void subject_LostFocus();
    void body_GotFocus();
    void body_LostFocus();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void enter(QWidget* field, void (ComposeFields::*gotFocus)());

    MailStore& store_;
    Announcer& announcer_;
    const MailerState& state_;
    ComposeWidgets w_;
    PlaceFocus* focus_;
    std::function<void(BodyKey)> bodyKey_;
    std::function<void()> recorder_;
};

}  // namespace orvane::mailer
