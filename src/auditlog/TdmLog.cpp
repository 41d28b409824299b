#include "auditlog/TdmLog.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Delta.h"
#include "db/MemTable.h"
#include "db/Query.h"
#include "util/Text.h"

namespace vek::auditlog {

namespace sql {
const char* const kCampoChavePrimaria = "select idx.RDB$FIELD_NAME NOME_CAMPO\n"
                                        "from RDB$RELATION_CONSTRAINTS tc\n"
                                        "join RDB$INDEX_SEGMENTS idx on (idx.RDB$INDEX_NAME = tc.RDB$INDEX_NAME)\n"
                                        "where tc.RDB$CONSTRAINT_TYPE = 'PRIMARY KEY'\n"
                                        "and tc.RDB$RELATION_NAME = :NOME_TABELA\n"
                                        "order by idx.RDB$FIELD_POSITION";
const char* const kDataServidor = "select CURRENT_TIMESTAMP from RDB$DATABASE";
const char* const kGravarLog = "execute procedure GRAVALOG(:CHAVE, :ARQ, :CAMPO, :USUARIO, :DATA, :VRANT, :VRATU)";
} // namespace sql

namespace {

constexpr const char* kInserido = "INSERIDO";
constexpr const char* kExcluido = "EXCLUIDO";

/// One field of a changed record while it is examined.
struct TRegCamposLog {
    std::string Campo; // empty: the entry is free
    std::string VrAnt;
    std::string VrAtu;
    bool Alterado = false;
};
using TListaCamposLog = std::vector<TRegCamposLog>;

std::string firstChars(const std::string& text, std::size_t n) {
    return text.size() > n ? text.substr(0, n) : text;
}

/// The first entry that is free or already carries `campo`; the list grows by one free entry when
/// there is none.
TRegCamposLog& entradaDe(TListaCamposLog& lista, const std::string& campo) {
    for (TRegCamposLog& e : lista) {
        if (e.Campo.empty() || e.Campo == campo) {
            return e;
        }
    }
    lista.emplace_back();
    return lista.back();
}

/// Key values of one delta row joined by "|".
std::string chaveDe(const std::vector<int>& campos, const db::DeltaRow& row) {
    std::string chave;
    for (std::size_t k = 0; k < campos.size(); ++k) {
        if (k > 0) {
            chave += '|';
        }
        chave += row.values[static_cast<std::size_t>(campos[k])].asString();
    }
    return chave;
}

} // namespace

struct TdmLog::Componentes {
    explicit Componentes(db::Connection& c)
        : sqlCampoChavePrimaria(c, "sqlCampoChavePrimaria"), sqlDataServidor(c, "sqlDataServidor"),
          stpGravarLog(c, "stpGravarLog") {
        sqlCampoChavePrimaria.setSql(sql::kCampoChavePrimaria);
        sqlDataServidor.setSql(sql::kDataServidor);
        stpGravarLog.setSql(sql::kGravarLog);
    }
    db::Query sqlCampoChavePrimaria;
    db::Query sqlDataServidor;
    db::Query stpGravarLog;
};

TdmLog::TdmLog(std::string usuario, db::Connection& conexao)
    : m_usuario(std::move(usuario)), m_c(std::make_unique<Componentes>(conexao)) {}

TdmLog::~TdmLog() = default;

std::vector<std::string> TdmLog::CamposChavePrimaria(const std::string& tabela) {
    db::Query& q = m_c->sqlCampoChavePrimaria;
    q.close();
    q.param("NOME_TABELA").setString(tabela);
    q.open();
    std::vector<std::string> nomes;
    for (; !q.eof(); q.next()) {
        nomes.push_back(trimmed(q.field("NOME_CAMPO").asString()));
    }
    q.close();
    return nomes;
}

DateTime TdmLog::DataServidor() {
    db::Query& q = m_c->sqlDataServidor;
    q.close();
    q.open();
    const DateTime agora = q.fieldAt(0).asDateTime();
    q.close();
    return agora;
}

void TdmLog::WriteLogRow(const std::string& chave, const std::string& tabela, const std::string& campo,
                         const std::string& vrAnt, const std::string& vrAtu) {
    WriteRow({chave, tabela, campo, firstChars(m_usuario, kUsuarioMax), DataServidor(), vrAnt, vrAtu});
}

void TdmLog::WriteRow(const LogRow& row) {
    db::Query& p = m_c->stpGravarLog;
    p.param("CHAVE").setString(firstChars(row.chave, kChaveMax));
    p.param("ARQ").setString(row.tabela);
    p.param("CAMPO").setString(row.campo);
    p.param("USUARIO").setString(row.usuario);
    p.param("DATA").setDateTime(row.data);
    p.param("VRANT").setString(firstChars(row.vrAnt, kValorMax));
    p.param("VRATU").setString(firstChars(row.vrAtu, kValorMax));
    p.execute();
}

void TdmLog::LogChanges(const std::string& tabela, const db::MemTable& memoria) {
    if (memoria.changeCount() == 0) {
        return;
    }
    const db::Delta delta = memoria.delta();
    if (delta.empty()) {
        return;
    }

    std::vector<int> chave;
    for (const std::string& nome : CamposChavePrimaria(tabela)) {
        const int i = delta.fieldIndex(nome);
        if (i < 0) {
            throw db::DbError("Field '" + nome + "' not found in the changes of '" + memoria.name() + "'");
        }
        chave.push_back(i);
    }

    TListaCamposLog lista(1);
    const std::size_t n = delta.rows.size();
    for (std::size_t r = 0; r < n; ++r) {
        const db::DeltaRow& row = delta.rows[r];
        const std::string valorChave = chaveDe(chave, row);
        switch (row.status) {
        case db::RowStatus::Deleted:
            WriteLogRow(valorChave, tabela, kExcluido, kExcluido, kExcluido);
            break;
        case db::RowStatus::Inserted:
            WriteLogRow(valorChave, tabela, kInserido, kInserido, kInserido);
            break;
        case db::RowStatus::Changed:
            break; // consumed with the row before it
        case db::RowStatus::Unchanged: {
            // The values before the change, then (next row) the fields assigned during it.
            for (std::size_t f = 0; f < delta.fields.size(); ++f) {
                TRegCamposLog& e = entradaDe(lista, delta.fields[f].name);
                e.Campo = delta.fields[f].name;
                e.Alterado = false;
                e.VrAnt = row.values[f].asString();
            }
            if (r + 1 < n && delta.rows[r + 1].status == db::RowStatus::Changed) {
                const db::DeltaRow& novo = delta.rows[++r];
                for (std::size_t f = 0; f < delta.fields.size(); ++f) {
                    if (!novo.assigned[f]) {
                        continue;
                    }
                    TRegCamposLog& e = entradaDe(lista, delta.fields[f].name);
                    e.Alterado = false;
                    const std::string texto = novo.values[f].asString();
                    if (texto != e.VrAnt) {
                        e.VrAtu = texto;
                        e.Alterado = true;
                    }
                }
            }
            for (TRegCamposLog& e : lista) {
                if (e.Alterado) {
                    WriteLogRow(valorChave, tabela, e.Campo, e.VrAnt, e.VrAtu);
                }
                e = TRegCamposLog{};
            }
            break;
        }
        }
    }
}

} // namespace vek::auditlog
