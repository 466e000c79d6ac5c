#include "ui/qt/qt_application.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
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

    // The faces the program carries; the others are the system's.
    for (const CarriedFace& face : window.carried_faces)
        QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/") +
                                          QString::fromUtf8(face.file.data(), static_cast<qsizetype>(face.file.size())));

    QIcon icon;
    const QDir icons(QStringLiteral(":/icons"));
    for (const QString& file : icons.entryList({QStringLiteral("bemvara-*.png")})) icon.addFile(icons.filePath(file));
    QApplication::setWindowIcon(icon);
}

}  // namespace ui::qt
