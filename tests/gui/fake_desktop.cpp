// SPDX-License-Identifier: MIT
// Purpose: a scripted desktop for the window's tests: dialog answers in, messages, cursor and writes recorded.
#include "fake_desktop.h"

#include "formats/error.h"

namespace enlazio::test {

void FakeDesktop::noteVisibility()
{
    if (watched)
        watchedVisible.push_back(watched->isVisible());
}

bool FakeDesktop::executeOpenDialog(OpenDialogSettings& dialog)
{
    noteVisibility();
    proposals.push_back(dialog.fileName);
    if (answers.empty()) {
        ++unexpectedDialogs;
        return false;
    }
    const std::optional<QString> answer = answers.front();
    answers.pop_front();
    if (!answer)
        return false;
    dialog.fileName = *answer;
    return true;
}

void FakeDesktop::showMessage(const QString& text)
{
    noteVisibility();
    messages.push_back({ text, false });
}

void FakeDesktop::showFailure(const QString& text)
{
    noteVisibility();
    messages.push_back({ text, true });
}

void FakeDesktop::setCursor(AppCursor value)
{
    cursor = value;
    cursorChanges.push_back(value);
}

void FakeDesktop::writeProfileInteger(const std::filesystem::path& file, const std::string& section,
                                      const std::string& key, std::int32_t value)
{
    if (failingWrites > 0) {
        --failingWrites;
        throw Error(ErrorCode::SettingsWrite, "Unable to write to " + file.string());
    }
    writes.push_back({ file, section, key, value });
}

void FakeDesktop::showHelp(const std::string& windowsHelpFile, HelpCommand command, int context)
{
    if (helpFails)
        throw Error(ErrorCode::FileNotFound, "No se encuentra el archivo de ayuda " + windowsHelpFile);
    helpRequests.push_back({ windowsHelpFile, command, context });
}

QStringList FakeDesktop::messageTexts() const
{
    QStringList texts;
    for (const Message& message : messages)
        texts << (message.failure ? QStringLiteral("!") : QString()) + message.text;
    return texts;
}

std::vector<std::int32_t> FakeDesktop::writtenValues() const
{
    std::vector<std::int32_t> values;
    for (const SettingsWrite& write : writes)
        values.push_back(write.value);
    return values;
}

} // namespace enlazio::test
