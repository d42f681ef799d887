// SPDX-License-Identifier: MIT
// Purpose: module MainForm: the one main window TMForm, the run state, the two runs, closing and help.
#pragma once

#include "app/desktop.h"
#include "app/run_document.h"
#include "import/result_document.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QWindow;

namespace enlazio {

class GradientPanel;
class HostWatch;

inline constexpr char kMainFormCaption[] = "Exportar e importar datos entre Aularis y Delphos ";
// The application's help file as set at start, and as the help button names it.
inline constexpr char kStartHelpFile[] = "\\brunm7\\DELPHOS.HLP";
inline constexpr char kHelpButtonFile[] = "\\BRUNM7\\DELPHOS.HLP";
inline constexpr int kHelpContext = 1;
inline constexpr char kSettingsFileName[] = "Aularis.ini";
inline constexpr char kSettingsSection[] = "Transformadores";
inline constexpr char kSettingsKey[] = "Transformado";

// The run state, alive from program start to program end. Kept here and nowhere else;
// the core receives what it needs as arguments.
struct RunState {
    QString ArchivoXML;        // the file chosen last; a cancelled dialog keeps it
    RunDocument DocumentoXML;  // the document of the current run
    std::int32_t NumParametros = 0; // 2 once embedded mode is set up
    std::int32_t Transformado = 0;  // the result code handed back in embedded mode
};

class TMForm : public QWidget {
    Q_OBJECT
public:
    // arguments: the program's arguments as the user typed them, without the program name.
    TMForm(Desktop& desktop, std::vector<std::string> arguments, QWidget* parent = nullptr);
    ~TMForm() override;

    const RunState& runState() const { return m_run; }
    // Aularis.ini in the executable's folder.
    static std::filesystem::path settingsFile();
    bool isClosed() const { return m_closed; }

    void FormCreate();
    void FormShow();
    // Throws Error when the settings file cannot be written; the closing is then abandoned.
    void FormClose();
    void BExportarClick();
    void BImportarClick();
    void Button1Click();

    void ExportarMaterias();
    void ExportarProfesores();
    void ExportarAulas();
    void ExportarGrupos();
    void ExportarAsignaturas();
    void ExportarTramos();

    void setVisible(bool visible) override;

Q_SIGNALS:
    // The window has closed for good, or vanished with the host's; the program ends with it.
    void programEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildWindow();
    void embedInto(quint32 hostWindow);
    void placeCentred();
    template <typename Run> void runFrame(Run&& run);
    void chooseFile();
    void missingFile(std::int32_t embeddedCode);
    void finishRun();
    void showHelpTopic();
    void endWithHost();

    Desktop& m_desktop;
    const std::vector<std::string> m_arguments;
    RunState m_run;
    OpenDialogSettings m_openDialogXml;
    ImportTables m_tables;
    std::string m_helpFile = kStartHelpFile;
    std::unique_ptr<QWindow> m_host;
    std::unique_ptr<HostWatch> m_hostWatch;
    bool m_shownOnce = false;
    bool m_closed = false;

    GradientPanel* m_draw3D1 = nullptr;
    GradientPanel* m_draw3D2 = nullptr;
    GradientPanel* m_draw3D3 = nullptr;
    QLabel* m_label1 = nullptr;
    QLabel* m_label3 = nullptr;
    QLabel* m_label4 = nullptr;
    QPushButton* m_bExportar = nullptr;
    QPushButton* m_bImportar = nullptr;
    QPushButton* m_bClose = nullptr;
    QPushButton* m_button1 = nullptr;
};

} // namespace enlazio
