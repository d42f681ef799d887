// SPDX-License-Identifier: MIT
// Purpose: the desktop layer of the real window: Qt's dialogs, the override cursor, our INI writer, the help viewer.
#pragma once

#include "app/desktop.h"

#include <QPointer>
#include <QWidget>

class QWindow;

class QCoreApplication;

namespace enlazio {

class QtDesktop : public Desktop {
public:
    QtDesktop() = default;
    ~QtDesktop() override;

    // Dialogs are centred on this window while it is a top-level one.
    void setMainWindow(QWidget* window) { m_mainWindow = window; }

    bool executeOpenDialog(OpenDialogSettings& dialog) override;
    void showMessage(const QString& text) override;
    void showFailure(const QString& text) override;
    void setCursor(AppCursor cursor) override;
    void writeProfileInteger(const std::filesystem::path& file, const std::string& section, const std::string& key,
                             std::int32_t value) override;
    void showHelp(const std::string& windowsHelpFile, HelpCommand command, int context) override;

private:
    QWindow* hostWindow() const;
    QWidget* dialogParent() const;
    void keepAboveHost(QWidget& dialog) const;
    void runMessageBox(int icon, const QString& text);

    QPointer<QWidget> m_mainWindow;
    bool m_hourGlass = false;
};

// Loads Qt's own Spanish texts (file dialog, standard buttons) from Qt's translations
// folder and makes Spanish the default locale. False when the translations are missing.
bool installSpanishTranslations(QCoreApplication& app);

} // namespace enlazio
