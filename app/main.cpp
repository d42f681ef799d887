// SPDX-License-Identifier: MIT
// Purpose: program start of the window enlazio: the application object, the main window and the message loop.
#include "app/main_form.h"
#include "app/qt_desktop.h"

#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // The launch mode depends on the arguments as typed; QApplication removes the ones it
    // knows (-platform, -style ...), so they are copied first.
    std::vector<std::string> arguments(argv + 1, argv + argc);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("enlazio"));
    QApplication::setApplicationVersion(QStringLiteral(ENLAZIO_VERSION));
    // The program ends when the main window closes and nowhere else: an embedded window
    // is not top-level, and a message box shown before the window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    if (!enlazio::installSpanishTranslations(app))
        std::fputs("enlazio: no se encuentran las traducciones de Qt al español (qt6-translations-l10n)\n", stderr);

    enlazio::QtDesktop desktop;
    enlazio::TMForm form(desktop, std::move(arguments));
    desktop.setMainWindow(&form);
    // exit(), not quit(): Qt 6's quit() first asks every window to close and can be refused.
    // It also ends a modal dialog that is open when the host's window goes away.
    QObject::connect(&form, &enlazio::TMForm::programEnded, &app, [] { QCoreApplication::exit(0); });
    form.show();
    // The verb's run may have ended the program before the message loop starts.
    if (form.isClosed())
        return 0;
    return QApplication::exec();
}
