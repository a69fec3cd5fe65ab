#include "compose_fields.h"

#include "announcer.h"
#include "focus_convention.h"
#include "mail_store.h"
#include "mailer_state.h"
#include "place_focus.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTextEdit>

namespace orvane::mailer {

namespace {

const QString kFieldKeys = QStringLiteral("[TAB:次 ]");
const QString kBodyKeys =
    QStringLiteral("[INS:音声録音 ENTER:作成したメールの確認 ESC:メール送信 ]");

std::optional<BodyKey> bodyKeyOf(int key) {
    switch (key) {
        case Qt::Key_Insert:
            return BodyKey::Insert;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return BodyKey::Enter;
        case Qt::Key_Escape:
            return BodyKey::Escape;
        default:
            return std::nullopt;
    }
}

}  // namespace

ComposeFields::ComposeFields(MailStore& store, Announcer& announcer, const MailerState& state,
                             FocusConvention& focus, ComposeWidgets widgets, QObject* parent)
    : QObject(parent),
      store_(store),
      announcer_(announcer),
      state_(state),
      w_(widgets),
      focus_(new PlaceFocus(focus, this)) {
    focus_->add(
        w_.mailto, kModeAddressOrSubject, [this] { mailto_GotFocus(); },
        [this] { mailto_LostFocus(); });
    focus_->add(
        w_.subject, kModeAddressOrSubject, [this] { subject_GotFocus(); },
        [this] { subject_LostFocus(); });
    focus_->add(
        w_.body, kModeBody, [this] { body_GotFocus(); }, [this] { body_LostFocus(); });
    QWidget::setTabOrder(w_.mailto, w_.subject);
    QWidget::setTabOrder(w_.subject, w_.body);
    w_.body->setAcceptRichText(false);
    w_.body->installEventFilter(this);
}

void ComposeFields::msg_create_Click() {
    enter(w_.mailto, &ComposeFields::mailto_GotFocus);
}

void ComposeFields::onBodyKey(std::function<void(BodyKey)> handler) {
    bodyKey_ = std::move(handler);
}

void ComposeFields::setRecorder(std::function<void()> record) {
    recorder_ = std::move(record);
}

void ComposeFields::record_voice() {
    if (recorder_) {
        recorder_();
    } else {
        announcer_.speak(QStringLiteral("この機能はありません"));
    }
}

ComposedMail ComposeFields::composed() const {
    return {w_.mailto->text(), w_.subject->text(), w_.body->toPlainText()};
}

QString ComposeFields::freshBody() const {
    return QStringLiteral("\n") + state_.signature;
}

void ComposeFields::fill(const QString& to, const QString& subject) {
    w_.mailto->setText(to);
    w_.subject->setText(subject);
}

void ComposeFields::fillBody(const QString& body) {
    w_.body->setPlainText(body);
    w_.body->moveCursor(QTextCursor::Start);
}

void ComposeFields::enterSubject() {
    enter(w_.subject, &ComposeFields::subject_GotFocus);
}

void ComposeFields::enterBody() {
    enter(w_.body, &ComposeFields::body_GotFocus);
}

void ComposeFields::enter(QWidget* field, void (ComposeFields::*gotFocus)()) {
    // Coming to the field it is already in still starts afresh and speaks.
    if (field->hasFocus()) {
        (this->*gotFocus)();
    } else {
        field->setFocus(Qt::OtherFocusReason);
    }
}

void ComposeFields::mailto_GotFocus() {
    announcer_.shortcut(kFieldKeys);
    announcer_.show_message(QStringLiteral("送信メール入力"));
    announcer_.speak(QStringLiteral("送信先を入力してください"));
    w_.mailto->clear();
}

void ComposeFields::mailto_LostFocus() {
    if (w_.mailto->text().isEmpty()) {
        return;
    }
    try {
        // The typed text is matched as written: "%" and "_" are plain characters.
        const std::vector<Address> found = store_.addressesStartingWith(w_.mailto->text());
        if (!found.empty()) {
            // A book entry without a name holds a blank: nothing to say.
            if (!found.front().name.trimmed().isEmpty()) {
                announcer_.speak(found.front().name);
            }
            w_.mailto->setText(found.front().address);
        }
    } catch (const StoreError& e) {
        announcer_.report_error(e.reason());
    }
    if (!w_.mailto->text().isEmpty()) {
        announcer_.speak(QStringLiteral("[送信先アドレスは]") + w_.mailto->text());
    } else {
        announcer_.speak(QStringLiteral("宛先が入力されていません"));
    }
}

void ComposeFields::subject_GotFocus() {
    announcer_.shortcut(kFieldKeys);
    w_.subject->clear();
    if (w_.mailto->text() == kInquiryAddress) {
        w_.subject->setText(kInquirySubject);
        enterBody();
    } else {
        announcer_.speak(QStringLiteral("メール件名を入力してください"));
    }
}

void ComposeFields::subject_LostFocus() {
    announcer_.speak(QStringLiteral("件名は") + w_.subject->text());
}

void ComposeFields::body_GotFocus() {
    announcer_.shortcut(kBodyKeys);
    announcer_.speak(QStringLiteral("メール本文を入力してください"));
    w_.body->setPlainText(freshBody());
    // The user writes on the empty first line, above the signature.
    w_.body->moveCursor(QTextCursor::Start);
}

void ComposeFields::body_LostFocus() {
    // The body can be long: its size, not its text (ENTER reads it back).
    const QString text = w_.body->toPlainText();
    announcer_.speak(QStringLiteral("本文は%1文字です").arg(text.size() - text.count('\n')));
}

bool ComposeFields::eventFilter(QObject* watched, QEvent* event) {
    if (watched == w_.body && event->type() == QEvent::KeyPress && bodyKey_) {
        if (const auto key = bodyKeyOf(static_cast<QKeyEvent*>(event)->key())) {
            bodyKey_(*key);
        }
    }
    return false;
}

}  // namespace orvane::mailer
