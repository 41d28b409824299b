#include "http/HttpClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <mutex>
#include <utility>

namespace vek::http {

namespace {

void initialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Received {
    std::string body;
    bool tooLarge = false;
};

size_t writeBody(char* data, size_t size, size_t count, void* user) {
    auto* received = static_cast<Received*>(user);
    const size_t bytes = size * count;
    if (received->body.size() + bytes > HttpClient::kMaxBodySize) {
        received->tooLarge = true;
        return 0; // makes libcurl stop with a write error
    }
    received->body.append(data, bytes);
    return bytes;
}

int checkAbort(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* abort = static_cast<const std::function<bool()>*>(user);
    return *abort && (*abort)() ? 1 : 0;
}

struct SlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

} // namespace

struct HttpClient::Handle {
    CURL* curl = nullptr;
    Handle() {
        initialiseCurlOnce();
        curl = curl_easy_init();
        if (!curl) throw HttpError("Falha ao criar o cliente HTTP.", 0);
    }
    ~Handle() { curl_easy_cleanup(curl); }
};

HttpClient::HttpClient() : m_handle(std::make_unique<Handle>()) {}

HttpClient::~HttpClient() = default;

void HttpClient::setCredentials(const std::string& userName, const std::string& password) {
    m_credentials.emplace(userName, password);
}

void HttpClient::setProxy(const Proxy& proxy) {
    m_proxy = proxy;
}

void HttpClient::setConnectTimeout(std::chrono::milliseconds timeout) {
    m_connectTimeout = timeout;
}

void HttpClient::setReadTimeout(std::chrono::milliseconds timeout) {
    m_readTimeout = timeout;
}

void HttpClient::setRequestTimeout(std::chrono::milliseconds timeout) {
    m_requestTimeout = timeout;
}

void HttpClient::setAbortCheck(std::function<bool()> abort) {
    m_abort = std::move(abort);
}

namespace {

std::string checked(const std::string& url, HttpResponse response) {
    if (response.status < 200 || response.status > 299) {
        throw HttpError(url + ": HTTP " + std::to_string(response.status), response.status);
    }
    return std::move(response.body);
}

} // namespace

std::string HttpClient::get(const std::string& url) {
    return checked(url, send(url, nullptr));
}

std::string HttpClient::post(const std::string& url, const std::string& body, const std::string& contentType) {
    return checked(url, send(url, &body, contentType));
}

HttpResponse HttpClient::send(const std::string& url, const std::string* postBody, const std::string& contentType) {
    CURL* curl = m_handle->curl;
    curl_easy_reset(curl);
    Received received;
    std::unique_ptr<curl_slist, SlistFree> headers;

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // A read timeout, not a limit on the whole request: it fails once nothing arrives for the
    // timeout (under 1 byte/s over that many seconds), while a large answer that keeps coming is
    // read to its end.
    const long idleSeconds = std::max(1L, static_cast<long>((m_readTimeout.count() + 999) / 1000));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, idleSeconds);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_connectTimeout.count()));
    if (m_requestTimeout.count() > 0) {
        curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(m_requestTimeout.count()));
    }
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxBodySize));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &received);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, checkAbort);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &m_abort);

    if (m_credentials) {
        // Basic only: libcurl then sends the credentials with the first request.
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl_easy_setopt(curl, CURLOPT_USERNAME, m_credentials->first.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, m_credentials->second.c_str());
    }

    if (m_proxy) {
        // An empty proxy also keeps libcurl from taking one from the environment.
        const Proxy& proxy = *m_proxy;
        curl_easy_setopt(curl, CURLOPT_PROXY, proxy.server.c_str());
        if (!proxy.server.empty()) {
            if (proxy.port > 0) curl_easy_setopt(curl, CURLOPT_PROXYPORT, static_cast<long>(proxy.port));
            if (!proxy.userName.empty()) {
                curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, proxy.userName.c_str());
                curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, proxy.password.c_str());
                curl_easy_setopt(curl, CURLOPT_PROXYAUTH,
                                 static_cast<long>(proxy.basicAuthentication ? CURLAUTH_BASIC : CURLAUTH_ANY));
            }
        }
    }

    const std::string contentHeader = "Content-Type: " + contentType;
    if (postBody) {
        headers.reset(curl_slist_append(nullptr, contentHeader.c_str()));
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, postBody->data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(postBody->size()));
    }

    const CURLcode rc = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    // The handle keeps pointers to the header list and the body; drop them before they go.
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, nullptr);
    curl_easy_setopt(curl, CURLOPT_USERNAME, nullptr);
    curl_easy_setopt(curl, CURLOPT_PASSWORD, nullptr);

    if (rc != CURLE_OK) {
        const std::string cause = received.tooLarge ? "resposta grande demais" : curl_easy_strerror(rc);
        throw HttpError(url + ": " + cause, status);
    }
    return {status, std::move(received.body)};
}

} // namespace vek::http
