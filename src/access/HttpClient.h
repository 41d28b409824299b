#pragma once

#include "access/TProxySettings.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>

namespace vek::access {

/// A request that did not end with a 2xx answer: no connection, time-out, HTTP error status.
/// The message names the URL and the cause, never the credentials.
class HttpError : public std::runtime_error {
public:
    HttpError(const std::string& message, long status) : std::runtime_error(message), m_status(status) {}
    /// The HTTP status, or 0 when no answer came.
    long status() const { return m_status; }

private:
    long m_status;
};

/// One libcurl easy handle, used by one thread at a time. Basic authentication is sent with every
/// request and answered with the same credentials when the server asks.
class HttpClient {
public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    void setCredentials(const std::string& userName, const std::string& password);
    void setProxy(const TProxySettings& proxy);
    /// A request fails when no data arrives for this long (whole seconds, at least one); an answer
    /// that keeps arriving is not cut off however long it takes.
    void setReadTimeout(std::chrono::milliseconds timeout);
    /// A running request gives up soon after the flag is set.
    void setAbortFlag(const std::atomic<bool>* abort);

    /// The answer's body; throws HttpError.
    std::string get(const std::string& url);
    std::string post(const std::string& url, const std::string& body);

    static constexpr std::chrono::milliseconds kConnectTimeout{5000};
    /// Bodies beyond this are refused while they arrive.
    static constexpr std::size_t kMaxBodySize = 8 * 1024 * 1024;

private:
    std::string perform(const std::string& url, const std::string* postBody);

    struct Handle;
    std::unique_ptr<Handle> m_handle;
    std::string m_userName;
    std::string m_password;
    TProxySettings m_proxy;
    std::chrono::milliseconds m_timeout{5000};
    const std::atomic<bool>* m_abort = nullptr;
};

} // namespace vek::access
