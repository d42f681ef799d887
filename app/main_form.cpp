// SPDX-License-Identifier: MIT
// Purpose: module MainForm: the one main window TMForm, the run state, the two runs, closing and help.
#include "app/main_form.h"

#include "app/gradient_panel.h"
#include "app/host_watch.h"
#include "export/conversions.h"
#include "formats/codepage.h"
#include "formats/error.h"
#include "formats/int_conversion.h"
#include "formats/win_path.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QWindow>

namespace enlazio {
namespace {

// The window was laid out in pixels at 96 dpi; Qt scales logical pixels on denser screens.
constexpr QSize kClientSize(632, 266);

std::filesystem::path toPath(const QString& file)
{
    return std::filesystem::path(QFile::encodeName(file).toStdString());
}

// MS Sans Serif and Arial where installed, else their metric twin from fonts-liberation.
QFont windowFont(const QStringList& families, int pixelSize, bool bold)
{
    QFont font;
    font.setFamilies(families + QStringList { QStringLiteral("Liberation Sans") });
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QLabel* makeLabel(const char* name, const QString& text, const QRect& geometry, const QFont& font, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAccessibleName(text);
    label->setGeometry(geometry);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The form's background role is Button, which would make a child's text ButtonText.
    label->setForegroundRole(QPalette::WindowText);
    return label;
}

QPushButton* makeButton(const char* name, const QString& text, QStyle::StandardPixmap glyph, const QRect& geometry,
                        QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    if (glyph != QStyle::SP_CustomBase)
        button->setIcon(button->style()->standardIcon(glyph, nullptr, button));
    // Return on a focused button presses it, as on Windows.
    button->setAutoDefault(true);
    return button;
}

} // namespace

TMForm::TMForm(Desktop& desktop, std::vector<std::string> arguments, QWidget* parent)
    : QWidget(parent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                  | Qt::MSWindowsFixedSizeDialogHint)
    , m_desktop(desktop)
    , m_arguments(std::move(arguments))
{
    m_openDialogXml.title = QStringLiteral("Archivo XML");
    m_openDialogXml.filter = QStringLiteral("*.xml");
    m_openDialogXml.defaultExtension = QStringLiteral("xml");
    m_openDialogXml.initialDir = "c:\\atemp\\delphos";
    buildWindow();
    FormCreate();
}

TMForm::~TMForm()
{
    // Our native window is a child of the host's: let it go before the host's handle.
    m_hostWatch.reset();
    if (m_host)
        destroy();
}

std::filesystem::path TMForm::settingsFile()
{
    return toPath(QCoreApplication::applicationDirPath()) / kSettingsFileName;
}

void TMForm::buildWindow()
{
    setObjectName(QStringLiteral("MForm"));
    setAccessibleName(QStringLiteral("MForm"));
    setWindowTitle(QString::fromUtf8(kMainFormCaption));
    setFixedSize(kClientSize);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setFont(windowFont({ QStringLiteral("MS Sans Serif") }, 11, false));

    const QColor panelStart(0xF9, 0xD3, 0x7D);
    const QColor panelMiddle(0xFF, 0xFF, 0xFF);
    const QColor panelEnd(0xFF, 0xEE, 0xDD);
    m_draw3D2 = new GradientPanel(panelStart, panelMiddle, panelEnd, this);
    m_draw3D2->setObjectName(QStringLiteral("Draw3D2"));
    m_draw3D2->setAccessibleName(QStringLiteral("Draw3D2"));
    m_draw3D2->setGeometry(1, 0, 315, 169);
    m_draw3D3 = new GradientPanel(panelStart, panelMiddle, panelEnd, this);
    m_draw3D3->setObjectName(QStringLiteral("Draw3D3"));
    m_draw3D3->setAccessibleName(QStringLiteral("Draw3D3"));
    m_draw3D3->setGeometry(316, 0, 317, 169);
    m_draw3D1 = new GradientPanel(QColor(0xC2, 0xCD, 0xFE), QColor(0xCF, 0xF2, 0xFE), QColor(0xCC, 0xD8, 0xE6), this);
    m_draw3D1->setObjectName(QStringLiteral("Draw3D1"));
    m_draw3D1->setAccessibleName(QStringLiteral("Draw3D1"));
    m_draw3D1->setGeometry(0, 168, 633, 97);

    const QFont headingFont = windowFont({ QStringLiteral("Arial") }, 16, true);
    m_label3 = makeLabel("Label3", QStringLiteral("Transformar datos desde Delphos hacia Aularis "),
                         QRect(24, 24, 265, 57), headingFont, m_draw3D2);
    m_label3->setWordWrap(true);
    m_label4 = makeLabel("Label4", QStringLiteral("Transformar datos desde Aularis hacia Delphos"),
                         QRect(8, 24, 305, 57), headingFont, m_draw3D3);
    m_label4->setWordWrap(true);
    m_label1 = makeLabel("Label1", QStringLiteral("Enlazia V-2.5"), QRect(8, 72, 165, 13),
                         windowFont({ QStringLiteral("MS Sans Serif") }, 11, true), m_draw3D1);
    QPalette red = m_label1->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    m_label1->setPalette(red);

    m_bExportar = makeButton("BExportar", QStringLiteral("Aceptar"), QStyle::SP_DialogOkButton,
                             QRect(96, 120, 89, 25), m_draw3D2);
    m_bImportar = makeButton("BImportar", QStringLiteral("Aceptar"), QStyle::SP_DialogOkButton,
                             QRect(96, 120, 89, 25), m_draw3D3);
    m_bClose = makeButton("BClose", QStringLiteral("&Salir"), QStyle::SP_DialogCloseButton, QRect(256, 32, 89, 25),
                          m_draw3D1);
    m_button1 = makeButton("Button1", QStringLiteral("F1 AYUDA"), QStyle::SP_CustomBase, QRect(264, 63, 75, 18),
                           m_draw3D1);

    setTabOrder(m_bClose, m_button1);
    setTabOrder(m_button1, m_bExportar);
    setTabOrder(m_bExportar, m_bImportar);
    m_bClose->setFocus();

    connect(m_bExportar, &QPushButton::clicked, this, &TMForm::BExportarClick);
    connect(m_bImportar, &QPushButton::clicked, this, &TMForm::BImportarClick);
    connect(m_bClose, &QPushButton::clicked, this, &QWidget::close);
    connect(m_button1, &QPushButton::clicked, this, &TMForm::Button1Click);
}

void TMForm::FormCreate()
{
    m_run.Transformado = 0;
    if (m_arguments.size() != 2)
        return;
    std::int32_t host = 0;
    try {
        host = strToInt("$" + utf8ToCodePage(m_arguments[1]));
    } catch (const std::exception& failure) {
        // Reported now; the window then stays an ordinary one and the verb still runs.
        m_desktop.showFailure(QString::fromUtf8(failure.what()));
        return;
    }
    embedInto(static_cast<quint32>(host));
    m_run.NumParametros = static_cast<std::int32_t>(m_arguments.size());
}

void TMForm::embedInto(quint32 hostWindow)
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    m_host.reset(QWindow::fromWinId(static_cast<WId>(hostWindow)));
    if (!m_host)
        return; // this platform cannot host a window in another program's window
    // Parented before the first show, the native window is created inside the host.
    const WId own = winId();
    windowHandle()->setParent(m_host.get());
    m_hostWatch = std::make_unique<HostWatch>(own);
    connect(m_hostWatch.get(), &HostWatch::hostGone, this, &TMForm::endWithHost);
}

void TMForm::endWithHost()
{
    // Our window went with the host's. No closing can run, so no result code is written,
    // but the program must not run on without a window.
    if (m_closed)
        return;
    m_closed = true;
    Q_EMIT programEnded();
}

void TMForm::placeCentred()
{
    // The screen-centring rule; embedded, the position counts from the host's client area.
    const QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect area = screen->geometry();
    QPoint position((area.width() - width()) / 2, (area.height() - height()) / 2);
    if (!m_host)
        position += area.topLeft();
    move(position);
}

void TMForm::setVisible(bool visible)
{
    if (visible && !m_shownOnce) {
        m_shownOnce = true;
        placeCentred();
        // The verb's run comes before the window is drawn: its dialogs come up first.
        FormShow();
        if (m_closed)
            return; // the run closed the window; it is never shown
    }
    QWidget::setVisible(visible);
}

void TMForm::FormShow()
{
    // The argument count itself decides, not NumParametros.
    if (m_arguments.size() != 2)
        return;
    // A to Z are folded, no other letter, and nothing is trimmed.
    const std::string& verb = m_arguments[0];
    if (equalsIgnoringAsciiCase(verb, "importar"))
        BImportarClick();
    if (equalsIgnoringAsciiCase(verb, "exportar"))
        BExportarClick();
}

void TMForm::FormClose()
{
    if (m_run.NumParametros != 2)
        return;
    m_desktop.writeProfileInteger(settingsFile(), kSettingsSection, kSettingsKey, m_run.Transformado);
}

void TMForm::closeEvent(QCloseEvent* event)
{
    if (m_closed) {
        event->accept();
        return;
    }
    try {
        FormClose();
    } catch (const std::exception& failure) {
        m_desktop.showFailure(QString::fromUtf8(failure.what()));
        event->ignore();
        return;
    }
    event->accept();
    m_closed = true;
    Q_EMIT programEnded();
}

template <typename Run> void TMForm::runFrame(Run&& run)
{
    // A failure ends the run where it happens and is reported here; what was done before
    // stays done, the cursor stays as the run left it and the window stays open.
    try {
        run();
    } catch (const std::exception& failure) {
        m_desktop.showFailure(QString::fromUtf8(failure.what()));
    } catch (...) {
        m_desktop.showFailure(QStringLiteral("Error interno desconocido"));
    }
}

void TMForm::chooseFile()
{
    if (m_desktop.executeOpenDialog(m_openDialogXml))
        m_run.ArchivoXML = m_openDialogXml.fileName;
}

void TMForm::missingFile(std::int32_t embeddedCode)
{
    m_desktop.showMessage(QStringLiteral("No existe archivo"));
    if (m_run.NumParametros == 2) {
        m_run.Transformado = embeddedCode;
        close();
    }
}

void TMForm::finishRun()
{
    m_run.Transformado = 1;
    m_desktop.showMessage(QStringLiteral("Proceso finalizado"));
    if (m_run.NumParametros == 2)
        close();
}

void TMForm::BExportarClick()
{
    runFrame([this] {
        chooseFile();
        const std::filesystem::path file = toPath(m_run.ArchivoXML);
        if (!fileExists(file)) {
            missingFile(-1);
            return;
        }
        m_run.DocumentoXML.loadSections(file);
        m_desktop.setCursor(AppCursor::HourGlass);
        ExportarMaterias();
        ExportarProfesores();
        ExportarAulas();
        ExportarGrupos();
        ExportarAsignaturas();
        ExportarTramos();
        m_desktop.setCursor(AppCursor::Default);
        finishRun();
    });
}

void TMForm::BImportarClick()
{
    runFrame([this] {
        chooseFile();
        const std::filesystem::path file = toPath(m_run.ArchivoXML);
        if (!fileExists(file)) {
            missingFile(0);
            return;
        }
        m_desktop.setCursor(AppCursor::HourGlass);
        m_run.DocumentoXML.loadDocument(file);
        buildResultDocument(m_run.DocumentoXML.document(), file, m_tables, exchangeFolder());
        m_desktop.setCursor(AppCursor::Default);
        finishRun();
    });
}

void TMForm::ExportarMaterias()
{
    exportarMaterias(m_run.DocumentoXML.sections().materias, exchangeFolder());
}

void TMForm::ExportarProfesores()
{
    exportarProfesores(m_run.DocumentoXML.sections().profesores, exchangeFolder());
}

void TMForm::ExportarAulas()
{
    exportarAulas(m_run.DocumentoXML.sections().aulas, exchangeFolder());
}

void TMForm::ExportarGrupos()
{
    exportarGrupos(m_run.DocumentoXML.sections().grupos, exchangeFolder());
}

void TMForm::ExportarAsignaturas()
{
    exportarAsignaturas(m_run.DocumentoXML.sections().asignaturas, exchangeFolder());
}

void TMForm::ExportarTramos()
{
    exportarTramos(m_run.DocumentoXML.sections().tramos, exchangeFolder());
}

void TMForm::Button1Click()
{
    runFrame([this] {
        m_helpFile = kHelpButtonFile;
        m_desktop.showHelp(m_helpFile, HelpCommand::Contents, 0);
    });
}

void TMForm::showHelpTopic()
{
    runFrame([this] { m_desktop.showHelp(m_helpFile, HelpCommand::Topic, kHelpContext); });
}

void TMForm::keyPressEvent(QKeyEvent* event)
{
    // F1 on any control reaches the window: every control shares the window's help context.
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        showHelpTopic();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace enlazio
