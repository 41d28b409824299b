#pragma once

#include "util/DateTime.h"

#include <memory>
#include <string>
#include <vector>

namespace vek::db {
class Connection;
class MemTable;
} // namespace vek::db

namespace vek::auditlog {

/// The statements the module sends, as sent.
namespace sql {
extern const char* const kCampoChavePrimaria; // sqlCampoChavePrimaria, parameter NOME_TABELA
extern const char* const kDataServidor;       // sqlDataServidor
extern const char* const kGravarLog;          // stpGravarLog: the procedure GRAVALOG
} // namespace sql

/// Lengths the module cuts its texts to before they reach GRAVALOG.
constexpr std::size_t kChaveMax = 30;
constexpr std::size_t kUsuarioMax = 20;
constexpr std::size_t kValorMax = 100;

/// One audit row as GRAVALOG receives it.
struct LogRow {
    std::string chave;
    std::string tabela;
    std::string campo;
    std::string usuario;
    DateTime data;
    std::string vrAnt;
    std::string vrAtu;
};

/// Turns the pending changes of an in-memory table into audit rows through the database's
/// procedure GRAVALOG: one row per field whose text changed, one per inserted and one per deleted
/// record, keyed by the record's primary key as the catalogue gives it. Server errors are not
/// caught; rows already written stay written. Texts are 8-bit.
class TdmLog {
public:
    /// The connection is not owned and must outlive the module; it is not opened here.
    TdmLog(std::string usuario, db::Connection& conexao);
    ~TdmLog();
    TdmLog(const TdmLog&) = delete;
    TdmLog& operator=(const TdmLog&) = delete;

    /// Writes the rows for every pending change of `memoria`, which holds rows of the database table
    /// `tabela` (named as the catalogue stores it, e.g. "PRODUCAO_SETOR"). The changes stay pending.
    /// Without a pending change nothing is sent to the server.
    void LogChanges(const std::string& tabela, const db::MemTable& memoria);

    /// One call of GRAVALOG with the module's user and the server's current time; key, user and
    /// values are cut.
    void WriteLogRow(const std::string& chave, const std::string& tabela, const std::string& campo,
                     const std::string& vrAnt, const std::string& vrAtu);
    /// One call of GRAVALOG for a row of another user or time (the stock's rows): key and values
    /// are cut, user and time go as given.
    void WriteRow(const LogRow& row);

    const std::string& usuario() const { return m_usuario; }

private:
    struct Componentes;
    /// The primary-key columns of `tabela`, in key order (empty without a primary key).
    std::vector<std::string> CamposChavePrimaria(const std::string& tabela);
    DateTime DataServidor();

    std::string m_usuario;
    std::unique_ptr<Componentes> m_c;
};

} // namespace vek::auditlog
