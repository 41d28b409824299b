#pragma once

#include "access/AccessProtocol.h"
#include "access/DatabaseList.h"
#include "access/TProxySettings.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vek::access {

/// The system of the suite for which the client speaks. Only VEK is used by this station; the other
/// members stand for the suite's other systems, whose credentials this client does not know.
enum class TSistema { VEK, Sistema2, Sistema3, Sistema4 };

/// Who is logged in, for the access refresh. The station never fills it, so it never refreshes.
struct TVEKLogin {
    std::string UserName;
    std::string Group;
    std::string Info;
};

/// The access server client: lists the installation's companies and their databases, lets the
/// operator choose one, and refreshes the login's access in the background.
///
/// Thread safety: the operations may be called from one thread while the refresh thread runs; the
/// state they share is locked, and the HTTP client is used by one of them at a time. Entries handed
/// out live as long as the client, across later listings.
class TVEKConnection : public QObject {
public:
    static constexpr int kDefaultPort = 8080;
    static constexpr std::chrono::milliseconds kRefreshInterval{2000};
    static constexpr std::chrono::milliseconds kReadTimeout{5000};

    /// Starts the refresh thread at once.
    explicit TVEKConnection(QObject* owner = nullptr, std::chrono::milliseconds refreshInterval = kRefreshInterval);
    /// Stops the refresh thread (a request in flight is abandoned) and waits for it.
    ~TVEKConnection() override;

    bool Offline() const;

    /// "host" or "host:port": the text before the first ':' is the host, the text after it the port
    /// when it is a whole number (32 bits, whatever its value), else 8080. No scheme is expected: in
    /// "http://srv:9090" the host is "http" and the port 8080. "[v6 address]:port" keeps the brackets.
    /// A host that is not a host name, an IPv4 or a bracketed IPv6 address raises invalid_argument.
    void setHost(std::string_view address);
    std::string Host() const;
    std::int32_t Port() const;
    /// "http://" + host + ":" + port.
    std::string BaseUrl() const;

    TSistema Sistema() const;
    /// Also sets the HTTP credentials: VEK's user name and system key, none for the others.
    void setSistema(TSistema sistema);

    TProxySettings Proxy() const;
    void setProxy(const TProxySettings& proxy);

    bool Encrypt() const;
    void setEncrypt(bool encrypt);

    TVEKLogin Login() const;
    void setLogin(const TVEKLogin& login);

    /// Fetches the list. Never throws: any failure leaves no companies and Offline set.
    void LoadDatabaseList() noexcept;
    int CompanyCount() const;
    /// Throws std::out_of_range outside 0 to CompanyCount() - 1.
    const TCompanyInfo& Company(int index) const;

    static std::vector<const TDatabaseInfo*> FilterDatabases(const TCompanyInfo& company, TDatabaseKind kind,
                                                             std::int32_t parent);
    static const TDatabaseInfo* FindDatabase(const TCompanyInfo& company, TDatabaseKind kind, std::int32_t parent,
                                             bool fallback);

    /// Shows the choice dialog over every company's databases of the kind (parent 0); returns 1 (OK)
    /// or 2 (Cancel). OK selects the chosen line's database; OK on an empty list selects nothing new.
    int ChooseDatabase(TDatabaseKind kind);

    /// None until a database is chosen or set.
    const TDatabaseInfo* SelectedDatabase() const;
    void setSelectedDatabase(const TDatabaseInfo* database);

    /// Posts the login's access refresh; does nothing while offline, with no company or no login.
    /// Called by the refresh thread.
    void SendAccessRefresh();

private:
    std::string decoded(const std::string& body) const;
    void refreshLoop(std::chrono::milliseconds interval);

    mutable std::mutex m_stateMutex; // everything below but the HTTP client
    bool m_offline = true;
    std::string m_host;
    std::int32_t m_port = kDefaultPort;
    TSistema m_sistema = TSistema::VEK;
    std::string m_userName;
    std::string m_password;
    TProxySettings m_proxy;
    bool m_encrypt = true;
    TVEKLogin m_login;
    CompanyList m_companies;
    CompanyList m_retired; // earlier listings: their entries may still be selected or held
    const TDatabaseInfo* m_selected = nullptr;

    std::mutex m_httpMutex;
    std::unique_ptr<http::HttpClient> m_http;

    std::mutex m_stopMutex;
    std::condition_variable m_stopSignal;
    std::atomic<bool> m_stopping{false};
    std::thread m_refreshThread; // last: started when everything else exists
};

} // namespace vek::access
