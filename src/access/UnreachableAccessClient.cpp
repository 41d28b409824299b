#include "access/AccessClient.h"

#include <stdexcept>

namespace vek {

namespace {

class Unreachable : public AccessClient {
public:
    void setHost(const std::string& host) override { m_host = host; }
    void LoadDatabaseList() override {}
    int CompanyCount() const override { return 0; }
    int Company(int index) const override {
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    }
    ListedDatabase FindDatabase(int, const std::string& kind, int, bool) const override {
        throw std::runtime_error("Banco de dados do tipo " + kind + " nao encontrado.");
    }
    int ChooseDatabase(const std::string&) override { return 2; }
    ListedDatabase SelectedDatabase() const override { return m_selected; }
    void setSelectedDatabase(const ListedDatabase& db) override { m_selected = db; }

private:
    std::string m_host;
    ListedDatabase m_selected;
};

} // namespace

std::unique_ptr<AccessClient> unreachableAccessClient() {
    return std::make_unique<Unreachable>();
}

} // namespace vek
