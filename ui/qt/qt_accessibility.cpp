#include "ui/qt/qt_accessibility.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>

namespace ui::qt {

namespace {

constexpr char kFoldedIntoName[] = "bemvara_folded_into_name";

// Qt 6.4 gives screen readers places in its own pixels, which a scale
// factor (QT_SCALE_FACTOR=2) makes half the screen's: a magnifier, or
// Orca's mouse review, would point beside the box. Our interfaces give
// screen pixels. (Measured by tests/linux/accessible-places, which fails
// should a newer Qt scale them itself.)
QRect on_screen(const QWidget* widget, const QRect& place) {
    const qreal scale = widget->devicePixelRatioF();
    const QPoint corner(qRound(place.x() * scale), qRound(place.y() * scale));
    return {corner, QPoint(qRound((place.x() + place.width()) * scale), qRound((place.y() + place.height()) * scale)) -
                        QPoint(1, 1)};
}
QPoint from_screen(const QWidget* widget, const QPoint& point) {
    const qreal scale = widget->devicePixelRatioF();
    return {qRound(point.x() / scale), qRound(point.y() / scale)};
}

// A widget as Qt's own interface gives it, but placed on the screen: every
// interface below is one. What is under a point is looked for down through
// each holder's place (the window, its client area, a message box's row of
// buttons), so each must be right.
class PlacedWidget : public QAccessibleWidget {
public:
    PlacedWidget(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}
    QRect rect() const override { return on_screen(widget(), QAccessibleWidget::rect()); }
};

class FoldedLabel : public PlacedWidget {
public:
    explicit FoldedLabel(QWidget* label) : PlacedWidget(label, QAccessible::StaticText) {}
    QAccessible::State state() const override {
        QAccessible::State state = PlacedWidget::state();
        state.invisible = true;
        return state;
    }
};

// A text box as Qt's own interface gives it, but for its text attributes:
// Qt's give every offset an empty run, and Orca, which builds the line it
// speaks from those runs, says "0.02" for "0.025". Here one run, with no
// attributes of its own, covers the whole text.
class BoxAccessible : public PlacedWidget,
                      public QAccessibleTextInterface,
                      public QAccessibleEditableTextInterface {
public:
    explicit BoxAccessible(QLineEdit* box) : PlacedWidget(box, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        if (type == QAccessible::EditableTextInterface) return static_cast<QAccessibleEditableTextInterface*>(this);
        return PlacedWidget::interface_cast(type);
    }
    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Value ? box()->text() : PlacedWidget::text(kind);
    }
    void setText(QAccessible::Text kind, const QString& text) override {
        if (kind == QAccessible::Value)
            box()->setText(text);
        else
            PlacedWidget::setText(kind, text);
    }
    QAccessible::State state() const override {
        QAccessible::State state = PlacedWidget::state();
        state.editable = !box()->isReadOnly();
        state.readOnly = box()->isReadOnly();
        state.selectableText = true;
        return state;
    }

    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }
    QString text(int start, int end) const override { return box()->text().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(box()->text().size()); }
    int cursorPosition() const override { return box()->cursorPosition(); }
    void setCursorPosition(int position) override { box()->setCursorPosition(position); }
    int selectionCount() const override { return box()->hasSelectedText() ? 1 : 0; }
    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        if (index != 0 || !box()->hasSelectedText()) return;
        *start = box()->selectionStart();
        *end = box()->selectionEnd();
    }
    void setSelection(int index, int start, int end) override {
        if (index == 0) box()->setSelection(start, end - start);
    }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override {
        if (index == 0) box()->deselect();
    }
    // Where the box draws a character: after its frame, its margins and
    // the two pixels a line edit leaves, as long as its text fits.
    QRect characterRect(int offset) const override {
        if (offset < 0 || offset >= characterCount()) return {};
        QStyleOptionFrame frame;
        frame.initFrom(box());
        frame.lineWidth = box()->hasFrame() ? box()->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, box()) : 0;
        const QRect contents = box()->style()->subElementRect(QStyle::SE_LineEditContents, &frame, box())
                                   .marginsRemoved(box()->textMargins());
        const QFontMetrics metrics(box()->font());
        const QString text = box()->text();
        const QPoint at(contents.x() + 2 + metrics.horizontalAdvance(text.left(offset)),
                        contents.y() + (contents.height() - metrics.height() + 1) / 2);
        return on_screen(box(), {box()->mapToGlobal(at), QSize(metrics.horizontalAdvance(text.mid(offset, 1)), metrics.height())});
    }
    int offsetAtPoint(const QPoint& point) const override {
        return box()->cursorPositionAt(box()->mapFromGlobal(from_screen(box(), point)));
    }
    void scrollToSubstring(int, int end) override { box()->setCursorPosition(end); }

    void deleteText(int start, int end) override { replaceText(start, end, {}); }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString& text) override {
        QString value = box()->text();
        value.replace(start, end - start, text);
        box()->setText(value);
    }

