#pragma once

#include <QPainterPath>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace orvane::speech {

// The character on the desktop: a small frameless window that stays on top and
// never takes the keyboard focus, with the character's picture and, while it
// speaks, a balloon holding the text.
class CharacterWindow final : public QWidget {
    Q_OBJECT
  public:
    // `picturePath` empty or unreadable: a plain drawn figure stands in.
    CharacterWindow(const QString& name, const QString& picturePath);

    void setBalloonText(const QString& text);
    QString balloonText() const { return balloon_; }
    bool hasPicture() const { return !picture_.isNull(); }

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void handBackActivation();
    // Limits the window to the picture and, while it speaks, the balloon.
    void updateShape();
    static QRectF bubbleRect();
    static QPainterPath balloonPath();

    QString name_;
    QPixmap picture_;
    QString balloon_;
    // The window that was active when we appeared; it keeps the focus.
    QPointer<QWidget> keepsFocus_;
};

}  // namespace orvane::speech
