#include "ui/qt/qt_application.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "ui/main_window.h"

namespace ui::qt {

void prepare_application(QApplication& app) {
    const WindowDescription& window = main_window();
    QApplication::setApplicationName(QString::fromUtf8(window.title.data(), static_cast<qsizetype>(window.title.size())));
    // Lets the desktop match the window to the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.bemvara.Bemvara"));

    // The interface is Chinese whatever the user's locale, so Qt's own words
    // (the OK button, the text boxes' context menu) must be too.
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);

    // The button's Kai face is named as Windows names it; on Linux the same
    // style of face comes from AR PL UKai, and failing that any CJK face.
    QFont::insertSubstitutions(QStringLiteral("楷体_GB2312"),
                               {QStringLiteral("AR PL UKai CN"), QStringLiteral("WenQuanYi Micro Hei")});
    // Likewise the window's Song face, SimSun on Windows: AR PL UMing has
    // the same narrow half-width serif Latin letters.
    for (const QString& song : {QStringLiteral("宋体"), QStringLiteral("SimSun")})
        QFont::insertSubstitutions(song, {QStringLiteral("AR PL UMing CN"), QStringLiteral("WenQuanYi Micro Hei")});

    QIcon icon;
    const QDir icons(QStringLiteral(":/icons"));
    for (const QString& file : icons.entryList({QStringLiteral("bemvara-*.png")})) icon.addFile(icons.filePath(file));
    QApplication::setWindowIcon(icon);
}

}  // namespace ui::qt
