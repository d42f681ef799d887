// SPDX-License-Identifier: MIT
// Purpose: program start of the window enlazio: the application object, the main window and the message loop.
#include "app/main_form.h"
#include "app/qt_desktop.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// For the benchmarks (ENLAZIO_BENCH_QUIT_AT_SHOW set): prints the monotonic clock, in
// nanoseconds, once the main window has been painted for the first time, and ends.
class QuitAtFirstPaint : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_painted) {
            m_painted = true;
            QTimer::singleShot(0, this, [] {
                const auto now = std::chrono::steady_clock::now().time_since_epoch();
                std::printf("enlazio: ventana mostrada %lld\n",
                            static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_painted = false;
};

} // namespace

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
    QuitAtFirstPaint quitAtFirstPaint;
    if (qEnvironmentVariableIsSet("ENLAZIO_BENCH_QUIT_AT_SHOW"))
        form.installEventFilter(&quitAtFirstPaint);
    form.show();
    // The verb's run may have ended the program before the message loop starts.
    if (form.isClosed())
        return 0;
    return QApplication::exec();
}
