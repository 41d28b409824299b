#include "access/TVEKConnection.h"

#include "access/ResponseCodec.h"
#include "access/TfrmSelecionarBanco.h"
#include "http/HttpClient.h"
#include "util/HostName.h"
#include "util/TextCodec.h"
#include "json/TJSONObject.h"

#include <charconv>
#include <cstdlib>
#include <stdexcept>

namespace vek::access {

namespace {

// A whole number that fits 32 bits, nothing around it. Its value is not judged here: a port the
// network cannot use makes the listing fail like any unreachable server.
bool parsePort(std::string_view text, std::int32_t& port) {
    // from_chars takes a leading '-' but not a '+'.
    if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    port = value;
    return true;
}

} // namespace

TVEKConnection::TVEKConnection(QObject* owner, std::chrono::milliseconds refreshInterval)
    : QObject(owner), m_http(std::make_unique<http::HttpClient>()) {
    m_http->setReadTimeout(kReadTimeout);
    m_http->setAbortCheck([this] { return m_stopping.load(); });
    setSistema(TSistema::VEK);
    m_refreshThread = std::thread([this, refreshInterval] { refreshLoop(refreshInterval); });
}

TVEKConnection::~TVEKConnection() {
    {
        const std::lock_guard lock(m_stopMutex);
        m_stopping = true;
    }
    m_stopSignal.notify_all();
    if (m_refreshThread.joinable()) m_refreshThread.join();
}

void TVEKConnection::refreshLoop(std::chrono::milliseconds interval) {
    std::unique_lock lock(m_stopMutex);
    while (!m_stopping) {
        lock.unlock();
        try {
            SendAccessRefresh();
        } catch (...) {
            // The next attempt comes after the interval.
        }
        lock.lock();
        m_stopSignal.wait_for(lock, interval, [this] { return m_stopping.load(); });
    }
}

bool TVEKConnection::Offline() const {
    const std::lock_guard lock(m_stateMutex);
    return m_offline;
}

void TVEKConnection::setHost(std::string_view address) {
    std::string_view host, portText;
    splitHostAndPort(address, host, portText);
    // The host goes into every request's address: anything but a host would change what is asked.
    if (!address.empty() && !isHostName(host)) {
        throw std::invalid_argument(cp1252("Endereço do servidor de acesso inválido: \"") + std::string(address) +
                                    "\"");
    }
    std::int32_t port = kDefaultPort;
    if (address.size() > host.size()) parsePort(portText, port); // else 8080 stays
    const std::lock_guard lock(m_stateMutex);
    m_host = std::string(host);
    m_port = port;
}

std::string TVEKConnection::Host() const {
    const std::lock_guard lock(m_stateMutex);
    return m_host;
}

std::int32_t TVEKConnection::Port() const {
    const std::lock_guard lock(m_stateMutex);
    return m_port;
}

std::string TVEKConnection::BaseUrl() const {
    const std::lock_guard lock(m_stateMutex);
    return "http://" + m_host + ":" + std::to_string(m_port);
}

TSistema TVEKConnection::Sistema() const {
    const std::lock_guard lock(m_stateMutex);
    return m_sistema;
}

void TVEKConnection::setSistema(TSistema sistema) {
    const std::lock_guard lock(m_stateMutex);
    m_sistema = sistema;
    const bool vek = sistema == TSistema::VEK;
    m_userName = vek ? kVekUserName : "";
    m_password = vek ? kVekSystemKey : "";
}

TProxySettings TVEKConnection::Proxy() const {
    const std::lock_guard lock(m_stateMutex);
    return m_proxy;
}

void TVEKConnection::setProxy(const TProxySettings& proxy) {
    {
        const std::lock_guard lock(m_stateMutex);
        m_proxy = proxy;
    }
    const std::lock_guard http(m_httpMutex);
    m_http->setProxy(proxy);
}

bool TVEKConnection::Encrypt() const {
    const std::lock_guard lock(m_stateMutex);
    return m_encrypt;
}

void TVEKConnection::setEncrypt(bool encrypt) {
    const std::lock_guard lock(m_stateMutex);
    m_encrypt = encrypt;
}

TVEKLogin TVEKConnection::Login() const {
    const std::lock_guard lock(m_stateMutex);
    return m_login;
}

void TVEKConnection::setLogin(const TVEKLogin& login) {
    const std::lock_guard lock(m_stateMutex);
    m_login = login;
}

std::string TVEKConnection::decoded(const std::string& body) const {
    const std::lock_guard lock(m_stateMutex);
    return m_encrypt ? DecodeResponse(body) : body;
}

void TVEKConnection::LoadDatabaseList() noexcept {
    std::string url;
    TProxySettings proxy;
    std::string userName;
    std::string password;
    bool vek = false;
    {
        const std::lock_guard lock(m_stateMutex);
        m_offline = true;
        url = "http://" + m_host + ":" + std::to_string(m_port) + kListPath;
        proxy = m_proxy;
        userName = m_userName;
        password = m_password;
        vek = m_sistema == TSistema::VEK;
    }
    CompanyList companies;
    bool listed = false;
    try {
        std::string body;
        {
            const std::lock_guard http(m_httpMutex);
            m_http->setProxy(proxy);
            m_http->setCredentials(userName, password);
            body = m_http->get(url);
        }
        companies = ParseDatabaseList(decoded(body));
        listed = vek;
        if (!vek) companies.clear();
    } catch (...) {
        companies.clear();
    }
    const std::lock_guard lock(m_stateMutex);
    for (auto& company : m_companies) m_retired.push_back(std::move(company));
    m_companies = std::move(companies);
    m_offline = !listed;
}

int TVEKConnection::CompanyCount() const {
    const std::lock_guard lock(m_stateMutex);
    return static_cast<int>(m_companies.size());
}

const TCompanyInfo& TVEKConnection::Company(int index) const {
    const std::lock_guard lock(m_stateMutex);
    if (index < 0 || index >= static_cast<int>(m_companies.size())) {
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    }
    return *m_companies[static_cast<std::size_t>(index)];
}

std::vector<const TDatabaseInfo*> TVEKConnection::FilterDatabases(const TCompanyInfo& company, TDatabaseKind kind,
                                                                  std::int32_t parent) {
    return access::FilterDatabases(company, kind, parent);
}

const TDatabaseInfo* TVEKConnection::FindDatabase(const TCompanyInfo& company, TDatabaseKind kind, std::int32_t parent,
                                                  bool fallback) {
    return access::FindDatabase(company, kind, parent, fallback);
}

int TVEKConnection::ChooseDatabase(TDatabaseKind kind) {
    std::vector<const TDatabaseInfo*> lines;
    {
        const std::lock_guard lock(m_stateMutex);
        for (const auto& company : m_companies) {
            for (const TDatabaseInfo* database : access::FilterDatabases(*company, kind, 0)) {
                lines.push_back(database);
            }
        }
    }
    TfrmSelecionarBanco dialog;
    for (const TDatabaseInfo* database : lines) dialog.addLine(database->description);
    const int result = dialog.execute();
    const int line = dialog.selectedLine();
    if (result == TfrmSelecionarBanco::kOk && line >= 0 && line < static_cast<int>(lines.size())) {
        setSelectedDatabase(lines[static_cast<std::size_t>(line)]);
    }
    return result;
}

const TDatabaseInfo* TVEKConnection::SelectedDatabase() const {
    const std::lock_guard lock(m_stateMutex);
    return m_selected;
}

void TVEKConnection::setSelectedDatabase(const TDatabaseInfo* database) {
    const std::lock_guard lock(m_stateMutex);
    m_selected = database;
}

void TVEKConnection::SendAccessRefresh() {
    json::TJSONObject request;
    std::string url;
    TProxySettings proxy;
    std::string userName;
    std::string password;
    {
        const std::lock_guard lock(m_stateMutex);
        if (m_offline || m_companies.empty() || m_login.UserName.empty()) return;
        const char* computer = std::getenv("COMPUTERNAME");
        request.putText("username", m_login.UserName);
        request.putText("group", m_login.Group);
        request.putText("database", m_selected ? std::to_string(m_selected->id) : "");
        request.putText("computer", computer ? computer : "");
        request.putInteger("system", kVekSystemCode);
        request.putText("info", m_login.Info);
        url = "http://" + m_host + ":" + std::to_string(m_port) + kRefreshPath + "/" + m_login.UserName;
        proxy = m_proxy;
        userName = m_userName;
        password = m_password;
    }
    std::string body;
    {
        const std::lock_guard http(m_httpMutex);
        m_http->setProxy(proxy);
        m_http->setCredentials(userName, password);
        body = m_http->post(url, request.toText());
    }
    (void)decoded(body); // read and dropped: the answer carries nothing the station uses
}

} // namespace vek::access
