// SPDX-License-Identifier: MIT
// Purpose: the window's launch modes and run frames against a scripted desktop and the real core.
#include "app/main_form.h"
#include "export/conversions.h"
#include "fake_desktop.h"
#include "formats/dbf_table.h"
#include "formats/win_path.h"
#include "import/result_document.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <memory>

namespace fs = std::filesystem;
using namespace enlazio;
using enlazio::test::FakeDesktop;

namespace {

const char* const kTables[] = { "ASIGNOMT.DBF", "PROFT.DBF", "AULAT.DBF", "GRUPOST.DBF", "ASIGT.DBF", "DIASHORAST.DBF" };

std::vector<std::string> toArguments(const QStringList& list)
{
    std::vector<std::string> arguments;
    for (const QString& argument : list)
        arguments.push_back(argument.toStdString());
    return arguments;
}

std::string readAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

} // namespace

class MainFormTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void runOutcomes_data();
    void runOutcomes();
    void verbs_data();
    void verbs();
    void badHostHandle();
    void cancelledDialogKeepsFileAcrossDirections();
    void hourglassAfterFailure_data();
    void hourglassAfterFailure();
    void embeddedFailureKeepsWindowOpen();
    void unwritableSettingsKeepsWindowOpen();
    void help();

private:
    std::optional<QString> answer(const QString& kind) const;
    bool tablesWritten() const;
    void prepareImport();
    std::unique_ptr<TMForm> makeForm(FakeDesktop& desktop, const QStringList& arguments);

    std::unique_ptr<QTemporaryDir> m_dir;
    fs::path m_exchange;
    fs::path m_documents;
    QString m_document;
};

void MainFormTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    const fs::path root = m_dir->path().toStdString();
    qputenv("ENLAZIO_DRIVE_C", QByteArray::fromStdString((root / "drive_c").string()));
    m_exchange = root / "drive_c" / "ATEMP";
    m_documents = root / "documentos";
    fs::create_directories(m_exchange);
    fs::create_directories(m_documents);
    const fs::path sample = fs::path(ENLAZIO_GUI_DATA_DIR) / "servicio.xml";
    QVERIFY2(fs::exists(sample), "tests/gui/data/servicio.xml is missing");
    fs::copy_file(sample, m_documents / "servicio.xml");
    m_document = QString::fromStdString((m_documents / "servicio.xml").string());
}

void MainFormTest::cleanup()
{
    m_dir.reset();
    qunsetenv("ENLAZIO_DRIVE_C");
}

std::optional<QString> MainFormTest::answer(const QString& kind) const
{
    if (kind == "doc")
        return m_document;
    if (kind == "missing")
        return QString::fromStdString((m_documents / "ninguno.xml").string());
    if (kind == "folder")
        return QString::fromStdString(m_documents.string());
    return std::nullopt;
}

bool MainFormTest::tablesWritten() const
{
    for (const char* table : kTables) {
        if (!findCaseInsensitive(m_exchange, table))
            return false;
    }
    return true;
}

// The six tables from the sample, and the timetable Aularis would leave: one activity.
void MainFormTest::prepareImport()
{
    runExport(m_document.toStdString(), m_exchange);
    const TableLayout soluc = { { "PROF", FieldType::Text, 10 }, { "DIA", FieldType::Text, 2 },
                                { "HORA", FieldType::Text, 2 },  { "ASIG", FieldType::Text, 10 },
                                { "AULA", FieldType::Text, 10 }, { "CODGRUPO", FieldType::Text, 10 } };
    createTable(m_exchange, "SOLUC", soluc);
    TableWriter writer(m_exchange, "SOLUC");
    writer.open();
    writer.append();
    writer.setText("PROF", "APG");
    writer.setText("DIA", "1");
    writer.setText("HORA", "1");
    writer.setText("ASIG", "MAT1");
    writer.setText("AULA", "A21");
    writer.setText("CODGRUPO", "1A");
    writer.post();
    writer.close();
}

std::unique_ptr<TMForm> MainFormTest::makeForm(FakeDesktop& desktop, const QStringList& arguments)
{
    auto form = std::make_unique<TMForm>(desktop, toArguments(arguments));
    desktop.watched = form.get();
    return form;
}

