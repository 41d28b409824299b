#include "access/AccessServer.h"

#include "access/ResponseCodec.h"
#include "access/ResponseKeyTable.h"

#include <httplib.h>

#include <chrono>
#include <random>
#include <stdexcept>

namespace vek::access {

namespace {

constexpr const char* kRefreshPattern = "/services/rest/TAccessMethods/RefreshAccess/(.*)";

} // namespace

std::string base64Encode(const std::string& bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const auto n = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]) << 16 |
                                                  static_cast<unsigned char>(bytes[i + 1]) << 8 |
                                                  static_cast<unsigned char>(bytes[i + 2]));
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += kAlphabet[(n >> 6) & 63];
        out += kAlphabet[n & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t n = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (rest == 2) n |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += rest == 2 ? kAlphabet[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

AccessServer::AccessServer(Options options)
    : m_options(std::move(options)),
      m_expectedAuthorization("Basic " + base64Encode(m_options.userName + ":" + m_options.password)),
      m_server(std::make_unique<httplib::Server>()), m_seed(std::random_device{}()) {
    // One answer per connection: a client's idle connection would otherwise hold stop() for the
    // keep-alive time, and the station asks once every few seconds at most.
    m_server->set_keep_alive_max_count(1);
    const auto authorised = [this](const httplib::Request& request, httplib::Response& response) {
        if (request.get_header_value("Authorization") == m_expectedAuthorization) return true;
        response.status = 401;
        response.set_header("WWW-Authenticate", "Basic realm=\"vek\"");
        response.set_content("", "text/plain");
        return false;
    };
    m_server->Get(kListPath, [this, authorised](const httplib::Request& request, httplib::Response& response) {
        if (!authorised(request, response)) return;
        {
            const std::lock_guard lock(m_mutex);
            ++m_listRequests;
        }
        response.set_content(encoded(m_options.listText), "application/octet-stream");
    });
    m_server->Post(kRefreshPattern, [this, authorised](const httplib::Request& request, httplib::Response& response) {
        if (!authorised(request, response)) return;
        {
            const std::lock_guard lock(m_mutex);
            ++m_refreshLog.count;
            m_refreshLog.lastPath = request.path;
            m_refreshLog.lastBody = request.body;
        }
        response.set_content(encoded("{\"result\":true}"), "application/octet-stream");
    });
}

AccessServer::~AccessServer() {
    stop();
}

std::string AccessServer::encoded(const std::string& text) {
    if (!m_options.encrypt) return text;
    std::int32_t offset = 0;
    if (m_options.offset) {
        offset = *m_options.offset;
    } else {
        const std::lock_guard lock(m_mutex);
        m_seed = m_seed * 1664525u + 1013904223u;
        offset = static_cast<std::int32_t>((m_seed >> 8) % kResponseKeyTableSize);
    }
    return EncodeResponse(text, offset);
}

int AccessServer::bind(const std::string& address, int port) {
    if (port == 0) return m_server->bind_to_any_port(address);
    return m_server->bind_to_port(address, port) ? port : -1;
}

int AccessServer::start(const std::string& address, int port) {
    const int bound = bind(address, port);
    if (bound <= 0) throw std::runtime_error("Nao foi possivel abrir " + address + ":" + std::to_string(port));
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    // A stop() that came before the loop runs would be missed and leave the thread serving.
    while (!m_server->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return bound;
}

bool AccessServer::run(const std::string& address, int port, const std::function<void(int)>& onListening) {
    const int bound = bind(address, port);
    if (bound <= 0) return false;
    if (onListening) onListening(bound);
    return m_server->listen_after_bind();
}

void AccessServer::stop() {
    m_server->stop();
    if (m_thread.joinable()) m_thread.join();
}

AccessServer::RefreshLog AccessServer::refreshLog() const {
    const std::lock_guard lock(m_mutex);
    return m_refreshLog;
}

int AccessServer::listRequests() const {
    const std::lock_guard lock(m_mutex);
    return m_listRequests;
}

} // namespace vek::access
