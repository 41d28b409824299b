#pragma once

#include <stdexcept>

namespace vek {

/// A scan's unit of work lost its connection: its commit may have reached the server or not, so
/// only the database can tell what became of the scan. Nothing was shown for it yet.
class OutcomeInDoubt : public std::runtime_error {
public:
    /// `noAnswer`: the server stopped answering (a silent network) rather than closing on us, so
    /// trying it again at once would only wait again.
    explicit OutcomeInDoubt(const std::string& what, bool noAnswer = false)
        : std::runtime_error(what), m_noAnswer(noAnswer) {}
    bool noAnswer() const { return m_noAnswer; }

private:
    bool m_noAnswer;
};

} // namespace vek
