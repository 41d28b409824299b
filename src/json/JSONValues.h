#pragma once

#include "json/TZAbstractObject.h"

#include <cstdint>
#include <string>

namespace vek::json {

/// Base of the two number classes.
class _Number : public TZAbstractObject {
public:
    virtual double asReal() const = 0;
    /// Reals are truncated toward zero; one outside the 32-bit range (or not a
    /// number at all) throws std::out_of_range rather than giving a wrong code.
    virtual std::int32_t asInteger() const = 0;
};

class _Integer final : public _Number {
public:
    explicit _Integer(std::int32_t value);

    std::int32_t value() const { return m_value; }
    double asReal() const override;
    std::int32_t asInteger() const override;

    JSONValuePtr duplicate() const override;
    std::string toText() const override;
    const char* className() const override;

    /// Radix 16: upper-cased, a leading "$" and then an "X" in second place
    /// dropped, digits summed in wrapping 32-bit arithmetic (std::invalid_argument
    /// for a character that is no hexadecimal digit). Radix 8: only "0", anything
    /// else throws NotImplmentedFeature. Radix 10: plain decimal (std::invalid_argument,
    /// std::out_of_range). Any other radix: 0.
    static std::int32_t parseRadix(const std::string& text, int radix);

private:
    std::int32_t m_value;
};

class _Double final : public _Number {
public:
    explicit _Double(double value);

    double value() const { return m_value; }
    double asReal() const override;
    std::int32_t asInteger() const override;

    JSONValuePtr duplicate() const override;
    /// Two decimals between double quotes: peers read reals as text.
    std::string toText() const override;
    const char* className() const override;

private:
    double m_value;
};

class _Boolean final : public TZAbstractObject {
public:
    explicit _Boolean(bool value);

    bool value() const { return m_value; }

    JSONValuePtr duplicate() const override;
    std::string toText() const override;
    const char* className() const override;

private:
    bool m_value;
};

class _String final : public TZAbstractObject {
public:
    explicit _String(std::string text);

    const std::string& text() const { return m_text; }

    /// Another _String with exactly the same text, letter case included.
    bool sameAs(const TZAbstractObject* other) const override;
    JSONValuePtr duplicate() const override;
    /// The text itself, without quotes or escapes.
    std::string toText() const override;
    const char* className() const override;

private:
    std::string m_text;
};

/// The JSON null, known to its users as the class NULL (a name C++ keeps for itself).
class _NULL final : public TZAbstractObject {
public:
    _NULL() = default;

    /// Any null, and no object at all.
    bool sameAs(const TZAbstractObject* other) const override;
    std::string toText() const override;
    const char* className() const override;
};

/// The values the parser gives for false, true and null. They exist once for the
/// whole process, from its first use of the library on.
const JSONValuePtr& SharedFalse();
const JSONValuePtr& SharedTrue();
const JSONValuePtr& SharedNull();

} // namespace vek::json
