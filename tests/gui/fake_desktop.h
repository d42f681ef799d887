// SPDX-License-Identifier: MIT
// Purpose: a scripted desktop for the window's tests: dialog answers in, messages, cursor and writes recorded.
#pragma once

#include "app/desktop.h"

#include <QPointer>
#include <QWidget>

#include <deque>
#include <optional>
#include <vector>

namespace enlazio::test {

class FakeDesktop : public Desktop {
public:
    struct Message {
        QString text;
        bool failure = false;
    };
    struct SettingsWrite {
        std::filesystem::path file;
        std::string section;
        std::string key;
        std::int32_t value = 0;
    };
    struct HelpRequest {
        std::string file;
        HelpCommand command = HelpCommand::Contents;
        int context = 0;
    };

    // One answer per dialog, in order: a path confirms it, nullopt cancels it.
    std::deque<std::optional<QString>> answers;
    // When set, whether this window was visible as each dialog or message came up.
    QPointer<QWidget> watched;

    std::vector<QString> proposals; // the file name each dialog proposed
    std::vector<bool> watchedVisible;
    std::vector<Message> messages;
    std::vector<AppCursor> cursorChanges;
    AppCursor cursor = AppCursor::Default;
    std::vector<SettingsWrite> writes;
    int failingWrites = 0; // the next writes that fail, as an unwritable file would
    std::vector<HelpRequest> helpRequests;
    bool helpFails = false;
    int unexpectedDialogs = 0;

    bool executeOpenDialog(OpenDialogSettings& dialog) override;
    void showMessage(const QString& text) override;
    void showFailure(const QString& text) override;
    void setCursor(AppCursor value) override;
    void writeProfileInteger(const std::filesystem::path& file, const std::string& section, const std::string& key,
                             std::int32_t value) override;
    void showHelp(const std::string& windowsHelpFile, HelpCommand command, int context) override;

    QStringList messageTexts() const;
    std::vector<std::int32_t> writtenValues() const;

private:
    void noteVisibility();
};

} // namespace enlazio::test
