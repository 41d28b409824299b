#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace vek::http {

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

/// An HTTP proxy; no server means requests go direct.
struct Proxy {
    std::string server;
    int port = 0;
    std::string userName;
    std::string password;
    bool basicAuthentication = false;
};

/// What came back; any status.
struct HttpResponse {
    long status = 0;
    std::string body;
};

/// One libcurl easy handle, used by one thread at a time. With credentials, Basic authentication
/// is sent with every request and answered with the same credentials when the server asks.
class HttpClient {
public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    void setCredentials(const std::string& userName, const std::string& password);
    /// Without a proxy set, libcurl's own choice (the environment's) stands.
    void setProxy(const Proxy& proxy);
    void setConnectTimeout(std::chrono::milliseconds timeout);
    /// A request fails when no data arrives for this long (whole seconds, at least one); an answer
    /// that keeps arriving is not cut off however long it takes.
    void setReadTimeout(std::chrono::milliseconds timeout);
    /// A limit on the whole request; none by default.
    void setRequestTimeout(std::chrono::milliseconds timeout);
    /// Asked while a request runs: true makes it give up soon.
    void setAbortCheck(std::function<bool()> abort);

    /// The answer's body; throws HttpError.
    std::string get(const std::string& url);
    std::string post(const std::string& url, const std::string& body,
                     const std::string& contentType = "application/json");
    /// The request (a POST when `body` is given) with whatever status it is answered; throws
    /// HttpError only when no answer came.
    HttpResponse send(const std::string& url, const std::string* body,
                      const std::string& contentType = "application/json");

    static constexpr std::chrono::milliseconds kConnectTimeout{5000};
    /// Bodies beyond this are refused while they arrive.
    static constexpr std::size_t kMaxBodySize = 8 * 1024 * 1024;

private:
    struct Handle;
    std::unique_ptr<Handle> m_handle;
    std::optional<std::pair<std::string, std::string>> m_credentials;
    std::optional<Proxy> m_proxy;
    std::chrono::milliseconds m_connectTimeout = kConnectTimeout;
    std::chrono::milliseconds m_readTimeout{5000};
    std::chrono::milliseconds m_requestTimeout{0};
    std::function<bool()> m_abort;
};

} // namespace vek::http