void MainFormTest::runOutcomes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("click"); // empty: the verb's own run at the first show
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<std::vector<std::int32_t>>("writes");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QString>("written"); // "tables", "result" or "nothing"

    const QStringList exportVerb { "EXPORTAR", "1f2e" };
    const QStringList importVerb { "importar", "1F2E" };
    const QStringList done { "Proceso finalizado" };
    const QStringList missing { "No existe archivo" };
    QTest::newRow("embedded export") << exportVerb << "" << "doc" << 1 << done << std::vector { 1 } << true
                                     << "tables";
    QTest::newRow("embedded export, dialog cancelled on the first run")
        << exportVerb << "" << "cancel" << -1 << missing << std::vector { -1 } << true << "nothing";
    QTest::newRow("embedded export, typed name of no file")
        << exportVerb << "" << "missing" << -1 << missing << std::vector { -1 } << true << "nothing";
    QTest::newRow("embedded export, name of a folder")
        << exportVerb << "" << "folder" << -1 << missing << std::vector { -1 } << true << "nothing";
    QTest::newRow("embedded import") << importVerb << "" << "doc" << 1 << done << std::vector { 1 } << true
                                     << "result";
    QTest::newRow("embedded import, dialog cancelled")
        << importVerb << "" << "cancel" << 0 << missing << std::vector { 0 } << true << "nothing";
    QTest::newRow("stand-alone export") << QStringList {} << "BExportar" << "doc" << 1 << done
                                        << std::vector<std::int32_t> {} << false << "tables";
    QTest::newRow("stand-alone import") << QStringList { "uno" } << "BImportar" << "doc" << 1 << done
                                        << std::vector<std::int32_t> {} << false << "result";
    QTest::newRow("stand-alone export, dialog cancelled")
        << QStringList { "exportar", "1f2e", "tres" } << "BExportar" << "cancel" << 0 << missing
        << std::vector<std::int32_t> {} << false << "nothing";
    QTest::newRow("embedded click after an unknown verb")
        << QStringList { "exportar ", "1f2e" } << "BExportar" << "doc" << 1 << done << std::vector { 1 } << true
        << "tables";
}

void MainFormTest::runOutcomes()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, click);
    QFETCH(QString, answer);
    QFETCH(int, code);
    QFETCH(QStringList, messages);
    QFETCH(std::vector<std::int32_t>, writes);
    QFETCH(bool, closed);
    QFETCH(QString, written);

    if (written == "result")
        prepareImport();
    const fs::path resultFile = resultPathFor(m_document.toStdString());

    FakeDesktop desktop;
    desktop.answers.push_back(this->answer(answer));
    auto form = makeForm(desktop, arguments);
    QSignalSpy ended(form.get(), &TMForm::programEnded);
    form->show();
    if (!click.isEmpty()) {
        QVERIFY(form->isVisible());
        QTest::mouseClick(form->findChild<QPushButton*>(click), Qt::LeftButton);
    }

    QCOMPARE(desktop.unexpectedDialogs, 0);
    QVERIFY(desktop.answers.empty());
    QCOMPARE(desktop.messageTexts(), messages);
    QCOMPARE(form->runState().Transformado, code);
    QCOMPARE(desktop.writtenValues(), writes);
    for (const FakeDesktop::SettingsWrite& write : desktop.writes) {
        QCOMPARE(write.file, fs::path(QCoreApplication::applicationDirPath().toStdString()) / "Aularis.ini");
        QCOMPARE(write.section, std::string("Transformadores"));
        QCOMPARE(write.key, std::string("Transformado"));
    }
    QCOMPARE(form->isClosed(), closed);
    QCOMPARE(ended.count(), closed ? 1 : 0);
    QCOMPARE(form->isVisible(), !closed);
    QCOMPARE(desktop.cursor, AppCursor::Default);
    if (click.isEmpty()) {
        // The verb's run came before the window was shown.
        QVERIFY(!desktop.watchedVisible.empty());
        QVERIFY(std::find(desktop.watchedVisible.begin(), desktop.watchedVisible.end(), true)
                == desktop.watchedVisible.end());
    }
    QCOMPARE(tablesWritten(), written == "tables" || written == "result");
    QCOMPARE(fs::exists(resultFile), written == "result");
    if (written == "result") {
        const std::string result = readAll(resultFile);
        QVERIFY(result.find("EMPLEADO_1") != std::string::npos);
        QVERIFY(result.find("ACTIVIDAD_1") != std::string::npos);
    }
}

void MainFormTest::verbs_data()
{
    QTest::addColumn<QString>("verb");
    QTest::addColumn<int>("dialogs");
    QTest::addColumn<int>("code"); // after a cancelled dialog: -1 export, 0 import

    QTest::newRow("exportar") << "exportar" << 1 << -1;
    QTest::newRow("EXPORTAR") << "EXPORTAR" << 1 << -1;
    QTest::newRow("ImPoRtAr") << "ImPoRtAr" << 1 << 0;
    QTest::newRow("trailing blank") << "exportar " << 0 << 0;
    QTest::newRow("leading blank") << " importar" << 0 << 0;
    QTest::newRow("export") << "export" << 0 << 0;
    QTest::newRow("empty") << "" << 0 << 0;
    QTest::newRow("accented capital is not folded") << "IMPORTÁR" << 0 << 0;
}

