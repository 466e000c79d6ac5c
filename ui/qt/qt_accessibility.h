// What screen readers get from the Qt window where Qt's own accessibility
// falls short: labels already said in a box's name, text boxes whose text a
// screen reader reads whole, a box heard once as Tab reaches it, results
// announced as they are set, and the window, its boxes, buttons and message
// boxes placed in screen pixels at any scale.
#pragma once

#include <QWidget>

class QLabel;
class QString;

namespace ui::qt {

// Makes the window's widgets answer with the interfaces below. Once, before
// the first of them is made.
void install_accessibility();

// Shown on screen, invisible to assistive technology: its text is heard in
// its box's name already.
void fold_into_name(QLabel* label);

// Nothing on screen: a notification that speaks a text when told to.
// (Qt has no announcement of its own on Linux before 6.8.)
class Announcer : public QWidget {
public:
    explicit Announcer(QWidget* parent);
    void announce(const QString& text);
};

}  // namespace ui::qt
