#pragma once

#include <string>

namespace vek::validation {

/// The answer of a validation or of one of its steps. Valido false: Mensagem says why, in the
/// operator's words (8-bit text); a validation that passes has an empty Mensagem.
struct TRetorno {
    bool Valido = false;
    std::string Mensagem;
};

} // namespace vek::validation
