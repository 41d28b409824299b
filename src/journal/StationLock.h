#pragma once

#include "journal/JournalError.h"

#include <string>

namespace vek::journal {

/// Another station process holds this journal or this settings file. what() is the operator's
/// text, 8-bit.
class AlreadyRunning : public JournalError {
public:
    using JournalError::JournalError;
};

/// A station's hold on its journal and its settings file while it runs, so that no second process
/// settles its live scans: flock on `<journal>.lock` (never on the SQLite file, whose own POSIX
/// locks a close of another descriptor would drop) and on the settings file when it exists. The
/// kernel lets go when the process ends, however it ends. Readers such as `--journal` take none.
class StationLock {
public:
    /// Raises AlreadyRunning when another process holds either, JournalError when one cannot be
    /// opened or locked for another reason.
    StationLock(const std::string& journalPath, const std::string& settingsPath);
    ~StationLock();
    StationLock(StationLock&& other) noexcept;
    StationLock& operator=(StationLock&& other) noexcept;
    StationLock(const StationLock&) = delete;
    StationLock& operator=(const StationLock&) = delete;

private:
    void release() noexcept;
    int m_settings = -1;
    int m_journal = -1;
};

} // namespace vek::journal