private:
    QLineEdit* box() const { return static_cast<QLineEdit*>(widget()); }
};

class Notification : public PlacedWidget {
public:
    explicit Notification(QWidget* announcer) : PlacedWidget(announcer, QAccessible::Notification) {}
};

// A message box as Qt's own: an alert, its title its name, its text its value.
class MessageAccessible : public PlacedWidget {
public:
    explicit MessageAccessible(QMessageBox* box) : PlacedWidget(box, QAccessible::AlertMessage) {}
    QString text(QAccessible::Text kind) const override {
        const auto* box = static_cast<const QMessageBox*>(widget());
        if (kind == QAccessible::Value || (kind == QAccessible::Name && PlacedWidget::text(kind).isEmpty()))
            return box->text();
        return PlacedWidget::text(kind);
    }
};

// A push button as Qt's own: its text its name, pressed by its action.
class ButtonAccessible : public PlacedWidget {
public:
    explicit ButtonAccessible(QPushButton* button) : PlacedWidget(button, QAccessible::Button) {}
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name && button()->accessibleName().isEmpty()) return QString(button()->text()).remove(u'&');
        return PlacedWidget::text(kind);
    }
    QAccessible::State state() const override {
        QAccessible::State state = PlacedWidget::state();
        state.defaultButton = button()->isDefault();
        state.pressed = button()->isDown();
        return state;
    }
    QStringList actionNames() const override { return QStringList(pressAction()) + PlacedWidget::actionNames(); }
    void doAction(const QString& action) override {
        if (action == pressAction())
            button()->animateClick();
        else
            PlacedWidget::doAction(action);
    }

private:
    QPushButton* button() const { return static_cast<QPushButton*>(widget()); }
};

QAccessibleInterface* factory(const QString&, QObject* object) {
    if (auto* box = qobject_cast<QLineEdit*>(object)) return new BoxAccessible(box);
    if (auto* button = qobject_cast<QPushButton*>(object)) return new ButtonAccessible(button);
    if (auto* message = qobject_cast<QMessageBox*>(object)) return new MessageAccessible(message);
    if (auto* window = qobject_cast<QMainWindow*>(object)) return new PlacedWidget(window, QAccessible::Window);
    if (auto* row = qobject_cast<QDialogButtonBox*>(object)) return new PlacedWidget(row, QAccessible::Grouping);
    if (auto* label = qobject_cast<QLabel*>(object); label && label->property(kFoldedIntoName).toBool())
        return new FoldedLabel(label);
    if (auto* announcer = dynamic_cast<Announcer*>(object)) return new Notification(announcer);
    // A plain widget holding others: the client area. (The announcer, of
    // that class too, is matched above.)
    if (object->isWidgetType() && object->metaObject() == &QWidget::staticMetaObject)
        return new PlacedWidget(static_cast<QWidget*>(object), QAccessible::Client);
    return nullptr;
}

// Tab leaves one box and selects all of the next before Qt says the focus
// has moved, and Orca speaks each selection as it comes: "Text unselected",
// then the new value, then the box with its value again. A selection that
// changes on a box other than the one the screen reader was last told has
// the focus, or that has just lost it, is the focus moving: the focus
// event that follows says the box, its value and that it is selected, once.
QPointer<QObject> told_focused;

void pass_on(QAccessibleEvent* event) {
    if (event->type() == QAccessible::Focus) told_focused = event->object();
    const bool focus_moving = event->type() == QAccessible::TextSelectionChanged &&
                              (event->object() != told_focused || event->object() != QApplication::focusWidget());
    if (focus_moving) return;
    // Qt hands the event to the platform only while no handler is installed.
    QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(pass_on);
}

}  // namespace

void install_accessibility() {
    static const bool installed = (QAccessible::installFactory(factory), QAccessible::installUpdateHandler(pass_on), true);
    (void)installed;
}

void fold_into_name(QLabel* label) {
    label->setProperty(kFoldedIntoName, true);
    // An interface made as the label was created is dropped; the next is the factory's.
    if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(label))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

Announcer::Announcer(QWidget* parent) : QWidget(parent) {
    setFixedSize(0, 0);
    setFocusPolicy(Qt::NoFocus);
}

// A notification coming into view is what Orca speaks, whatever has the
// focus; its name is what it says. Said to come into view, not hidden and
// shown: a screen reader asking about it while hidden gets no answer.
void Announcer::announce(const QString& text) {
    setAccessibleName(text);
    QAccessibleEvent shown(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

}  // namespace ui::qt
