#include "ui/qt/qt_main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QShortcut>
#include <QStyleOptionMenuItem>
#include <QWindow>

#include <algorithm>
#include <span>
#include <vector>

#include "ui/qt/one_size_window.h"
#include "ui/qt/qt_accessibility.h"
#include "ui/qt/twips.h"

namespace ui::qt {

namespace {

QString to_qstring(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QFont to_qfont(const FontSpec& spec, const QWidget& on) {
    QFont font;
    QStringList families;
    for (std::string_view family : spec.families) families << to_qstring(family);
    font.setFamilies(families);
    font.setPointSizeF(spec.points);
    font.setWeight(QFont::Weight(spec.weight));
    // Set either way, not inherited from a font that asked otherwise.
    font.setStyleStrategy(drawn_crisp(spec, on.logicalDpiY() * on.devicePixelRatioF()) ? QFont::NoAntialias
                                                                                         : QFont::PreferDefault);
    return font;
}

QLabel* create_label(const Control& control, QWidget* client) {
    auto* label = new QLabel(to_qstring(control.text), client);
    // Centred as the box centres its text, so a symbol stands on the same
    // baseline as the number beside it at any scale or font DPI.
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Opaque, so a label hides whatever lies behind it.
    label->setAutoFillBackground(true);
    // Kept from screen readers, which hear its text in its box's name.
    if (folded_into_name(control)) fold_into_name(label);
    return label;
}

// A band filled in the text colour. A frame's line is drawn through the
// middle of its rectangle and, at some scales, falls between two rows of
// device pixels and vanishes; a filled band always covers a row.
QWidget* create_line(QWidget* client) {
    auto* line = new QWidget(client);
    line->setAutoFillBackground(true);
    line->setBackgroundRole(QPalette::WindowText);
    return line;
}

// A text box whose double-click selects the run of characters the
// description says, not Qt's word, which would split " 2.5E-05" at the
// point and the sign and so copy another number.
class TextBox : public QLineEdit {
public:
    TextBox(const QString& text, const Behaviour& behaviour, std::span<const MenuItem> commands, View& view,
            QWidget* parent)
        : QLineEdit(text, parent), behaviour_(behaviour), commands_(commands), view_(view) {}

protected:
    // The box's own commands come first, above Qt's editing ones.
    void contextMenuEvent(QContextMenuEvent* event) override {
        QMenu* menu = createStandardContextMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        QAction* first = menu->actions().value(0);
        for (const MenuItem& command : commands_) {
            auto* action = new QAction(to_qstring(command.caption), menu);
            action->setObjectName(to_qstring(command.name));
            const Handler handler = command.chosen;
            connect(action, &QAction::triggered, this, [this, handler] { handler(view_); });
            menu->insertAction(first, action);
        }
        if (!commands_.empty() && first) menu->insertSeparator(first);
        menu->popup(event->globalPos());
    }

    // Shift+F10 opens the menu as the Menu key does, as on Windows.
    void keyPressEvent(QKeyEvent* event) override {
        const bool menu_key = event->key() == Qt::Key_Menu && event->modifiers() == Qt::NoModifier;
        const bool shift_f10 = event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier;
        if (!menu_key && !shift_f10) return QLineEdit::keyPressEvent(event);
        const QPoint at = cursorRect().center();
        QContextMenuEvent open(QContextMenuEvent::Keyboard, at, mapToGlobal(at));
        contextMenuEvent(&open);
    }

    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return QLineEdit::mouseDoubleClickEvent(event);
        const std::u16string text = text_utf16();
        const auto [first, last] =
            double_click_run(behaviour_, text, static_cast<std::size_t>(cursorPositionAt(event->position().toPoint())));
        setSelection(static_cast<int>(first), static_cast<int>(last - first));
    }

    // A visit to the menus leaves the box as it was, selection and all, as
    // the menus of other platforms never take it; Qt's menu bar takes the
    // focus, and a box deselects as it loses it.
    void focusOutEvent(QFocusEvent* event) override {
        kept_ = event->reason() == Qt::MenuBarFocusReason && hasSelectedText()
                    ? std::pair{selectionStart(), selectionLength()}
                    : std::pair{-1, 0};
        QLineEdit::focusOutEvent(event);
    }
    void focusInEvent(QFocusEvent* event) override {
        // Selecting all of nothing still moves the caret, and a caret that
        // moves before the focus is announced makes Orca take the focus as
        // come already and say nothing of the box: so an empty box selects
        // nothing.
        if (text().isEmpty() && event->reason() != Qt::MenuBarFocusReason) {
            QFocusEvent plain(event->type(), Qt::OtherFocusReason);
            QLineEdit::focusInEvent(&plain);
            return;
        }
        QLineEdit::focusInEvent(event);
        if (event->reason() == Qt::MenuBarFocusReason && kept_.first >= 0) setSelection(kept_.first, kept_.second);
        kept_ = {-1, 0};
    }

private:
    std::u16string text_utf16() const {
        const QString value = text();
        return {reinterpret_cast<const char16_t*>(value.utf16()), static_cast<std::size_t>(value.size())};
    }

    const Behaviour& behaviour_;
    std::span<const MenuItem> commands_;
    View& view_;
    std::pair<int, int> kept_{-1, 0};  // the selection left for the menus: start, length
};

// The menu title the keyboard has reached is drawn highlighted, as on
// Windows: some styles (Fusion among them) highlight a title only while its
// menu is open, so F10 or Alt would move into the bar with nothing to see.
class MenuBarStyle : public QProxyStyle {
public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        if (element == CE_MenuBarItem && (option->state & State_Selected)) {
            if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
                QStyleOptionMenuItem highlighted(*item);
                highlighted.state |= State_Sunken;
                return QProxyStyle::drawControl(element, &highlighted, painter, widget);
            }
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

}  // namespace

QtMainWindow::QtMainWindow(const WindowDescription& description) : description_(description) {
    install_accessibility();
    setObjectName(to_qstring(description.name));
    setWindowTitle(to_qstring(description.title));
    // The controls without a font of their own take the window's.
    setFont(to_qfont(description.font, *this));
    // May be minimised, but the layout is made for one size only.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    auto* client = new QWidget(this);
    client->setFixedSize(twips_to_pixels(description.client_width_twips),
                         twips_to_pixels(description.client_height_twips));
    setCentralWidget(client);
    build_controls(client);
    announcer_ = new Announcer(client);
    build_menus();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // Fixed now, not when first laid out after showing: a Wayland compositor
    // decides from the sizes the first frame carries whether to offer
    // maximize.
    layout()->activate();
    new OneSizeWindow(this);
}

QWidget* QtMainWindow::create_control(const Control& control, QWidget* client) {
    switch (control.kind) {
        case ControlKind::label:
            return create_label(control, client);
        case ControlKind::line:
            return create_line(client);
        case ControlKind::text_box: {
            auto* box = new TextBox(to_qstring(control.text), description_.behaviour, control.commands, *this, client);
            box->setAccessibleName(QString::fromStdString(accessible_name(description_, control)));
            box->setAccessibleDescription(to_qstring(control.hint));
            // Enter and keypad Enter alike.
            connect(box, &QLineEdit::returnPressed, this, [this] {
                const QString name = to_qstring(description_.behaviour.enter_clicks);
                if (auto* button = findChild<QPushButton*>(name)) button->click();
            });
            return box;
        }
        case ControlKind::push_button: {
            auto* button = new QPushButton(to_qstring(control.text), client);
            // Outside a dialog only an auto-default button answers Enter.
            button->setAutoDefault(true);
            if (control.clicked) {
                const Handler handler = control.clicked;
                connect(button, &QPushButton::clicked, this, [this, handler] { handler(*this); });
            }
            return button;
        }
    }
    return nullptr;
}

void QtMainWindow::build_controls(QWidget* client) {
    // Qt stacks later siblings in front, so create the back layer first.
    std::vector<const Control*> by_layer;
    for (const Control& control : description_.controls) by_layer.push_back(&control);
    std::stable_sort(by_layer.begin(), by_layer.end(),
                     [](const Control* a, const Control* b) { return a->layer < b->layer; });

    for (const Control* control : by_layer) {
        QWidget* widget = create_control(*control, client);
        widget->setObjectName(to_qstring(control->name));
        widget->setGeometry(twips_to_pixels(drawn_rect(*control)));
        if (!control->tooltip.empty()) widget->setToolTip(to_qstring(control->tooltip));
        if (control->font) widget->setFont(to_qfont(*control->font, *this));
        widget->setFocusPolicy(takes_focus(*control) ? Qt::StrongFocus : Qt::NoFocus);
    }

    QWidget* previous = nullptr;
    for (const Control* control : focus_order(description_)) {
        auto* widget = client->findChild<QWidget*>(to_qstring(control->name));
        if (previous) {
            setTabOrder(previous, widget);
        } else {
            // The first holds the focus at start, its text selected as if
            // reached by Tab (which selects of its own accord).
            widget->setFocus();
            auto* box = qobject_cast<QLineEdit*>(widget);
            if (box && description_.behaviour.select_all_on_keyboard_focus) box->selectAll();
        }
        previous = widget;
    }
}

void QtMainWindow::build_menus() {
    auto* style = new MenuBarStyle;
    style->setParent(menuBar());
    menuBar()->setStyle(style);
    for (const Menu& menu : description_.menus) {
        QMenu* qmenu = menuBar()->addMenu(to_qstring(menu.caption));
        qmenu->setObjectName(to_qstring(menu.name));
        for (const MenuItem& item : menu.items) {
            QAction* action = qmenu->addAction(to_qstring(item.caption));
            action->setObjectName(to_qstring(item.name));
            const Handler handler = item.chosen;
            connect(action, &QAction::triggered, this, [this, handler] { handler(*this); });
        }
    }
    // The menu key does what Alt pressed and released alone does: the menu
    // bar takes the keyboard, its first title highlighted, and gives it back
    // at the second press. Qt's menu bar watches for Alt, so it is told Alt.
    auto* menu_key = new QShortcut(QKeySequence(to_qstring(description_.behaviour.menu_key)), this);
    connect(menu_key, &QShortcut::activated, this, [this] {
        QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_Alt, Qt::AltModifier);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
        for (QKeyEvent* alt : {&override, &press, &release}) QApplication::sendEvent(this, alt);
    });
}

std::string QtMainWindow::text(std::string_view control) const {
    const auto* box = findChild<QLineEdit*>(to_qstring(control));
    return box ? box->text().toStdString() : std::string();
}

void QtMainWindow::set_text(std::string_view control, std::string_view text) {
    auto* box = findChild<QLineEdit*>(to_qstring(control));
    if (!box) return;
    box->setText(to_qstring(text));
    box->setCursorPosition(0);  // shown from its start, as a number is read
    if (const Control* set = find_control(description_, control))
        announcer_->announce(QString::fromStdString(said_when_set(description_, *set, text)));
}

void QtMainWindow::show_message(std::string_view text) {
    // Given back by hand: where the platform does not activate the window
    // again (Wayland may refuse), it would be left without a focus.
    QPointer<QWidget> focused = QApplication::focusWidget();
    QMessageBox box(QMessageBox::NoIcon, to_qstring(description_.title), to_qstring(text), QMessageBox::Ok, this);
    // A dialog does not take its parent's font: in the system's face the
    // "I" and "l" that end the messages' symbols look alike.
    box.setFont(font());
    // Each message is one line of text, and Qt would wrap the longer ones
    // at half the screen's width ("QQ：" apart from its number): the text
    // is given the room of its one line.
    for (QLabel* label : box.findChildren<QLabel*>())
        if (label->text() == box.text())
            label->setMinimumWidth(label->fontMetrics().horizontalAdvance(box.text()) + 2 * label->margin() + 1);
    QAbstractButton* ok = box.button(QMessageBox::Ok);
    ok->setText(to_qstring(description_.texts.message_ok));
    ok->setIcon(QIcon());  // some styles put a tick on it
    box.setDefaultButton(QMessageBox::Ok);
    new OneSizeWindow(&box);
    box.exec();
    if (focused) {
        activateWindow();
        focused->setFocus(Qt::ActiveWindowFocusReason);
    }
}

void QtMainWindow::focus_selected(std::string_view control) {
    auto* box = findChild<QLineEdit*>(to_qstring(control));
    if (!box) return;
    activateWindow();
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
}

void QtMainWindow::copy_to_clipboard(std::string_view plain, std::string_view html) {
    auto* data = new QMimeData;
    data->setText(to_qstring(plain));
    data->setHtml(to_qstring(html));
    QGuiApplication::clipboard()->setMimeData(data);  // which takes it
}

void QtMainWindow::end_program() {
    close();
    QApplication::quit();
}

}  // namespace ui::qt
