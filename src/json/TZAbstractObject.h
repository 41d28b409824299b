#pragma once

#include <memory>
#include <string>

namespace vek::json {

class TZAbstractObject;

/// A value in the hands of its owner: a container, or whoever took it out of
/// one. The three shared constants are referenced this way too, so no owner
/// ever ends their life.
using JSONValuePtr = std::shared_ptr<TZAbstractObject>;

/// Root of the value classes and of the tokenizer.
class TZAbstractObject {
public:
    virtual ~TZAbstractObject() = default;
    TZAbstractObject(const TZAbstractObject&) = delete;
    TZAbstractObject& operator=(const TZAbstractObject&) = delete;

    /// True only for this very object; never for no object.
    virtual bool sameAs(const TZAbstractObject* other) const;

    /// A new value with the same content, owned by the caller. Throws
    /// NotImplmentedFeature for the classes that cannot be copied.
    virtual JSONValuePtr duplicate() const;

    /// The class name and the object's address; value classes write themselves.
    virtual std::string toText() const;

    /// The class name as messages show it.
    virtual const char* className() const;

protected:
    TZAbstractObject() = default;
};

} // namespace vek::json
