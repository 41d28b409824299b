#pragma once

#include <string>

namespace vek::journal {

/// The journal's file when `DIARIO_LEITURAS` names none: beside the settings file when that folder
/// is writable, else under ~/.local/state/vek-station/ (created when missing).
std::string defaultJournalPath(const std::string& settingsPath);

/// `configured` (the setting's value) when not empty, else the default above.
std::string journalPath(const std::string& configured, const std::string& settingsPath);

} // namespace vek::journal
