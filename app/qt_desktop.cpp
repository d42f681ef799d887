// SPDX-License-Identifier: MIT
// Purpose: the desktop layer of the real window: Qt's dialogs, the override cursor, our INI writer, the help viewer.
#include "app/qt_desktop.h"

#include "app/help_viewer.h"
#include "app/ini_file.h"
#include "formats/win_path.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>
#include <QWindow>

namespace enlazio {

QtDesktop::~QtDesktop()
{
    if (m_hourGlass)
        QApplication::restoreOverrideCursor();
}

// The host program's window when the window is embedded in it, else nullptr.
QWindow* QtDesktop::hostWindow() const
{
    if (m_mainWindow == nullptr || m_mainWindow->windowHandle() == nullptr)
        return nullptr;
    return m_mainWindow->windowHandle()->parent();
}

QWidget* QtDesktop::dialogParent() const
{
    // Embedded, the window lives inside another program's window; a dialog made
    // transient for it would be refused, so dialogs then stand on their own.
    if (m_mainWindow == nullptr || hostWindow() != nullptr)
        return nullptr;
    return m_mainWindow;
}

void QtDesktop::keepAboveHost(QWidget& dialog) const
{
    // Embedded, a dialog stands on its own; made transient for the host's window, the
    // window manager keeps it above the host program.
    QWindow* host = hostWindow();
    if (host == nullptr || dialog.parentWidget() != nullptr)
        return;
    dialog.winId();
    dialog.windowHandle()->setTransientParent(host);
}

void QtDesktop::runMessageBox(int icon, const QString& text)
{
    QMessageBox box(QMessageBox::Icon(icon), QString::fromUtf8(kApplicationTitle), text, QMessageBox::NoButton,
                    dialogParent());
    QPushButton* accept = box.addButton(QStringLiteral("Aceptar"), QMessageBox::AcceptRole);
    accept->setObjectName(QStringLiteral("Aceptar"));
    box.setDefaultButton(accept);
    box.setEscapeButton(accept);
    keepAboveHost(box);
    box.exec();
}

bool QtDesktop::executeOpenDialog(OpenDialogSettings& settings)
{
    QFileDialog dialog(dialogParent(), settings.title);
    dialog.setObjectName(QStringLiteral("OpenDialogXML"));
    // Qt's own dialog: the same on every desktop, in Spanish, and scriptable under Xvfb.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The run tests the file's existence itself.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(settings.filter + QStringLiteral(" (") + settings.filter + QLatin1Char(')'));
    dialog.setDefaultSuffix(settings.defaultExtension);
    dialog.setSizeGripEnabled(true);
    if (settings.fileName.isEmpty()) {
        const std::filesystem::path initial = resolveWindowsPath(settings.initialDir);
        dialog.setDirectory(QFile::decodeName(QByteArray::fromStdString(initial.string())));
    } else {
        const QFileInfo last(settings.fileName);
        dialog.setDirectory(last.absolutePath());
        dialog.selectFile(last.fileName());
    }
    keepAboveHost(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return false;
    settings.fileName = chosen.first();
    return true;
}

void QtDesktop::showMessage(const QString& text)
{
    runMessageBox(QMessageBox::NoIcon, text);
}

void QtDesktop::showFailure(const QString& text)
{
    runMessageBox(QMessageBox::Critical, text);
}

void QtDesktop::setCursor(AppCursor cursor)
{
    // One application-wide cursor, as the window's runs expect, not a stack of overrides.
    if (cursor == AppCursor::HourGlass && !m_hourGlass) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_hourGlass = true;
    } else if (cursor == AppCursor::Default && m_hourGlass) {
        QApplication::restoreOverrideCursor();
        m_hourGlass = false;
    }
}

void QtDesktop::writeProfileInteger(const std::filesystem::path& file, const std::string& section,
                                    const std::string& key, std::int32_t value)
{
    enlazio::writeProfileInteger(file, section, key, value);
}

void QtDesktop::showHelp(const std::string& windowsHelpFile, HelpCommand command, int context)
{
    openHelp(windowsHelpFile, command, context);
}

bool installSpanishTranslations(QCoreApplication& app)
{
    const QLocale spanish(QLocale::Spanish, QLocale::Spain);
    QLocale::setDefault(spanish);
    auto* translator = new QTranslator(&app);
    if (!translator->load(spanish, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

} // namespace enlazio
