#include "scan/DatabaseProbe.h"

#include "db/Connection.h"

namespace vek {

DatabaseProbe::~DatabaseProbe() {
    join();
}

void DatabaseProbe::join() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void DatabaseProbe::start(const std::string& location, const std::string& user, const std::string& password,
                          int connectTimeoutSeconds) {
    if (m_state.load() == State::Running) {
        return;
    }
    join(); // an ended attempt's thread
    m_state = State::Running;
    m_thread = std::thread([this, location, user, password, connectTimeoutSeconds] {
        State result = State::Failed;
        try {
            db::probeDatabase(location, user, password, connectTimeoutSeconds);
            result = State::Answered;
        } catch (...) {
            // Any failure is an answer of "not yet".
        }
        m_state = result;
    });
}

DatabaseProbe::State DatabaseProbe::take() {
    State s = m_state.load();
    if (s == State::Answered || s == State::Failed) {
        join();
        m_state = State::Idle;
    }
    return s;
}

} // namespace vek
