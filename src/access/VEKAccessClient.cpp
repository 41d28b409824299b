// The start-up's view of TVEKConnection: companies by index, kinds by letter, and a failure raised
// where the station needs a database and there is none.
#include "access/AccessClient.h"
#include "access/TVEKConnection.h"

#include <stdexcept>

namespace vek {

namespace {

using access::TDatabaseInfo;

ListedDatabase listed(const TDatabaseInfo& database) {
    return ListedDatabase{database.host, database.password};
}

class VEKAccessClient final : public AccessClient {
public:
    void setHost(const std::string& host) override { m_connection.setHost(host); }
    void LoadDatabaseList() override { m_connection.LoadDatabaseList(); }
    int CompanyCount() const override { return m_connection.CompanyCount(); }
    int Company(int index) const override {
        (void)m_connection.Company(index); // raises outside the list
        return index;
    }
    ListedDatabase FindDatabase(int company, const std::string& kind, int parent, bool fallback) const override {
        const TDatabaseInfo* found = access::TVEKConnection::FindDatabase(
            m_connection.Company(company), access::databaseKindOf(kind), parent, fallback);
        if (!found) throw std::runtime_error("Banco de dados do tipo " + kind + " nao encontrado.");
        return listed(*found);
    }
    int ChooseDatabase(const std::string& kind) override {
        return m_connection.ChooseDatabase(access::databaseKindOf(kind));
    }
    ListedDatabase SelectedDatabase() const override {
        const TDatabaseInfo* selected = m_connection.SelectedDatabase();
        if (!selected) throw std::runtime_error("Nenhum banco de dados selecionado.");
        return listed(*selected);
    }
    void setSelectedDatabase(const ListedDatabase& db) override {
        // The start-up hands back what FindDatabase gave; find the entry it came from.
        for (int c = 0; c < m_connection.CompanyCount(); ++c) {
            for (const auto& database : m_connection.Company(c).databases) {
                if (database->host == db.host && database->password == db.password) {
                    m_connection.setSelectedDatabase(database.get());
                    return;
                }
            }
        }
        throw std::runtime_error("Banco de dados nao listado pelo servidor de acesso.");
    }

private:
    access::TVEKConnection m_connection;
};

} // namespace

std::unique_ptr<AccessClient> makeAccessClient() {
    return std::make_unique<VEKAccessClient>();
}

} // namespace vek
