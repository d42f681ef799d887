// SPDX-License-Identifier: MIT
// Purpose: the real desktop layer: the open dialog's settings, message boxes, cursor, Spanish texts, help viewer.
#include "app/help_viewer.h"
#include "app/qt_desktop.h"
#include "formats/error.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

namespace fs = std::filesystem;
using namespace enlazio;

namespace {

// Runs check on the modal dialog that the next call brings up, then closes it if the
// check left it open, so that a failed check cannot hang the test.
void whenModal(std::function<void(QWidget*)> check)
{
    auto run = [check] {
        QWidget* modal = QApplication::activeModalWidget();
        check(modal);
        if (modal != nullptr && modal->isVisible())
            modal->close();
    };
    QTimer::singleShot(0, qApp, [run] {
        if (QApplication::activeModalWidget() == nullptr)
            QTimer::singleShot(50, qApp, run);
        else
            run();
    });
}

} // namespace

class QtDesktopTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void spanishTexts();
    void openDialog();
    void openDialogCancelled();
    void messageBoxes_data();
    void messageBoxes();
    void oneHourglass();
    void helpViewer_data();
    void helpViewer();
    void missingHelpFile();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    fs::path m_drive;
};

void QtDesktopTest::initTestCase()
{
    QVERIFY2(installSpanishTranslations(*qApp), "qtbase_es.qm not found (package qt6-translations-l10n)");
}

void QtDesktopTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_drive = fs::path(m_dir->path().toStdString()) / "drive_c";
    fs::create_directories(m_drive / "ATEMP" / "Delphos");
    qputenv("ENLAZIO_DRIVE_C", QByteArray::fromStdString(m_drive.string()));
}

void QtDesktopTest::cleanup()
{
    qunsetenv("ENLAZIO_DRIVE_C");
    qunsetenv(kHelpViewerVariable);
    m_dir.reset();
}

void QtDesktopTest::spanishTexts()
{
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QString("Ver en:"));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Cancelar"));
}

void QtDesktopTest::openDialog()
{
    QtDesktop desktop;
    OpenDialogSettings settings { "Archivo XML", "*.xml", "xml", "c:\\atemp\\delphos", QString() };
    const QString folder = QString::fromStdString((m_drive / "ATEMP" / "Delphos").string());
    bool checked = false;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->windowTitle(), QString("Archivo XML"));
        QCOMPARE(dialog->nameFilters(), QStringList { "*.xml (*.xml)" });
        QCOMPARE(dialog->defaultSuffix(), QString("xml"));
        QCOMPARE(dialog->fileMode(), QFileDialog::AnyFile);
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
        QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
        QVERIFY(dialog->isSizeGripEnabled());
        // "c:\atemp\delphos" reaches the folder whatever its letter case.
        QCOMPARE(dialog->directory().absolutePath(), folder);
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        QVERIFY(name != nullptr);
        name->setText("nuevo"); // a file that does not exist, typed without extension
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog::accept, as the Open button does
        checked = true;
    });
    QVERIFY(desktop.executeOpenDialog(settings));
    QVERIFY(checked);
    QCOMPARE(settings.fileName, folder + "/nuevo.xml");

    // The next time it proposes the file chosen last.
    checked = false;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->directory().absolutePath(), folder);
        QCOMPARE(dialog->findChild<QLineEdit*>("fileNameEdit")->text(), QString("nuevo.xml"));
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog::accept, as the Open button does
        checked = true;
    });
    QVERIFY(desktop.executeOpenDialog(settings));
    QVERIFY(checked);
    QCOMPARE(settings.fileName, folder + "/nuevo.xml");
}

void QtDesktopTest::openDialogCancelled()
{
    QtDesktop desktop;
    OpenDialogSettings settings { "Archivo XML", "*.xml", "xml", "c:\\atemp\\delphos", "/ninguno/previo.xml" };
    whenModal([](QWidget* modal) {
        QVERIFY(modal != nullptr);
        modal->close();
    });
    QVERIFY(!desktop.executeOpenDialog(settings));
    QCOMPARE(settings.fileName, QString("/ninguno/previo.xml"));
}

