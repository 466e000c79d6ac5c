// Form1 as Qt builds it, on the offscreen platform: what the user sees and
// does, checked on the real widgets.
#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <QAccessible>

#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <tuple>

#include "tests/common/glyph_ink.h"
#include "tests/common/scenarios.h"
#include "ui/qt/qt_application.h"
#include "ui/qt/qt_main_window.h"
#include "ui/qt/twips.h"

namespace {

// What a message box showed before the test dismissed it.
struct SeenMessage {
    bool seen = false;
    QString title, text, button;
    bool has_icon = true;
    int buttons = 0;
};

// Runs `act`, which opens a modal box, then reads and closes that box.
SeenMessage answer_message_box(const std::function<void()>& act) {
    SeenMessage seen;
    QTimer::singleShot(0, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        seen.seen = true;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.has_icon = box->icon() != QMessageBox::NoIcon;
        seen.buttons = static_cast<int>(box->buttons().size());
        if (!box->buttons().isEmpty()) {
            seen.button = box->buttons().first()->text();
            box->buttons().first()->click();
        }
    });
    act();
    return seen;
}

const std::vector<scenarios::Scenario>& behaviour() {
    static const std::vector<scenarios::Scenario> all = scenarios::read(BEMVARA_TABLES_DIR "/behaviour.txt");
    return all;
}

// The scenarios' keys and clicks as Qt's test functions send them, and
// what the window shows read off its widgets.
class QtDriver : public scenarios::Driver {
public:
    explicit QtDriver(ui::qt::QtMainWindow& window) : window_(window) {}

    void key(const std::string& key) override {
        static const std::map<std::string, std::pair<Qt::Key, Qt::KeyboardModifiers>> keys{
            {"Tab", {Qt::Key_Tab, Qt::NoModifier}},       {"Shift+Tab", {Qt::Key_Tab, Qt::ShiftModifier}},
            {"Enter", {Qt::Key_Return, Qt::NoModifier}},  {"KeypadEnter", {Qt::Key_Enter, Qt::KeypadModifier}},
            {"F10", {Qt::Key_F10, Qt::NoModifier}},       {"Right", {Qt::Key_Right, Qt::NoModifier}},
            {"Down", {Qt::Key_Down, Qt::NoModifier}},
        };
        const auto& [code, modifiers] = keys.at(key);
        QTest::keyClick(receiver(), code, modifiers);
    }
    void type(const std::string& text) override { QTest::keyClicks(receiver(), QString::fromStdString(text)); }
    void set_text(const std::string& box, const std::string& text) override {
        line_edit(box)->setText(QString::fromStdString(text));
    }
    void click(const std::string& name) override { QTest::mouseClick(widget(name), Qt::LeftButton); }
    void double_click(const std::string& box, int index) override {
        QLineEdit* edit = line_edit(box);
        // Halfway between the caret places either side of the character.
        edit->setCursorPosition(index);
        const int before = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
        edit->setCursorPosition(index + 1);
        const int after = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
        QTest::mouseDClick(edit, Qt::LeftButton, {}, QPoint((before + after) / 2, edit->height() / 2));
    }

    std::string focus() override {
        QWidget* focused = QApplication::focusWidget();
        if (auto* box = message_box(); box && focused == box->button(QMessageBox::Ok)) return "OK";
        return focused ? focused->objectName().toStdString() : "(none)";
    }
    std::string text(const std::string& box) override { return line_edit(box)->text().toStdString(); }
    std::string selected(const std::string& box) override { return line_edit(box)->selectedText().toStdString(); }
    std::optional<std::string> message() override {
        if (auto* box = message_box()) return box->text().toStdString();
        return std::nullopt;
    }
    // As a screen reader gets it, through the accessibility interface.
    std::string name(const std::string& box) override {
        return QAccessible::queryAccessibleInterface(widget(box))->text(QAccessible::Name).toStdString();
    }
    void pause() override { QTest::qWait(20); }

private:
    QWidget* widget(const std::string& name) const { return window_.findChild<QWidget*>(QString::fromStdString(name)); }
    QLineEdit* line_edit(const std::string& name) const { return qobject_cast<QLineEdit*>(widget(name)); }
    static QMessageBox* message_box() { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); }
    // Where a key goes: an open menu, else the widget with the focus.
    static QWidget* receiver() {
        if (QWidget* popup = QApplication::activePopupWidget()) return popup;
        return QApplication::focusWidget();
    }

    ui::qt::QtMainWindow& window_;
};

}  // namespace

class QtWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ui::qt::QtMainWindow> window_;

    template <typename T>
    T* find(const char* name) const {
        return window_->findChild<T*>(QString::fromLatin1(name));
    }

