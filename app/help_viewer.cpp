// SPDX-License-Identifier: MIT
// Purpose: opens the tool's help file in a viewer: the one named by ENLAZIO_HELP_VIEWER, else the desktop's.
#include "app/help_viewer.h"

#include "formats/error.h"
#include "formats/win_path.h"

#include <QDesktopServices>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QUrl>

namespace enlazio {

void openHelp(std::string_view windowsHelpFile, HelpCommand command, int context)
{
    const std::filesystem::path file = resolveWindowsPath(windowsHelpFile);
    const QString shown = QFile::decodeName(QByteArray::fromStdString(file.string()));
    if (!fileExists(file))
        throw Error(ErrorCode::FileNotFound, "No se encuentra el archivo de ayuda " + shown.toStdString());

    const QString viewer = qEnvironmentVariable(kHelpViewerVariable).trimmed();
    if (!viewer.isEmpty()) {
        QStringList arguments = QProcess::splitCommand(viewer);
        QProcess process;
        process.setProgram(arguments.takeFirst());
        process.setArguments(arguments << shown);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (command == HelpCommand::Topic)
            environment.insert(kHelpTopicVariable, QString::number(context));
        else
            environment.remove(kHelpTopicVariable);
        process.setProcessEnvironment(environment);
        if (!process.startDetached())
            throw Error(ErrorCode::Internal,
                        "No se pudo abrir el visor de ayuda '" + viewer.toStdString() + "' para "
                            + shown.toStdString());
        return;
    }
    // The desktop's handler has no notion of topics: it shows the file as a whole.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(shown)))
        throw Error(ErrorCode::Internal,
                    "No hay ningún visor de ayuda para " + shown.toStdString() + " (defina "
                        + std::string(kHelpViewerVariable) + ")");
}

} // namespace enlazio
