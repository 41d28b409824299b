#pragma once

#include "access/AccessServer.h"
#include "access/TVEKConnection.h"

#include <QDialog>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace vek::access::testing {

/// Two companies: the first with two main databases (one under a parent) and a catalogue, the
/// second with one main database. Descriptions and names carry Latin accents.
inline const std::string kTwoCompanies = R"([
  {"codigo": 1, "nome": "Cal\u00E7ados Vale", "bancos": [
    {"id": 11, "host": "srv01:/dados/vale.fdb", "password": "pw-vale", "type": "G",
     "description": "Produ\u00E7\u00E3o", "parent": 0},
    {"id": 12, "host": "srv01:/dados/teste.fdb", "password": "pw-teste", "type": "G",
     "description": "Teste", "parent": 11},
    {"id": 13, "host": "srv01:/dados/catalogo.fdb", "password": "pw-cat", "type": "C",
     "description": "Cat\u00E1logo", "parent": 0}
  ]},
  {"codigo": 2, "nome": "Solados Sul", "extra": "not read", "bancos": [
    {"id": 21, "host": "srv02:/dados/sul.fdb", "password": "pw-sul", "type": "G",
     "description": "Sul", "parent": 0}
  ]}
])";

/// An in-process access server on a free 127.0.0.1 port, and a client pointed at it.
struct ServedClient {
    explicit ServedClient(AccessServer::Options options,
                          std::chrono::milliseconds refreshInterval = TVEKConnection::kRefreshInterval)
        : server(std::make_unique<AccessServer>(std::move(options))), port(server->start("127.0.0.1", 0)),
          client(std::make_unique<TVEKConnection>(nullptr, refreshInterval)) {
        client->setHost("127.0.0.1:" + std::to_string(port));
    }
    static AccessServer::Options serving(std::string listText) {
        AccessServer::Options options;
        options.listText = std::move(listText);
        return options;
    }

    std::unique_ptr<AccessServer> server;
    int port;
    std::unique_ptr<TVEKConnection> client;
};

/// Runs `action` on the choice dialog once it is shown modally.
void whenChoiceDialogShown(std::function<void(QDialog&)> action);

} // namespace vek::access::testing