private slots:
    void init() {
        window_ = std::make_unique<ui::qt::QtMainWindow>();
        window_->show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }
    void cleanup() { window_.reset(); }

    void twips_become_logical_pixels() {
        QCOMPARE(ui::qt::twips_to_pixels(4185), 279);
        QCOMPARE(ui::qt::twips_to_pixels(2040), 136);
        QCOMPARE(ui::qt::twips_to_pixels(0), 0);
        QCOMPARE(ui::qt::twips_to_pixels(ui::TwipsRect{480, 120, 975, 270}), QRect(32, 8, 65, 18));
    }

    // Every control where the description puts it, converted by the one
    // function above, with its text and tooltip.
    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("pixels");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tooltip");
        for (const ui::Control& control : ui::main_window().controls) {
            QRect pixels = ui::qt::twips_to_pixels(control.rect);
            if (control.kind == ui::ControlKind::line) pixels.setHeight(1);  // one pixel thick
            const QString name = QString::fromUtf8(control.name.data(), static_cast<qsizetype>(control.name.size()));
            QTest::newRow(qPrintable(name))
                << name << pixels << QString::fromUtf8(control.text.data(), static_cast<qsizetype>(control.text.size()))
                << QString::fromUtf8(control.tooltip.data(), static_cast<qsizetype>(control.tooltip.size()));
        }
    }
    void controls() {
        QFETCH(QString, name);
        QFETCH(QRect, pixels);
        QFETCH(QString, text);
        QFETCH(QString, tooltip);
        auto* widget = window_->findChild<QWidget*>(name);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), pixels);
        QCOMPARE(widget->parentWidget(), window_->centralWidget());
        QCOMPARE(widget->toolTip(), tooltip);
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            QCOMPARE(label->text(), text);
            // Said in a box's name already, so a screen reader skips it.
            const bool folded = ui::folded_into_name(*ui::find_control(ui::main_window(), name.toStdString()));
            QCOMPARE(QAccessible::queryAccessibleInterface(label)->state().invisible, folded);
            QVERIFY(label->autoFillBackground());
            QVERIFY(label->alignment() & Qt::AlignLeft);
        } else if (auto* box = qobject_cast<QLineEdit*>(widget)) {
            QCOMPARE(box->text(), text);
            QVERIFY(!box->isReadOnly());
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            QCOMPARE(button->text(), text);
        }
    }

    void client_area_is_fixed() {
        QCOMPARE(window_->centralWidget()->size(), QSize(279, 136));
        QCOMPARE(window_->centralWidget()->y(), window_->menuBar()->height());
        QCOMPARE(window_->minimumSize(), window_->maximumSize());
        const ui::qt::QtMainWindow unshown;  // fixed before it is first shown
        QVERIFY(!unshown.minimumSize().isEmpty() && unshown.minimumSize() == unshown.maximumSize());
        QVERIFY(!(window_->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(window_->windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(window_->windowTitle(), QStringLiteral("Bemvara"));
        QCOMPARE(window_->objectName(), QStringLiteral("Form1"));
        const QList<QSize> icon_sizes = window_->windowIcon().availableSizes();
        QVERIFY(icon_sizes.contains(QSize(16, 16)) && icon_sizes.contains(QSize(64, 64)));
    }

    // Where controls overlap, the one the user must see is on top.
    void overlaps_data() {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<QString>("on_top");
        QTest::newRow("Text1 over Label1") << QPoint(35, 12) << "Text1";
        QTest::newRow("Text2 over Label4") << QPoint(35, 36) << "Text2";
        QTest::newRow("Text3 over Label7") << QPoint(35, 60) << "Text3";
        QTest::newRow("Text4 over Label9") << QPoint(35, 84) << "Text4";
        QTest::newRow("Text5 over Label11") << QPoint(35, 116) << "Text5";
        QTest::newRow("3 over its m") << QPoint(115, 12) << "Label3";
        QTest::newRow("4 over its m") << QPoint(115, 36) << "Label6";
        QTest::newRow("m left of its 3") << QPoint(106, 20) << "Label2";
    }
    void overlaps() {
        QFETCH(QPoint, point);
        QFETCH(QString, on_top);
        QWidget* hit = window_->centralWidget()->childAt(point);
        QVERIFY(hit);
        QCOMPARE(hit->objectName(), on_top);
    }

    void command1_caption_font() {
        const QFont font = find<QPushButton>("Command1")->font();
        QCOMPARE(font.family(), QStringLiteral("楷体_GB2312"));
        QCOMPARE(font.pointSizeF(), 21.75);
        QCOMPARE(font.weight(), QFont::Bold);
        QVERIFY(!font.italic() && !font.underline() && !font.strikeOut());
        // The Windows family is missing here; a Kai face stands in for it.
        QCOMPARE(QFontInfo(font).family(), QStringLiteral("AR PL UKai CN"));
    }

    // The window's own font, which the labels and boxes take: the Latin
    // face the program carries, and a Song face for the rest.
    void window_font() {
        for (const char* name : {"Label1", "Label3", "Text1", "Text5"}) {
            const QFont font = find<QWidget>(name)->font();
            QCOMPARE(font.families().mid(0, 2), QStringList({"Bemvara Latin", "宋体"}));
            QCOMPARE(font.pointSizeF(), 9.0);
            QCOMPARE(QFontInfo(font).family(), QStringLiteral("Bemvara Latin"));
        }
    }

    // From the pixels: the "m" under each raised digit is drawn as whole as
    // the plain "m" of the rows below, and "I", "l" and "1" differ in shape.
    void units_and_letters_read_right_in_the_pixels() {
        const QImage shot =
            window_->centralWidget()->grab().toImage().convertToFormat(QImage::Format_Grayscale8);
        glyph_ink::GrayImage gray{shot.width(), shot.height(), {}};
        for (int y = 0; y < shot.height(); ++y)
            gray.luma.insert(gray.luma.end(), shot.constScanLine(y), shot.constScanLine(y) + shot.width());
        const auto ink = [&](const char* name) {
            const QRect rect = find<QWidget>(name)->geometry();
            return glyph_ink::ink_in(gray, {rect.x(), rect.y(), rect.width(), rect.height()});
        };
        using glyph_ink::first_glyph;
        for (const auto& [raised, digit, plain] : {std::tuple{"Label2", "Label3", "Label8"},
                                                   std::tuple{"Label5", "Label6", "Label10"}}) {
            QVERIFY2(ink(digit).count() > 0, digit);
            QVERIFY(first_glyph(ink(plain)).count() > 0);
            QVERIFY2(glyph_ink::same_ink(first_glyph(ink(raised)), first_glyph(ink(plain))), raised);
        }
        QVERIFY(glyph_ink::differ_in_shape(first_glyph(ink("Label1")), first_glyph(ink("Label9"))));
        // "l:" must not read as "1:": the l of its label against the 1 in Text3.
        const QRect three = find<QWidget>("Text3")->geometry();
        const glyph_ink::InkMap one =
            glyph_ink::ink_in(gray, glyph_ink::inside_frame({three.x(), three.y(), three.width(), three.height()}));
        QVERIFY(first_glyph(one).count() > 0);
        const glyph_ink::InkMap l = first_glyph(ink("Label9")), digit = first_glyph(one);
        QVERIFY2(glyph_ink::read_apart(l, digit),
                 qPrintable(QString::fromStdString("l " + glyph_ink::picture(l) + " 1 " + glyph_ink::picture(digit))));
    }

    // The line is drawn across the window at any scale; CTest runs this
    // again at 1.5, where a line through the middle of a pixel row vanished.
    void line_is_drawn() {
        // The whole window: the menu bar above decides on which fraction of
        // a device pixel the client area starts.
        const QImage shot = window_->grab().toImage().convertToFormat(QImage::Format_Grayscale8);
        const double scale = shot.devicePixelRatio();
        auto* line = find<QWidget>("Line1");
        const QRect band(line->mapTo(window_.get(), QPoint(0, 0)), line->size());
        const int left = qRound(band.left() * scale), right = qRound((band.right() + 1) * scale);
        int longest = 0;
        for (int y = qFloor((band.top() - 1) * scale); y <= qCeil((band.bottom() + 2) * scale); ++y) {
            int dark = 0;
            for (int x = left; x < right; ++x) dark += shot.constScanLine(y)[x] < 128;
            longest = std::max(longest, dark);
        }
        QVERIFY2(longest >= (right - left) * 9 / 10, qPrintable(QString("%1 of %2").arg(longest).arg(right - left)));
    }

    // The shared behaviour scenarios, each on a fresh window.
    void behaviour_scenarios_data() {
        QTest::addColumn<int>("index");
        const std::vector<scenarios::Scenario>& all = behaviour();
        for (std::size_t i = 0; i < all.size(); ++i) QTest::newRow(all[i].name.c_str()) << static_cast<int>(i);
    }
    void behaviour_scenarios() {
        QFETCH(int, index);
        const scenarios::Scenario& scenario = behaviour()[static_cast<std::size_t>(index)];
        QtDriver driver(*window_);
        QStringList failures;
        std::size_t next = 0;
        bool done = false;
        // A step that opens a message box returns only once the box is
        // dismissed, so the step after an action is set going first and
        // runs inside the box's own event loop.
        std::function<void()> advance = [&] {
            if (next == scenario.steps.size()) {
                done = true;
                return;
            }
            const scenarios::Step& step = scenario.steps[next++];
            const bool action = step.op != "expect";
            if (action) QTimer::singleShot(0, advance);
            const std::string failure = scenarios::run_step(driver, step, 50);
            if (!failure.empty()) failures << QString("step %1: %2").arg(next).arg(QString::fromStdString(failure));
            if (!action) QTimer::singleShot(0, advance);
        };
        QTimer::singleShot(0, advance);
        QTRY_VERIFY_WITH_TIMEOUT(done, 20000);
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join("; ")));
    }

    void command1_calculates_on_click_space_and_enter_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("click") << 0;
        QTest::newRow("space") << int(Qt::Key_Space);
        QTest::newRow("enter") << int(Qt::Key_Return);
    }
    void command1_calculates_on_click_space_and_enter() {
        QFETCH(int, how);
        auto* button = find<QPushButton>("Command1");
        if (how == 0) {
            QTest::mouseClick(button, Qt::LeftButton);
        } else {
            button->setFocus();
            QTest::keyClick(button, Qt::Key(how));
        }
        QCOMPARE(find<QLineEdit>("Text5")->text(), QStringLiteral(" .453125"));
        QCOMPARE(find<QLineEdit>("Text1")->text(), QStringLiteral("0.025"));
    }

    void a_failing_input_shows_its_message() {
        find<QLineEdit>("Text1")->clear();
        find<QLineEdit>("Text5")->setText(QStringLiteral("kept"));
        const SeenMessage seen =
            answer_message_box([this] { QTest::mouseClick(find<QPushButton>("Command1"), Qt::LeftButton); });
        QVERIFY(seen.seen);
        QCOMPARE(seen.text, QStringLiteral("抗弯惯性矩I不可能小于等于0"));
        QCOMPARE(seen.title, QStringLiteral("Bemvara"));
        QCOMPARE(seen.buttons, 1);
        QCOMPARE(seen.button, QStringLiteral("确定"));
        QVERIFY(!seen.has_icon);
        QCOMPARE(find<QLineEdit>("Text5")->text(), QStringLiteral("kept"));
        QCOMPARE(find<QLineEdit>("Text1")->text(), QString());
    }

    void menus() {
        const QList<QAction*> top = window_->menuBar()->actions();
        QCOMPARE(top.size(), 2);
        QStringList tree;
        for (QAction* action : top) {
            tree << action->menu()->objectName() + "=" + action->text();
            for (QAction* item : action->menu()->actions()) {
                tree << "  " + item->objectName() + "=" + item->text();
                QVERIFY(item->isEnabled() && item->isVisible() && !item->isCheckable());
                QVERIFY(item->shortcut().isEmpty());
            }
        }
        QCOMPARE(tree, QStringList({"FILE=文件", "  EXIT=退出", "ABOUT=关于", "  HELP=帮助", "  WRITER=作者"}));
    }

    void help_and_writer_show_notes_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("note");
        const auto text = [](std::string_view note) {
            return QString::fromUtf8(note.data(), static_cast<qsizetype>(note.size()));
        };
        QTest::newRow("HELP") << "HELP" << text(ui::kHelpNote);
        QTest::newRow("WRITER") << "WRITER" << text(ui::kAuthorNote);
    }
    void help_and_writer_show_notes() {
        QFETCH(QString, item);
        QFETCH(QString, note);
        auto* action = window_->findChild<QAction*>(item);
        QVERIFY(action);
        const SeenMessage seen = answer_message_box([action] { action->trigger(); });
        QVERIFY(seen.seen);
        QCOMPARE(seen.text, note);
        QCOMPARE(seen.title, QStringLiteral("Bemvara"));
        QCOMPARE(find<QLineEdit>("Text1")->text(), QStringLiteral("0.025"));
    }

    void context_menu_is_chinese() {
        std::unique_ptr<QMenu> menu(find<QLineEdit>("Text1")->createStandardContextMenu());
        QStringList texts;
        for (QAction* action : menu->actions())
            if (!action->isSeparator()) texts << action->text();
        QVERIFY2(texts.join(' ').contains(QStringLiteral("全选")), qPrintable(texts.join(' ')));
    }

    void exit_ends_the_event_loop() {
        auto* exit_action = window_->findChild<QAction*>(QStringLiteral("EXIT"));
        QVERIFY(exit_action);
        find<QLineEdit>("Text1")->setText(QStringLiteral("edited"));
        QTimer::singleShot(0, exit_action, &QAction::trigger);
        QTimer::singleShot(5000, [] { QApplication::exit(99); });  // a stuck exit fails, not hangs
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!window_->isVisible());
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ui::qt::prepare_application(app);
    QtWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "qt_window_test.moc"