void QtDesktopTest::messageBoxes_data()
{
    QTest::addColumn<bool>("failure");
    QTest::addColumn<int>("icon");
    QTest::newRow("message") << false << int(QMessageBox::NoIcon);
    QTest::newRow("failure") << true << int(QMessageBox::Critical);
}

void QtDesktopTest::messageBoxes()
{
    QFETCH(bool, failure);
    QFETCH(int, icon);
    QtDesktop desktop;
    bool checked = false;
    whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box != nullptr);
        QCOMPARE(box->windowTitle(), QString("Enlazio"));
        QCOMPARE(box->text(), QString("No existe archivo"));
        QCOMPARE(int(box->icon()), icon);
        const QList<QAbstractButton*> buttons = box->buttons();
        QCOMPARE(buttons.size(), 1);
        QCOMPARE(buttons.first()->text(), QString("Aceptar"));
        buttons.first()->click();
        checked = true;
    });
    if (failure)
        desktop.showFailure("No existe archivo");
    else
        desktop.showMessage("No existe archivo");
    QVERIFY(checked);
}

void QtDesktopTest::oneHourglass()
{
    QtDesktop desktop;
    desktop.setCursor(AppCursor::HourGlass);
    desktop.setCursor(AppCursor::HourGlass);
    QVERIFY(QApplication::overrideCursor() != nullptr);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    desktop.setCursor(AppCursor::Default); // one reset is enough
    QVERIFY(QApplication::overrideCursor() == nullptr);
    desktop.setCursor(AppCursor::Default);
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void QtDesktopTest::helpViewer_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("topic");
    QTest::newRow("contents") << int(HelpCommand::Contents) << "";
    QTest::newRow("topic 1") << int(HelpCommand::Topic) << "1";
}

void QtDesktopTest::helpViewer()
{
    QFETCH(int, command);
    QFETCH(QString, topic);

    // The help file as it lies on the disk, in another letter case than the tool names it.
    fs::create_directories(m_drive / "brunm7");
    std::ofstream(m_drive / "brunm7" / "delphos.hlp") << "?_\x03";
    const fs::path log = fs::path(m_dir->path().toStdString()) / "viewer.log";
    const QString script = m_dir->path() + "/viewer.sh";
    std::ofstream(script.toStdString()) << "#!/bin/sh\nprintf '%s|%s|%s\\n' \"$1\" \"$2\" \"$ENLAZIO_HELP_TOPIC\" > \""
                                        << log.string() << ".tmp\"\nmv \"" << log.string() << ".tmp\" \""
                                        << log.string() << "\"\n";
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv(kHelpViewerVariable, (script + " --ventana").toUtf8());

    QtDesktop desktop;
    desktop.showHelp("\\BRUNM7\\DELPHOS.HLP", HelpCommand(command), 1);
    QTRY_VERIFY_WITH_TIMEOUT(fs::exists(log), 10000);
    std::ifstream in(log);
    std::string line;
    std::getline(in, line);
    const std::string expected = "--ventana|" + (m_drive / "brunm7" / "delphos.hlp").string() + "|" + topic.toStdString();
    QCOMPARE(QString::fromStdString(line), QString::fromStdString(expected));
}

void QtDesktopTest::missingHelpFile()
{
    qputenv(kHelpViewerVariable, "/bin/true");
    QtDesktop desktop;
    try {
        desktop.showHelp("\\BRUNM7\\DELPHOS.HLP", HelpCommand::Contents, 0);
        QFAIL("a missing help file must be reported");
    } catch (const Error& error) {
        QCOMPARE(error.code(), ErrorCode::FileNotFound);
        QCOMPARE(QString::fromUtf8(error.what()),
                 QString::fromStdString("No se encuentra el archivo de ayuda " + (m_drive / "BRUNM7" / "DELPHOS.HLP").string()));
    }
}

QTEST_MAIN(QtDesktopTest)
#include "qt_desktop_test.moc"
