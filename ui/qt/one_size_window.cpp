#include "ui/qt/one_size_window.h"

#include <QEvent>
#include <QLayout>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace ui::qt {

OneSizeWindow::OneSizeWindow(QWidget* window) : QObject(window), window_(window) {
    window->installEventFilter(this);
}

bool OneSizeWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_) return false;
    if (event->type() == QEvent::Show && !following_ && window_->windowHandle()) {
        following_ = true;
        // The state as asked for, before the compositor answers: the window
        // can take the size it will be given before it is given it.
        connect(window_->windowHandle(), &QWindow::windowStateChanged, this,
                [this](Qt::WindowState state) { follow(state); });
    } else if (event->type() == QEvent::LayoutRequest && filling_ && !layout_was_fixed_) {
        // A message box fixes its own size again on every layout request.
        return true;
    } else if (event->type() == QEvent::Resize && given_back_) {
        // After the compositor's answer has been acknowledged, not inside it.
        QTimer::singleShot(0, this, [this] { take_one_size(); });
    }
    return false;
}

void OneSizeWindow::follow(Qt::WindowState state) {
    if (state == Qt::WindowMaximized || state == Qt::WindowFullScreen) {
        if (one_size_.isEmpty()) {  // as it has been since it was shown
            one_size_ = window_->size();
            layout_was_fixed_ = window_->layout() && window_->layout()->sizeConstraint() == QLayout::SetFixedSize;
        }
        given_back_ = false;
        filling_ = true;
        if (layout_was_fixed_) window_->layout()->setSizeConstraint(QLayout::SetMinimumSize);
        window_->setMinimumSize(one_size_);
        window_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        return;
    }
    filling_ = false;
    if (one_size_.isEmpty() || window_->maximumSize() == one_size_) return;  // never grown
    // Only once a size of its own has been given: a state that comes late,
    // from before the window asked to fill the screen, must not shrink it
    // just as the compositor answers that it does.
    given_back_ = true;
}

void OneSizeWindow::take_one_size() {
    const Qt::WindowStates states = window_->windowHandle()->windowStates();
    if (!given_back_ || states & (Qt::WindowMaximized | Qt::WindowFullScreen)) return;
    given_back_ = false;
    window_->setFixedSize(one_size_);
    if (layout_was_fixed_) window_->layout()->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace ui::qt
