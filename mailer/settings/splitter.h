#pragma once

#include <QObject>
#include <QPointer>

class QWidget;
class QMouseEvent;

namespace orvane::mailer {

class Announcer;

// The splitter between the mail list (MSFlexGrid1) and the body view
// (bodytext). The user drags imgsplitter with the mouse, picsplitter showing
// where it will land, or moves it one text line at a time with
// Ctrl+Shift+Up and Ctrl+Shift+Down, which say the list's share ("一覧 6割").
//
// All lengths are twips, measured from the top of the panes' parent; the
// screen's resolution converts them to pixels. The list's top and the body's
// bottom stay put: the two share panes_height, and each keeps at least
// minimumHeight() (about two text lines). The parent is filled from top to
// bottom; when it is resized, panes_height follows and the list keeps its
// share.
//
// Uses no program-wide state; speaks through the announcer.
class Splitter : public QObject {
    Q_OBJECT
  public:
    static constexpr int kSplitterHeight = 135;

    // `grid` and `body` share a parent that has no layout of its own; the
    // splitter bars are made in that parent and the three are laid out in
    // it, the list taking its usual share.
    Splitter(QWidget* grid, QWidget* body, Announcer& announcer);

    // Puts the splitter's top at `y`: the list ends there and the body begins
    // below the splitter. A `y` that would leave either less than the
    // minimum stops at that limit.
    void SizeControls(int y);

    // Ctrl+Shift+Up (-1) and Ctrl+Shift+Down (+1): moves the splitter by
    // that many text lines and says the list's share in tenths.
    void moveByLines(int lines);

    // Mouse events of imgsplitter; y in twips from imgsplitter's top.
    void imgsplitter_MouseDown();
    void imgsplitter_MouseMove(int y);
    void imgsplitter_MouseUp();

    int panes_height() const { return panesHeight_; }
    int gridTop() const { return 0; }
    int gridHeight() const { return gridHeight_; }
    int splitterTop() const { return gridHeight_; }
    int bodyTop() const { return gridHeight_ + kSplitterHeight; }
    int bodyHeight() const { return panesHeight_ - gridHeight_; }
    int lineHeight() const;
    int minimumHeight() const { return 2 * lineHeight(); }
    // The list's share of panes_height in tenths, rounded.
    int listTenths() const;

    int toTwips(int pixels) const;
    int toPixels(int twips) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The list's height for a splitter top at `y`, kept within the limits.
    int boundedGridHeight(int y) const;
    // Takes panes_height from the parent's height; the list keeps its share.
    void fitToParent();
    void apply();

    QPointer<QWidget> grid_;
    QPointer<QWidget> body_;
    QWidget* imgsplitter_ = nullptr;
    QWidget* picsplitter_ = nullptr;
    Announcer& announcer_;

    int panesHeight_ = 0;
    int gridHeight_ = 0;
    int dragTop_ = 0;
    bool moving_ = false;
    // The list's share of panes_height, kept across resizes of the parent.
    double gridShare_ = 4695.0 / (4695.0 + 3495.0);
};

}  // namespace orvane::mailer
