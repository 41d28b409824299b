#pragma once

// Internal to the database layer: access to the client library and RAII for its interfaces.

#include "db/DbError.h"

#include <firebird/Interface.h>

#include <utility>

namespace vek::db::fb {

Firebird::IMaster* master();
Firebird::IUtil* util();
Firebird::IProvider* provider();

/// Turns the library's exception into ours, with the formatted status text and the codes.
[[noreturn]] void rethrow(const Firebird::FbException& e);

/// A status wrapper that throws; one per call site, disposed on scope exit.
class Status {
public:
    Status() : m_status(master()->getStatus()), m_wrapper(m_status) {}
    ~Status() { m_status->dispose(); }
    Status(const Status&) = delete;
    Status& operator=(const Status&) = delete;
    Firebird::ThrowStatusWrapper* operator&() { return &m_wrapper; }

private:
    Firebird::IStatus* m_status;
    Firebird::ThrowStatusWrapper m_wrapper;
};

/// Runs `f` with a throwing status and converts the library's exception into DbError.
template <class F>
auto call(F&& f) {
    Status st;
    try {
        return f(&st);
    } catch (const Firebird::FbException& e) {
        rethrow(e);
    }
}

/// Owns one reference of a reference-counted interface. An interface that a successful commit,
/// rollback, close, free or detach has already released is dropped with `forget()`, never released again.
template <class T>
class Ref {
public:
    Ref() = default;
    explicit Ref(T* p) : m_p(p) {}
    ~Ref() { reset(); }
    Ref(Ref&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    Ref& operator=(Ref&& o) noexcept {
        if (this != &o) {
            reset();
            m_p = std::exchange(o.m_p, nullptr);
        }
        return *this;
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    void reset(T* p = nullptr) {
        if (m_p) {
            m_p->release();
        }
        m_p = p;
    }
    /// The interface released itself (successful commit, close, free, detach).
    void forget() { m_p = nullptr; }

private:
    T* m_p = nullptr;
};

/// Owns an XPB builder (disposable, not reference-counted).
class Xpb {
public:
    explicit Xpb(unsigned kind);
    ~Xpb() { m_b->dispose(); }
    Xpb(const Xpb&) = delete;
    Xpb& operator=(const Xpb&) = delete;
    Firebird::IXpbBuilder* operator->() const { return m_b; }
    const unsigned char* buffer();
    unsigned length();

private:
    Firebird::IXpbBuilder* m_b;
};

} // namespace vek::db::fb
