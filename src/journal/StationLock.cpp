#include "journal/StationLock.h"

#include "util/TextCodec.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace vek::journal {

namespace {

// One open descriptor, closed however the constructor ends.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    int take() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

std::string failure(const char* what, const std::string& path, int error) {
    return std::string("station lock: ") + what + " " + path + ": " + std::strerror(error);
}

// `place` names the file for the operator: "configuração" or "diário".
void lock(const Descriptor& fd, const std::string& path, const char* place) {
    int rc;
    while ((rc = ::flock(fd.get(), LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {}
    if (rc == 0) return;
    if (errno == EWOULDBLOCK) {
        throw AlreadyRunning(cp1252(std::string("Esta estação já está em execução (") + place + " " + path + ")."));
    }
    throw JournalError(failure("cannot lock", path, errno));
}

} // namespace

StationLock::StationLock(const std::string& journalPath, const std::string& settingsPath) {
    // Close-on-exec: a program the station starts must not go on holding its station's place.
    Descriptor settings(::open(settingsPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (settings.get() >= 0) {
        lock(settings, settingsPath, "configuração");
    } else if (errno != ENOENT) {
        throw JournalError(failure("cannot open", settingsPath, errno));
    }
    const std::string lockPath = journalPath + ".lock";
    Descriptor journal(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (journal.get() < 0) throw JournalError(failure("cannot open", lockPath, errno));
    lock(journal, journalPath, "diário");
    m_settings = settings.take();
    m_journal = journal.take();
}

StationLock::~StationLock() {
    release();
}

StationLock::StationLock(StationLock&& other) noexcept
    : m_settings(std::exchange(other.m_settings, -1)), m_journal(std::exchange(other.m_journal, -1)) {}

StationLock& StationLock::operator=(StationLock&& other) noexcept {
    if (this != &other) {
        release();
        m_settings = std::exchange(other.m_settings, -1);
        m_journal = std::exchange(other.m_journal, -1);
    }
    return *this;
}

// Closing the only descriptor of each open file lets the lock go.
void StationLock::release() noexcept {
    if (m_journal >= 0) ::close(m_journal);
    if (m_settings >= 0) ::close(m_settings);
    m_journal = m_settings = -1;
}

} // namespace vek::journal
