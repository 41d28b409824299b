#pragma once

#include <stdexcept>

namespace vek::json {

/// Base of the library's own failures; each carries its message only.
/// Conversion failures (a text that is no number) are not among them: they
/// stay std::invalid_argument or std::out_of_range.
class JSONException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ParseException : public JSONException {
public:
    using JSONException::JSONException;
};

class NoSuchElementException : public JSONException {
public:
    using JSONException::JSONException;
};

class ClassCastException : public JSONException {
public:
    using JSONException::JSONException;
};

class NumberFormatException : public JSONException {
public:
    using JSONException::JSONException;
};

class NullPointerException : public JSONException {
public:
    using JSONException::JSONException;
};

/// The class keeps the spelling its users already catch it by.
class NotImplmentedFeature : public JSONException {
public:
    using JSONException::JSONException;
};

/// "Rotina Não Implementada" in the 8-bit code page.
inline constexpr const char* kNotImplementedMessage = "Rotina N\xE3o Implementada";

} // namespace vek::json
