// SPDX-License-Identifier: MIT
// Purpose: every exchange of the window with the user and the desktop, behind one small interface.
#pragma once

#include <QString>

#include <cstdint>
#include <filesystem>
#include <string>

namespace enlazio {

// Captions every message box and failure report of the tool.
inline constexpr char kApplicationTitle[] = "Enlazio";

// The window's open dialog as the window keeps it between runs.
struct OpenDialogSettings {
    QString title;            // "Archivo XML"
    QString filter;           // one entry; description and pattern alike
    QString defaultExtension; // added to a typed name that has none
    std::string initialDir;   // Windows spelling, resolved through the drive mapping when shown
    QString fileName;         // proposed when the dialog opens; the chosen path once confirmed
};

enum class AppCursor { Default, HourGlass };

enum class HelpCommand {
    Contents, // the help file's contents page
    Topic,    // the topic of a context number
};

// The GUI implements this with Qt dialogs; tests implement it with a scripted fake.
class Desktop {
public:
    virtual ~Desktop() = default;

    // Runs the open dialog modally. True when the user confirmed; then dialog.fileName
    // holds the chosen path. A cancelled dialog leaves dialog untouched.
    virtual bool executeOpenDialog(OpenDialogSettings& dialog) = 0;

    // A modal message captioned kApplicationTitle with one button "Aceptar".
    virtual void showMessage(const QString& text) = 0;
    // The report of a failed run: as showMessage, with the error icon.
    virtual void showFailure(const QString& text) = 0;

    // The application-wide cursor. Setting the hourglass twice needs one reset only.
    virtual void setCursor(AppCursor cursor) = 0;

    // Writes value as decimal text under [section] key= in an INI file.
    // Throws Error(SettingsWrite) "Unable to write to <file>".
    virtual void writeProfileInteger(const std::filesystem::path& file, const std::string& section,
                                     const std::string& key, std::int32_t value)
        = 0;

    // Opens a help file named the Windows way ("\BRUNM7\DELPHOS.HLP"). Throws Error when
    // the file is missing or no viewer can be started.
    virtual void showHelp(const std::string& windowsHelpFile, HelpCommand command, int context) = 0;
};

} // namespace enlazio
