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

#include <functional>
#include <memory>
#include <tuple>

#include "tests/common/glyph_ink.h"
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

    // The window's own font, which the labels and boxes take: a Song face.
    void window_font() {
        for (const char* name : {"Label1", "Label3", "Text1", "Text5"}) {
            const QFont font = find<QWidget>(name)->font();
            QCOMPARE(font.family(), QStringLiteral("宋体"));
            QCOMPARE(font.pointSizeF(), 9.0);
            QCOMPARE(QFontInfo(font).family(), QStringLiteral("AR PL UMing CN"));
        }
    }

    // From the pixels: the "m" under each raised digit is drawn as whole as
    // the plain "m" of the rows below, and "I" and "l" differ in shape.
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
    }

    void tab_order_starts_in_text1_and_cycles() {
        QCOMPARE(QApplication::focusWidget(), find<QWidget>("Text1"));
        QStringList visited;
        for (int i = 0; i < 6; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, QStringList({"Text2", "Text3", "Text4", "Command1", "Text5", "Text1"}));
    }

    void text_boxes_have_accessible_names() {
        QCOMPARE(find<QLineEdit>("Text1")->accessibleName(), QStringLiteral("I: 梁或板的抗弯惯性矩"));
        QCOMPARE(find<QLineEdit>("Text5")->accessibleName(), QStringLiteral("r: 荷载分布系数计算中的弯矩参数"));
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
