#pragma once

#include <string>

namespace vek::journal {

/// The journal's file when `DIARIO_LEITURAS` names none: `<stem of the settings file>-journal.db`,
/// so two settings files in one folder get two journals. Beside the settings file when this user
/// can write that folder and no one else can (mode bits, sticky or not), else in stateFolder(),
/// created with mode 0700 when missing. Raises JournalError when the state folder is needed and no
/// home is found.
std::string defaultJournalPath(const std::string& settingsPath);

/// `configured` (the setting's value) when not empty, else the default above.
std::string journalPath(const std::string& configured, const std::string& settingsPath);

/// The user's folder for the station's own files: `$XDG_STATE_HOME/vek-station` when that is an
/// absolute path, else `<home>/.local/state/vek-station` with home from `$HOME` or, when that is
/// unset or empty, the user's passwd entry. Not created here. Raises JournalError when no home is
/// found: a shared folder such as /tmp is never taken instead.
std::string stateFolder();

} // namespace vek::journal
