// Keeps a window made for one size alive where it is asked to fill the
// screen all the same. Some title bars offer maximize whatever a window's
// flags say (Qt's own on Wayland does, on every window, message boxes
// included), and a Wayland compositor ends a client whose maximized window
// is not exactly the size it gave. So the window may grow while it fills
// the screen, its contents staying where they are, and takes its one size
// again when given back: not at the asking, while the compositor may still
// hold it maximized, but once it has been given a size of its own again.
#pragma once

#include <QObject>
#include <QSize>

class QWidget;

namespace ui::qt {

class OneSizeWindow : public QObject {
public:
    // Follows `window` from its first showing on; owned by it.
    explicit OneSizeWindow(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow(Qt::WindowState state);
    void take_one_size();

    QWidget* window_;
    bool following_ = false;
    QSize one_size_;  // taken as it first grows
    bool layout_was_fixed_ = false;
    bool filling_ = false;
    bool given_back_ = false;
};

}  // namespace ui::qt
