// SPDX-License-Identifier: MIT
// Purpose: opens the tool's help file in a viewer: the one named by ENLAZIO_HELP_VIEWER, else the desktop's.
#pragma once

#include "app/desktop.h"

#include <string_view>

namespace enlazio {

// The variable naming the viewer command (with arguments of its own if needed). The
// resolved help file is appended as its last argument; for a topic, the context number
// is passed in ENLAZIO_HELP_TOPIC in the viewer's environment.
inline constexpr char kHelpViewerVariable[] = "ENLAZIO_HELP_VIEWER";
inline constexpr char kHelpTopicVariable[] = "ENLAZIO_HELP_TOPIC";

// Resolves windowsHelpFile through the drive mapping and starts the viewer without
// waiting for it. Throws Error(FileNotFound) when the file is missing and Error(Internal)
// when no viewer can be started; both messages name the file.
void openHelp(std::string_view windowsHelpFile, HelpCommand command, int context);

} // namespace enlazio
