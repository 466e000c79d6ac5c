#include "ui/qt/qt_main_window.h"

#include <QApplication>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <vector>

#include "ui/qt/twips.h"

namespace ui::qt {

namespace {

QString to_qstring(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QFont to_qfont(const FontSpec& spec) {
    QFont font(to_qstring(spec.family));
    font.setPointSizeF(spec.points);
    font.setWeight(QFont::Weight(spec.weight));
    // Set, not inherited: the window's font may ask for no smoothing.
    font.setStyleStrategy(QFont::PreferDefault);
    return font;
}

QLabel* create_label(const Control& control, QWidget* client) {
    auto* label = new QLabel(to_qstring(control.text), client);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Opaque, so a label hides whatever lies behind it.
    label->setAutoFillBackground(true);
    return label;
}

QFrame* create_line(QWidget* client) {
    auto* line = new QFrame(client);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(1);
    line->setForegroundRole(QPalette::WindowText);
    return line;
}

}  // namespace

QtMainWindow::QtMainWindow(const WindowDescription& description) : description_(description) {
    setObjectName(to_qstring(description.name));
    setWindowTitle(to_qstring(description.title));
    // The controls without a font of their own take the window's. Song
    // faces are made to be drawn crisp at dialog sizes, and smoothed their
    // one-pixel strokes turn pale grey; on a high-DPI screen there is
    // enough resolution for smoothing to help.
    QFont window_font = to_qfont(description.font);
    if (devicePixelRatioF() < 1.5) window_font.setStyleStrategy(QFont::NoAntialias);
    setFont(window_font);
    // May be minimised, but the layout is made for one size only.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    auto* client = new QWidget(this);
    client->setFixedSize(twips_to_pixels(description.client_width_twips),
                         twips_to_pixels(description.client_height_twips));
    setCentralWidget(client);
    build_controls(client);
    build_menus();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

QWidget* QtMainWindow::create_control(const Control& control, QWidget* client) {
    switch (control.kind) {
        case ControlKind::label:
            return create_label(control, client);
        case ControlKind::line:
            return create_line(client);
        case ControlKind::text_box: {
            auto* box = new QLineEdit(to_qstring(control.text), client);
            box->setAccessibleName(QString::fromStdString(accessible_name(description_, control)));
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
        if (control->kind == ControlKind::line) {
            // The frame draws its line through the middle of a rectangle one
            // pixel high, so the rectangle starts on the line's own row.
            const QRect ends = twips_to_pixels(control->rect);
            widget->setGeometry(ends.left(), ends.top(), ends.width(), 1);
        } else {
            widget->setGeometry(twips_to_pixels(control->rect));
        }
        if (!control->tooltip.empty()) widget->setToolTip(to_qstring(control->tooltip));
        if (control->font) widget->setFont(to_qfont(*control->font));
        widget->setFocusPolicy(takes_focus(*control) ? Qt::StrongFocus : Qt::NoFocus);
    }

    // The description lists the controls in tab order.
    QWidget* previous = nullptr;
    for (const Control& control : description_.controls) {
        if (!takes_focus(control)) continue;
        auto* widget = client->findChild<QWidget*>(to_qstring(control.name));
        if (previous)
            setTabOrder(previous, widget);
        else
            widget->setFocus();
        previous = widget;
    }
}

void QtMainWindow::build_menus() {
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
}

std::string QtMainWindow::text(std::string_view control) const {
    const auto* box = findChild<QLineEdit*>(to_qstring(control));
    return box ? box->text().toStdString() : std::string();
}

void QtMainWindow::set_text(std::string_view control, std::string_view text) {
    if (auto* box = findChild<QLineEdit*>(to_qstring(control))) box->setText(to_qstring(text));
}

void QtMainWindow::show_message(std::string_view text) {
    QMessageBox box(QMessageBox::NoIcon, to_qstring(description_.title), to_qstring(text), QMessageBox::Ok, this);
    box.button(QMessageBox::Ok)->setIcon(QIcon());  // some styles put a tick on it
    box.exec();
}

void QtMainWindow::end_program() {
    close();
    QApplication::quit();
}

}  // namespace ui::qt
