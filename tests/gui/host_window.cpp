// SPDX-License-Identifier: MIT
// Purpose: stands in for the host program's window in the Xvfb runs: opens a window and prints its id in hex.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget host;
    host.setWindowTitle(QStringLiteral("Aularis (prueba)"));
    host.resize(1000, 700);
    host.move(0, 0);
    host.show();
    // Hexadecimal digits without a prefix, as the host program passes its handle.
    std::printf("%llx\n", static_cast<unsigned long long>(host.winId()));
    std::fflush(stdout);
    // A forgotten host must not outlive the test run.
    QTimer::singleShot(120000, &app, [] { QCoreApplication::exit(1); });
    return QApplication::exec();
}
