#include "scan/DashboardNotifier.h"

#include "http/HttpClient.h"
#include "station/RuntimeParameters.h"
#include "util/HostName.h"

#include <cstdio>
#include <optional>

namespace vek {

HttpPostQueue::HttpPostQueue() : m_thread([this] { run(); }) {}

HttpPostQueue::~HttpPostQueue() {
    {
        std::lock_guard lock(m_mutex);
        m_abortAt = std::chrono::steady_clock::now() + kCloseWait;
        m_abortTicks = m_abortAt.time_since_epoch().count();
        m_stop = true;
    }
    m_cv.notify_all();
    m_thread.join();
}

void HttpPostQueue::post(std::string url, std::string contentType, std::string body) {
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back({std::move(url), std::move(contentType), std::move(body)});
    }
    m_cv.notify_all();
}

bool HttpPostQueue::drain(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, limit, [this] { return m_queue.empty() && !m_busy; });
}

void HttpPostQueue::run() {
    for (;;) {
        Request r;
        {
            std::unique_lock lock(m_mutex);
            m_cv.wait(lock, [this] { return m_stop || !m_queue.empty(); });
            if (m_queue.empty() || std::chrono::steady_clock::now() >= m_abortAt) {
                if (!m_queue.empty()) {
                    std::fprintf(stderr, "dashboard: %zu notification(s) not sent at close\n", m_queue.size());
                }
                m_queue.clear();
                m_cv.notify_all();
                return;
            }
            r = std::move(m_queue.front());
            m_queue.pop_front();
            m_busy = true;
        }
        send(r);
        {
            std::lock_guard lock(m_mutex);
            m_busy = false;
        }
        m_cv.notify_all();
    }
}

void HttpPostQueue::send(const Request& r) {
    std::optional<http::HttpClient> client;
    try {
        client.emplace();
    } catch (const http::HttpError&) {
        std::fprintf(stderr, "dashboard: no HTTP client\n");
        return;
    }
    client->setConnectTimeout(kConnectTimeout);
    client->setRequestTimeout(kRequestTimeout);
    // Ends a transfer still running when the queue's time at close is up.
    client->setAbortCheck(
        [this] { return std::chrono::steady_clock::now().time_since_epoch().count() >= m_abortTicks.load(); });
    try {
        // The answer, whatever its status, is not looked at: a notification is sent or it is not.
        client->send(r.url, &r.body, r.contentType);
    } catch (const http::HttpError& e) {
        std::fprintf(stderr, "dashboard: %s\n", e.what());
    }
}

std::string DashboardNotifier::requestBody(int id) {
    return "{\"id_producao_setor_caixa_unitaria\": " + std::to_string(id) + "}";
}

std::string DashboardNotifier::requestUrl(const std::string& server) {
    return "http://" + server + ":3000/api/etiqueta_unitaria/atualizar_etiqueta_pendente_setor_anterior";
}

void DashboardNotifier::NotifyDashboard(int id) {
    if (m_params.VALIDAR_SETOR_ANT_OBRIG || m_params.SERVIDOR_NODE.empty()) {
        return;
    }
    if (!isHostName(m_params.SERVIDOR_NODE)) {
        // It becomes part of the address posted to: anything but a host is not sent, and said once.
        if (!m_badServerTold) {
            std::fprintf(stderr, "dashboard: SERVIDOR_NODE \"%s\" is not a host; no notification is sent\n",
                         m_params.SERVIDOR_NODE.c_str());
            m_badServerTold = true;
        }
        return;
    }
    m_queue.post(requestUrl(m_params.SERVIDOR_NODE), "application/json;charset=utf-8", requestBody(id));
}

} // namespace vek