void MainFormTest::verbs()
{
    QFETCH(QString, verb);
    QFETCH(int, dialogs);
    QFETCH(int, code);

    FakeDesktop desktop;
    desktop.answers.push_back(std::nullopt);
    auto form = makeForm(desktop, { verb, "ABCDEF" });
    QCOMPARE(form->runState().NumParametros, 2);
    QVERIFY(form->windowFlags().testFlag(Qt::FramelessWindowHint));
    form->show();
    QCOMPARE(int(desktop.proposals.size()), dialogs);
    QCOMPARE(form->runState().Transformado, code);
    if (dialogs == 0) {
        // Nothing ran: the window waits for the user, and Salir hands back 0.
        QVERIFY(form->isVisible());
        QVERIFY(desktop.messages.empty());
        QTest::mouseClick(form->findChild<QPushButton*>("BClose"), Qt::LeftButton);
        QCOMPARE(desktop.writtenValues(), std::vector<std::int32_t> { 0 });
        QVERIFY(form->isClosed());
    }
}

void MainFormTest::badHostHandle()
{
    FakeDesktop desktop;
    desktop.answers.push_back(m_document);
    auto form = makeForm(desktop, { "exportar", "zz" });
    // Reported while the window was being created, before it was ever shown.
    QCOMPARE(desktop.messageTexts(), QStringList { "!'$zz' no es un valor entero válido" });
    QCOMPARE(form->runState().NumParametros, 0);
    QVERIFY(form->isWindow());
    QVERIFY(!form->windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(form->windowFlags().testFlag(Qt::WindowCloseButtonHint));

    form->show(); // the verb still runs
    QCOMPARE(int(desktop.proposals.size()), 1);
    QCOMPARE(desktop.messageTexts().last(), QString("Proceso finalizado"));
    QCOMPARE(form->runState().Transformado, 1);
    QVERIFY(form->isVisible()); // stand-alone: no closing after the run
    QVERIFY(form->close());
    QVERIFY(desktop.writes.empty());
}

void MainFormTest::cancelledDialogKeepsFileAcrossDirections()
{
    prepareImport();
    FakeDesktop desktop;
    desktop.answers = { m_document, std::nullopt, std::nullopt };
    auto form = makeForm(desktop, {});
    form->show();
    QTest::mouseClick(form->findChild<QPushButton*>("BExportar"), Qt::LeftButton);
    QTest::mouseClick(form->findChild<QPushButton*>("BImportar"), Qt::LeftButton);
    QVERIFY(fs::exists(resultPathFor(m_document.toStdString())));
    fs::remove(m_exchange / "PROFT.DBF");
    QTest::mouseClick(form->findChild<QPushButton*>("BExportar"), Qt::LeftButton);

    QCOMPARE(desktop.messageTexts(),
             QStringList({ "Proceso finalizado", "Proceso finalizado", "Proceso finalizado" }));
    // Each dialog proposed the file chosen last.
    QCOMPARE(desktop.proposals, std::vector<QString>({ QString(), m_document, m_document }));
    QCOMPARE(form->runState().ArchivoXML, m_document);
    QVERIFY(tablesWritten());
}

void MainFormTest::hourglassAfterFailure_data()
{
    QTest::addColumn<QString>("click");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<AppCursor>("cursor"); // after the failed run

    QTest::newRow("export, conversion fails") << "BExportar" << "no exchange folder" << AppCursor::HourGlass;
    QTest::newRow("export, document not well-formed") << "BExportar" << "broken document" << AppCursor::Default;
    QTest::newRow("import, tables missing") << "BImportar" << "no exchange folder" << AppCursor::HourGlass;
    QTest::newRow("import, document not well-formed") << "BImportar" << "broken document" << AppCursor::HourGlass;
}

void MainFormTest::hourglassAfterFailure()
{
    QFETCH(QString, click);
    QFETCH(QString, fault);
    QFETCH(AppCursor, cursor);

    const QString broken = QString::fromStdString((m_documents / "roto.xml").string());
    std::ofstream(broken.toStdString()) << "<SERVICIO><SALIDAS><listasal seq=\"MATERIAS\">";
    if (fault == "no exchange folder")
        fs::remove_all(m_exchange);
    else if (click == "BImportar")
        prepareImport();

    FakeDesktop desktop;
    desktop.answers = { fault == "broken document" ? broken : m_document, answer("missing"), m_document };
    auto form = makeForm(desktop, {});
    form->show();
    auto* button = form->findChild<QPushButton*>(click);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(desktop.messages.size(), size_t(1));
    QVERIFY(desktop.messages[0].failure);
    QCOMPARE(desktop.cursor, cursor);
    QCOMPARE(form->runState().Transformado, 0);

    // A run that ends without finishing leaves the cursor as it was ...
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(desktop.messageTexts().last(), QString("No existe archivo"));
    QCOMPARE(desktop.cursor, cursor);

    // ... until a later run ends normally.
    if (fault == "no exchange folder") {
        fs::create_directories(m_exchange);
        if (click == "BImportar")
            prepareImport();
    }
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(desktop.messageTexts().last(), QString("Proceso finalizado"));
    QCOMPARE(desktop.cursor, AppCursor::Default);
    QCOMPARE(form->runState().Transformado, 1);
}

void MainFormTest::embeddedFailureKeepsWindowOpen()
{
    fs::remove_all(m_exchange);
    FakeDesktop desktop;
    desktop.answers.push_back(m_document);
    auto form = makeForm(desktop, { "exportar", "1f2e" });
    QSignalSpy ended(form.get(), &TMForm::programEnded);
    form->show();
    QCOMPARE(desktop.messages.size(), size_t(1));
    QVERIFY(desktop.messages[0].failure);
    QVERIFY(form->isVisible());
    QCOMPARE(desktop.cursor, AppCursor::HourGlass);
    QVERIFY(desktop.writes.empty());

    QTest::mouseClick(form->findChild<QPushButton*>("BClose"), Qt::LeftButton);
    QCOMPARE(desktop.writtenValues(), std::vector<std::int32_t> { 0 });
    QVERIFY(form->isClosed());
    QVERIFY(!form->isVisible());
    QCOMPARE(ended.count(), 1);
}

void MainFormTest::unwritableSettingsKeepsWindowOpen()
{
    FakeDesktop desktop;
    desktop.answers.push_back(m_document);
    desktop.failingWrites = 1;
    auto form = makeForm(desktop, { "exportar", "1f2e" });
    QSignalSpy ended(form.get(), &TMForm::programEnded);
    form->show();
    const QString expected = "!Unable to write to " + QCoreApplication::applicationDirPath() + "/Aularis.ini";
    QCOMPARE(desktop.messageTexts(), QStringList({ "Proceso finalizado", expected }));
    QVERIFY(!form->isClosed());
    QVERIFY(form->isVisible());
    QCOMPARE(ended.count(), 0);

    // Salir tries again.
    QTest::mouseClick(form->findChild<QPushButton*>("BClose"), Qt::LeftButton);
    QCOMPARE(desktop.writtenValues(), std::vector<std::int32_t> { 1 });
    QVERIFY(form->isClosed());
    QCOMPARE(ended.count(), 1);
}

void MainFormTest::help()
{
    FakeDesktop desktop;
    auto form = makeForm(desktop, {});
    form->show();
    auto* helpButton = form->findChild<QPushButton*>("Button1");
    QTest::keyClick(form->findChild<QPushButton*>("BExportar"), Qt::Key_F1);
    QTest::mouseClick(helpButton, Qt::LeftButton);
    QTest::keyClick(helpButton, Qt::Key_F1);
    QTest::keyClick(form->findChild<QWidget*>("Label3"), Qt::Key_F1);

    QCOMPARE(desktop.helpRequests.size(), size_t(4));
    QCOMPARE(desktop.helpRequests[0].file, std::string("\\brunm7\\DELPHOS.HLP"));
    QCOMPARE(desktop.helpRequests[0].command, HelpCommand::Topic);
    QCOMPARE(desktop.helpRequests[0].context, 1);
    QCOMPARE(desktop.helpRequests[1].file, std::string("\\BRUNM7\\DELPHOS.HLP"));
    QCOMPARE(desktop.helpRequests[1].command, HelpCommand::Contents);
    QCOMPARE(desktop.helpRequests[1].context, 0);
    for (size_t i = 2; i < 4; ++i) {
        QCOMPARE(desktop.helpRequests[i].file, std::string("\\BRUNM7\\DELPHOS.HLP"));
        QCOMPARE(desktop.helpRequests[i].command, HelpCommand::Topic);
        QCOMPARE(desktop.helpRequests[i].context, 1);
    }

    // A help file that cannot be shown is reported; the window carries on.
    desktop.helpFails = true;
    QTest::mouseClick(helpButton, Qt::LeftButton);
    QCOMPARE(desktop.messages.size(), size_t(1));
    QVERIFY(desktop.messages[0].failure);
    QVERIFY(form->isVisible());
}

QTEST_MAIN(MainFormTest)
#include "main_form_test.moc"
