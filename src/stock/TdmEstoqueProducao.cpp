#include "stock/TdmEstoqueProducao.h"

#include "auditlog/TdmLog.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/MemTable.h"
#include "db/Provider.h"
#include "db/Query.h"
#include "db/UnitOfWork.h"
#include "stock/TdmEstoqueProducaoSql.h"
#include "util/Text.h"
#include "util/TextCodec.h"

#include <ibase.h>

#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace vek::stock {

using db::Connection;
using db::MemTable;
using db::Query;
using db::Value;

namespace {

std::string txt(const char* utf8) {
    return fromQString(QString::fromUtf8(utf8));
}

ELancProducaoEstoqueException recusa(const char* utf8) {
    return ELancProducaoEstoqueException(txt(utf8));
}

constexpr const char* kMsgTipo = "Parametro TipoLancProducaoEstoque não foi informado corretamente.";

} // namespace

struct TdmEstoqueProducao::Componentes {
    MemTable cdsProdEst{"cdsProdEst"};
    MemTable cdsProdEstCanc{"cdsProdEstCanc"};

    std::unique_ptr<Query> sqlParam, sqlParams, sqlBloqLinhasCxUnit, sqlCodCxUnit, sqlCodCxColet, sqlSubFicha,
        sqlProdEst, sqlBloqItemPed;
    std::unique_ptr<Query> sqlLinhaEntradaAdd, sqlProdItemEstoque, sqlDescProdItemEst, sqlAddProdItemEstoque;
    std::unique_ptr<Query> sqlProdEstCanc, sqlChaveLogEntradaMp, sqlEntMpDel, sqlDataServ;
    std::unique_ptr<db::Provider> dspProdEst, dspProdEstCanc;

    Componentes() { cdsProdEst.addFieldDef(db::FieldDef::real("QTDE_NOVO_LANC")); }
    ~Componentes() { soltar(); }

    void soltar() {
        cdsProdEst.close();
        cdsProdEstCanc.close();
        cdsProdEst.setProvider(nullptr);
        cdsProdEstCanc.setProvider(nullptr);
        dspProdEst.reset();
        dspProdEstCanc.reset();
    }

    void criar(Connection& c) {
        soltar();
        auto q = [&c](const char* nome, const std::string& texto) {
            auto query = std::make_unique<Query>(c, nome);
            query->setSql(texto);
            return query;
        };
        sqlParam = q("sqlParam", sql::kParam);
        sqlParams = q("sqlParams", sql::kParams);
        sqlCodCxUnit = q("sqlCodCxUnit", sql::kCodCxUnit);
        sqlCodCxColet = q("sqlCodCxColet", sql::kCodCxColet);
        sqlSubFicha = q("sqlSubFicha", sql::kSubFicha);
        sqlProdEst = q("sqlProdEst", sql::kCabecalhoProdEst);
        sqlBloqItemPed = q("sqlBloqItemPed", sql::kBloqItemPed);
        sqlBloqItemPed->setSingleRow(true);
        sqlBloqLinhasCxUnit = q("sqlBloqLinhasCxUnit", sql::kBloqLinhasCxUnit);
        sqlBloqLinhasCxUnit->setSingleRow(true);
        sqlLinhaEntradaAdd = q("sqlLinhaEntradaAdd", sql::linhaEntradaAdd());
        sqlLinhaEntradaAdd->setSingleRow(true);
        sqlProdItemEstoque = q("sqlProdItemEstoque", sql::kProdItemEstoque);
        sqlDescProdItemEst = q("sqlDescProdItemEst", sql::kDescProdItemEst);
        sqlAddProdItemEstoque = q("sqlAddProdItemEstoque", sql::kAddProdItemEstoque);
        sqlProdEstCanc = q("sqlProdEstCanc", sql::kCabecalhoProdEstCanc);
        sqlChaveLogEntradaMp = q("sqlChaveLogEntradaMp", sql::kChaveLogEntradaMp);
        sqlEntMpDel = q("sqlEntMpDel", sql::kEntMpDel);
        sqlDataServ = q("sqlDataServ", sql::kDataServ);

        dspProdEst = std::make_unique<db::Provider>(*sqlProdEst, "dspProdEst");
        dspProdEstCanc = std::make_unique<db::Provider>(*sqlProdEstCanc, "dspProdEstCanc");
        dspProdEstCanc->setUpdateTable("PRODUCAO_ESTOQUE");
        cdsProdEst.setProvider(dspProdEst.get());
        cdsProdEstCanc.setProvider(dspProdEstCanc.get());
    }
};

TdmEstoqueProducao::TdmEstoqueProducao() : m_comp(std::make_unique<Componentes>()) {}

TdmEstoqueProducao::~TdmEstoqueProducao() = default;

void TdmEstoqueProducao::DefinirConexao(Connection& conexao) {
    m_conexao = &conexao;
    // The statements follow the connection, so that they always run in the transaction the
    // booking joins or opens.
    if (m_conexaoPendente || m_conexaoComponentes != &conexao) {
        m_comp->criar(conexao);
        m_conexaoComponentes = &conexao;
        m_conexaoPendente = false;
    }
}

Connection& TdmEstoqueProducao::conexao() const {
    if (!m_conexao) {
        throw std::logic_error("TdmEstoqueProducao: DefinirConexao was not called");
    }
    return *m_conexao;
}

TdmEstoqueProducao::Componentes& TdmEstoqueProducao::comp() const {
    return *m_comp;
}

MemTable& TdmEstoqueProducao::cdsProdEst() {
    return m_comp->cdsProdEst;
}

std::string TdmEstoqueProducao::LerParametro(const std::string& grupo, const std::string& param) {
    conexao();
    Query& q = *comp().sqlParam;
    q.close();
    q.param("GRUPO").setString(grupo);
    q.param("PARAM").setString(param);
    q.open();
    std::string valor = q.eof() ? std::string() : q.field("VALOR_PA").asString();
    q.close();
    return valor;
}

void TdmEstoqueProducao::LerParametros() {
    // The three rows in one read; a parameter given twice counts by its first row, as LerParametro reads it.
    conexao();
    Query& q = *comp().sqlParams;
    q.close();
    q.open();
    std::map<std::string, std::string> valores;
    for (; !q.eof(); q.next()) {
        // A CHAR column pads the name; the comparison in SQL did not see the padding.
        valores.try_emplace(withoutTrailingBlanks(q.field("PARAM_PA").asString()), q.field("VALOR_PA").asString());
    }
    q.close();
    auto valor = [&valores](const char* param) {
        const auto it = valores.find(param);
        return it == valores.end() ? std::string() : it->second;
    };
    m_atuCodCxColet = valor("ATU_CODCXCOLET") != "N";
    m_atuCodCxUnit = valor("ATU_CODCXUNIT") != "N";
    m_atuFilialProg = valor("ATU_FILIAL_PROG") == "S";
}

double TdmEstoqueProducao::Arredondar(double valor, int casas) {
    const double p = std::pow(10.0, casas);
    char texto[64];
    std::snprintf(texto, sizeof texto, "%.15g", p * valor);
    const double v = std::strtod(texto, nullptr);
    double r = std::trunc(v);
    const double f = v - r;
    if (f >= 0.5) {
        r += 1;
    } else if (f <= -0.5) {
        r -= 1;
    }
    return r / p;
}

bool TdmEstoqueProducao::PrepararRequisicao(TRegEntradaEstoqueProd& reg) const {
    using T = TTipoLancProducaoEstoque;
    auto semFicha = [&reg] {
        reg.Programacao.clear();
        reg.Ficha.clear();
        reg.Subficha.clear();
    };
    switch (reg.TipoLancProducaoEstoque) {
    case T::tlCxUnit:
        if (!m_atuCodCxUnit) return false;
        if (reg.CodigoCxUnit < 1) throw recusa("O parametro CodigoCxUnit não foi informado corretamente.");
        reg.CodigoCxColet = 0;
        semFicha();
        return true;
    case T::tlCxColet:
        if (!m_atuCodCxColet) return false;
        if (reg.CodigoCxColet < 1) throw recusa("O parametro CodigoCxColet não foi informado corretamente.");
        reg.CodigoCxUnit = 0;
        semFicha();
        return true;
    case T::tlFicha:
        if (reg.Programacao.empty() || reg.Ficha.empty()) {
            throw recusa("Os parametros Programacao/Ficha não forão informados corretamente.");
        }
        reg.CodigoCxUnit = 0;
        reg.CodigoCxColet = 0;
        reg.Subficha.clear();
        return true;
    case T::tlSubficha:
        if (reg.Programacao.empty() || reg.Ficha.empty() || reg.Subficha.empty()) {
            throw recusa("Os parametros Programacao/Ficha/Subficha não forão informados corretamente.");
        }
        reg.CodigoCxUnit = 0;
        reg.CodigoCxColet = 0;
        return true;
    case T::tlPedidoItem:
    case T::tlPedidoItemQtde:
        if (reg.Pedido.empty() || reg.ItemPed.empty()) {
            throw recusa("Os parametros Pedido/ItemPed não forão informados corretamente.");
        }
        reg.CodigoCxUnit = 0;
        reg.CodigoCxColet = 0;
        semFicha();
        return true;
    case T::tlAvulso:
        reg.CodigoCxUnit = 0;
        reg.CodigoCxColet = 0;
        return true;
    case T::tlMovInterno:
        if (reg.IdMovEstInterno < 1) throw recusa("O parametro IdMovEstInterno não foi informado corretamente.");
        reg.CodigoCxUnit = 0;
        reg.CodigoCxColet = 0;
        return true;
    }
    throw recusa(kMsgTipo);
}

void TdmEstoqueProducao::AbrirLinhas(const std::string& selecao) {
    MemTable& t = comp().cdsProdEst;
    t.close();
    comp().sqlProdEst->setSql(sql::kCabecalhoProdEst + selecao);
}

void TdmEstoqueProducao::AbrirLinhasPedidoItemTam(const std::string& ped, const std::string& item,
                                                  const std::string& tam) {
    AbrirLinhas(sql::kLinhasPedidoItemTam);
    Query& q = *comp().sqlProdEst;
    q.param("PED").setString(ped);
    q.param("ITEM").setString(item);
    q.param("TAM").setString(tam);
    comp().cdsProdEst.open();
}

void TdmEstoqueProducao::AbrirLinhasPedidoItem(const std::string& ped, const std::string& item) {
    AbrirLinhas(sql::kLinhasPedidoItem);
    Query& q = *comp().sqlProdEst;
    q.param("PED").setString(ped);
    q.param("ITEM").setString(item);
    comp().cdsProdEst.open();
}

void TdmEstoqueProducao::AbrirLinhasProgFicha(const std::string& prog, const std::string& ficha) {
    AbrirLinhas(sql::kLinhasProgFicha);
    Query& q = *comp().sqlProdEst;
    q.param("PROG").setString(prog);
    q.param("FICHA").setString(ficha);
    comp().cdsProdEst.open();
}

double TdmEstoqueProducao::LancarLimitado(double qtde) {
    MemTable& t = comp().cdsProdEst;
    const double falta = t.value("QTPED_IT").asDouble() - t.value("QTDE_JA_LANCADA").asDouble();
    const double tomado = falta > 0 ? (qtde <= falta ? qtde : falta) : 0.0;
    t.edit();
    t.setValue("QTDE_NOVO_LANC", Arredondar(tomado, 8));
    t.post();
    return tomado;
}

void TdmEstoqueProducao::LancarFixo(double qtde) {
    MemTable& t = comp().cdsProdEst;
    t.edit();
    t.setValue("QTDE_NOVO_LANC", Arredondar(qtde, 8));
    t.post();
}

void TdmEstoqueProducao::LancarLinhasCxColet(const std::string& numeracao, const std::string& qtPares) {
    MemTable& t = comp().cdsProdEst;
    // Slots of three characters; a slot starts below character 100 (counting from 1).
    for (std::size_t pos = 0; pos + 1 < 100; pos += 3) {
        const std::string tam = pos < numeracao.size() ? numeracao.substr(pos, 2) : std::string();
        if (trimmed(tam).empty()) {
            break;
        }
        const int qtde = wholeNumberOr0(pos < qtPares.size() ? trimmed(qtPares.substr(pos, 2)) : std::string());
        if (qtde <= 0) {
            continue;
        }
        for (t.first(); !t.eof(); t.next()) {
            if (t.value("TAM_IT").asString() == tam) {
                LancarLimitado(qtde);
                break;
            }
        }
    }
}

void TdmEstoqueProducao::LancarLinhasSubficha(const TRegEntradaEstoqueProd& reg) {
    Query& s = *comp().sqlSubFicha;
    s.close();
    s.param("PROG").setString(reg.Programacao);
    s.param("FICHA").setString(reg.Ficha);
    s.param("SUBFICHA").setString(reg.Subficha);
    s.open();
    std::vector<std::pair<double, std::string>> tamanhos;
    for (; !s.eof(); s.next()) {
        tamanhos.emplace_back(s.field("QTDE_PR").asDouble(), s.field("TAMA_PR").asString());
    }
    s.close();

    AbrirLinhasProgFicha(reg.Programacao, reg.Ficha);
    MemTable& t = comp().cdsProdEst;
    // The lines in size order, kept aside: an index would move an edited line behind the other
    // lines of its size.
    std::vector<std::pair<std::string, int>> porTamanho;
    for (t.first(); !t.eof(); t.next()) {
        porTamanho.emplace_back(t.value("TAM_IT").asString(), t.currentRow());
    }
    std::stable_sort(porTamanho.begin(), porTamanho.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [qtdeSub, tam] : tamanhos) {
        double q = qtdeSub;
        auto linha = std::lower_bound(porTamanho.begin(), porTamanho.end(), tam,
                                      [](const auto& l, const std::string& v) { return l.first < v; });
        for (; linha != porTamanho.end() && linha->first == tam; ++linha) {
            t.moveToRow(linha->second);
            q -= LancarLimitado(q);
            if (q <= 0) {
                break;
            }
        }
    }
}

bool TdmEstoqueProducao::MontarLinhas(const TRegEntradaEstoqueProd& reg) {
    using T = TTipoLancProducaoEstoque;
    MemTable& t = comp().cdsProdEst;
    t.close();
    switch (reg.TipoLancProducaoEstoque) {
    case T::tlCxUnit: {
        Query& q = *comp().sqlCodCxUnit;
        q.close();
        q.param("COD").setInt(reg.CodigoCxUnit);
        q.open();
        if (q.eof()) {
            q.close();
            return false;
        }
        const std::string ped = q.field("PEDIDO_CX").asString();
        const std::string item = q.field("ITEM_CX").asString();
        const std::string tam = q.field("TAM_CX").asString();
        q.close();
        AbrirLinhasPedidoItemTam(ped, item, tam);
        t.first();
        if (!t.eof()) {
            LancarLimitado(1);
        }
        return true;
    }
    case T::tlCxColet: {
        Query& q = *comp().sqlCodCxColet;
        q.close();
        q.param("COD").setInt(reg.CodigoCxColet);
        q.open();
        if (q.eof()) {
            q.close();
            return false;
        }
        const std::string ped = q.field("PEDIDO_CX").asString();
        const std::string item = q.field("ITEMPED_CX").asString();
        const std::string numeracao = q.field("NUMERACAO_CX").asString();
        const std::string qtPares = q.field("QTPARES_CX").asString();
        q.close();
        AbrirLinhasPedidoItem(ped, item);
        LancarLinhasCxColet(numeracao, qtPares);
        return true;
    }
    case T::tlFicha:
    case T::tlPedidoItem:
        if (reg.TipoLancProducaoEstoque == T::tlFicha) {
            AbrirLinhasProgFicha(reg.Programacao, reg.Ficha);
        } else {
            AbrirLinhasPedidoItem(reg.Pedido, reg.ItemPed);
        }
        for (t.first(); !t.eof(); t.next()) {
            LancarLimitado(t.value("QTPED_IT").asDouble());
        }
        return true;
    case T::tlSubficha:
        LancarLinhasSubficha(reg);
        return true;
    case T::tlPedidoItemQtde:
        AbrirLinhasPedidoItem(reg.Pedido, reg.ItemPed);
        for (t.first(); !t.eof(); t.next()) {
            LancarFixo(reg.Quantidade);
        }
        return true;
    case T::tlAvulso:
    case T::tlMovInterno:
        AbrirLinhasPedidoItem("ZZZZZZZZ", "ZZZ");
        t.append();
        t.setValue("PEDIDO_IT", Value("00000000"));
        t.setValue("ITEM_IT", Value("000"));
        t.setValue("PROD_IT", Value(reg.Produto));
        t.setValue("PADRON_IT", Value(reg.Padronizacao));
        t.setValue("TAM_IT", Value(reg.Tamanho));
        t.setValue("PROG_IT", Value("000000"));
        t.setValue("FICHA_IT", Value("0000"));
        t.setValue("FILIAL_PEDVENDA", Value(std::int32_t{0}));
        t.setValue("FILIAL_PROGRAMACAO", Value(std::int32_t{0}));
        t.setValue("QTPED_IT", Value(std::int32_t{0}));
        t.setValue("QTDE_NOVO_LANC", Value(Arredondar(reg.Quantidade, 8)));
        t.post();
        return true;
    }
    throw recusa(kMsgTipo);
}

void TdmEstoqueProducao::AbrirComBloqueio(Query& q) {
    db::ConflictRetry retry(conexao(), db::kConflictAttempts);
    for (;;) {
        try {
            q.close();
            q.open();
            return;
        } catch (const db::DbError& e) {
            q.close();
            if (!retry.again(e.isLockConflict() && !e.hasCode(isc_lock_timeout))) {
                throw;
            }
        }
    }
}

bool TdmEstoqueProducao::BloquearItensPedido(std::set<std::pair<std::string, std::string>>& bloqueados) {
    MemTable& t = comp().cdsProdEst;
    // Every item of the set, also one that looks fully booked: what it lacks is only known under its
    // lock. Sorted, so that two bookings spanning the same items take their locks in the same order.
    std::set<std::pair<std::string, std::string>> novos;
    for (t.first(); !t.eof(); t.next()) {
        std::pair item{t.value("PEDIDO_IT").asString(), t.value("ITEM_IT").asString()};
        if (!bloqueados.count(item)) {
            novos.insert(std::move(item));
        }
    }
    Query& q = *comp().sqlBloqItemPed;
    for (const auto& [ped, item] : novos) {
        q.param("PED").setString(ped);
        q.param("ITEM").setString(item);
        AbrirComBloqueio(q);
        q.close();
        bloqueados.emplace(ped, item);
    }
    return !novos.empty();
}

bool TdmEstoqueProducao::BloquearLinhasCxUnit(std::int32_t codigo,
                                              std::set<std::pair<std::string, std::string>>& bloqueados) {
    Query& q = *comp().sqlBloqLinhasCxUnit;
    q.param("COD").setInt(codigo);
    AbrirComBloqueio(q);
    const bool achou = q.field("FOUND").asInt() == 1;
    if (!q.field("PED").isNull()) {
        bloqueados.emplace(q.field("PED").asString(), q.field("ITEM").asString());
    }
    q.close();
    return achou;
}

void TdmEstoqueProducao::LancarEntrada(TRegEntradaEstoqueProd reg) {
    using T = TTipoLancProducaoEstoque;
    conexao();
    LerParametros();
    comp().cdsProdEst.close();
    if (reg.DataLanc < DateTime::fromDate(2017, 1, 1)) {
        throw recusa("O parametro DataLanc não foi informado corretamente.");
    }
    if (!PrepararRequisicao(reg)) {
        return;
    }
    // A unit box's lines name one order item only, its own: its lock is taken with the first look.
    const bool cxUnit = reg.TipoLancProducaoEstoque == T::tlCxUnit;
    if (!cxUnit && !MontarLinhas(reg)) {
        return;
    }

    db::UnitOfWork transacao(conexao());
    MemTable& t = comp().cdsProdEst;
    std::set<std::pair<std::string, std::string>> bloqueados;
    if (cxUnit && (!BloquearLinhasCxUnit(reg.CodigoCxUnit, bloqueados) || !MontarLinhas(reg))) {
        transacao.commit();
        return;
    }
    if (reg.TipoLancProducaoEstoque != T::tlAvulso && reg.TipoLancProducaoEstoque != T::tlMovInterno) {
        // What another station booked meanwhile is only seen once its lock is ours: the lines are
        // read again under the locks, until no item of them is left unlocked.
        while (BloquearItensPedido(bloqueados)) {
            if (!MontarLinhas(reg)) {
                transacao.commit();
                return;
            }
        }
    }
    for (t.first(); !t.eof(); t.next()) {
        if (t.value("QTDE_NOVO_LANC").asDouble() != 0) {
            GravarLinhaEntrada(reg);
        }
    }
    transacao.commit();
}

void TdmEstoqueProducao::GravarLinhaEntrada(const TRegEntradaEstoqueProd& reg) {
    conexao();
    MemTable& t = comp().cdsProdEst;
    const std::int32_t filialProg = t.value("FILIAL_PROGRAMACAO").asInt();
    const std::int32_t filialPed = t.value("FILIAL_PEDVENDA").asInt();
    if (reg.UsarFilialInformada == "S" && reg.FilialInformada > 0) {
        m_filialLanc = reg.FilialInformada;
    } else if (m_atuFilialProg && filialProg > 0) {
        m_filialLanc = filialProg;
    } else if (filialPed > 0) {
        m_filialLanc = filialPed;
    } else {
        m_filialLanc = reg.Filial;
    }

    const std::string prod = t.value("PROD_IT").asString();
    const std::string padron = t.value("PADRON_IT").asString();
    const std::string tam = t.value("TAM_IT").asString();

    const DateTime data = SqlTimeStampAt(reg.DataLanc, 0, 0, 0);
    const std::string docto = reg.Documento.empty() ? std::string("PRODES") : reg.Documento;
    const std::int32_t fornec = -1;
    const std::string serie = "ES";
    const std::int32_t ordem = 1;

    Query& e = *comp().sqlLinhaEntradaAdd;
    e.param("FILIAL_EMP").setInt(m_filialLanc);
    e.param("FORNEC_EMP").setInt(fornec);
    e.param("DOCTO_EMP").setString(docto);
    e.param("SERIE_EMP").setString(serie);
    e.param("ORDEM_EMP").setInt(ordem);
    e.param("DATA_EMP").setDateTime(data);
    e.param("TIPO_EMP").setString("EP");
    e.param("QTDE_EMP").setDouble(Arredondar(t.value("QTDE_NOVO_LANC").asDouble(), 8));
    e.param("PROD_EMP").setString(prod);
    e.param("PADRON_EMP").setString(padron);
    e.param("TAMANHO_EMP").setString(withoutTrailingBlanks(tam) == "*" ? std::string() : tam);
    e.param("USUARIO_EMP").setString(reg.Usuario);
    e.param("PROG_EMP").setString(t.value("PROG_IT").asString());
    e.param("FICHA_EMP").setString(t.value("FICHA_IT").asString());
    e.param("MOV_FISICA_EMP").setString("S");
    e.param("ID_ESTOQUE_MOV_INT_EMP").setInt(0);
    e.param("REG_SPED_K280_EMP").setString(reg.RegSpedK280);
    e.param("REG_SPED_K280_MES_ANO_EMP").setString(reg.RegSpedK280MesAno);
    // The production link's own columns; FILIAL_EMP to ORDEM_EMP and the id it shares with the entry.
    e.param("DATA_LANC").setDateTime(data);
    e.param("USUARIO").setString(reg.Usuario);
    e.param("PEDIDO").setString(t.value("PEDIDO_IT").asString());
    e.param("ITEM_PED").setString(t.value("ITEM_IT").asString());
    e.param("CODIGO_CXCOLET").setInt(reg.CodigoCxColet);
    e.param("CODIGO_CXUNIT").setInt(reg.CodigoCxUnit);
    e.param("PROG").setString(reg.Programacao);
    e.param("FICHA").setString(reg.Ficha);
    e.param("SUBFICHA").setString(reg.Subficha);
    e.param("ID_ESTOQUE_MOV_INT").setInt(reg.IdMovEstInterno);
    e.param("CODIGO").setString(CodigoItemEstoque(prod, padron, tam));
    auto gravou = [&e] {
        e.open();
        const bool faltou = e.field("MISSING").asInt() != 0;
        e.close();
        return !faltou;
    };
    if (!gravou()) {
        // The first entry of this product, pattern and size: its stock item is made, then used.
        BuscarProdItemEstoque(prod, padron, tam, m_filialLanc);
        if (!gravou()) {
            throw db::DbError("Stock item " + CodigoItemEstoque(prod, padron, tam) + " not found after it was made");
        }
    }
}

std::string TdmEstoqueProducao::CodigoItemEstoque(const std::string& produto, const std::string& padron,
                                                  const std::string& tamanho) {
    // A CHAR column pads its value; the padding is not part of the pattern or size.
    const std::string pad = withoutTrailingBlanks(padron);
    const std::string tam = withoutTrailingBlanks(tamanho);
    std::string codigo = produto;
    if (!pad.empty() && pad != "*") codigo += "." + pad;
    if (!tam.empty() && tam != "*") codigo += "." + tam;
    return codigo;
}

std::int32_t TdmEstoqueProducao::BuscarProdItemEstoque(const std::string& produto, const std::string& padron,
                                                       const std::string& tamanho, std::int32_t filial) {
    conexao();
    const std::string pad = withoutTrailingBlanks(padron);
    const std::string tam = withoutTrailingBlanks(tamanho);
    const std::string codigo = CodigoItemEstoque(produto, padron, tamanho);

    Query& busca = *comp().sqlProdItemEstoque;
    busca.close();
    busca.param("CODIGO").setString(codigo);
    busca.open();
    const std::int32_t existente = busca.eof() ? 0 : busca.field("ID_PI").asInt();
    busca.close();
    if (existente > 0) {
        return existente;
    }

    Query& d = *comp().sqlDescProdItemEst;
    d.close();
    d.param("PROD").setString(produto);
    d.param("PADRON").setString(padron);
    d.param("FILIAL").setInt(filial);
    d.open();
    std::string descricao;
    if (!d.eof()) {
        const std::string descNf = d.field("DESCNF_PR").asString();
        descricao = descNf.empty() ? d.field("DESC_PR").asString() : descNf;
        const std::string descPadron = d.field("DESC_PADRON").asString();
        if (!descPadron.empty()) {
            descricao += " " + descPadron;
            if (!tam.empty()) {
                descricao += " " + tam;
            }
            if (d.field("FILIAL_FORMA_AGRUP_ITENS").asString() == "PRODPADTAMREF") {
                descricao += " REF " + codigo;
            }
        }
    }
    d.close();

    const std::int32_t id = conexao().nextId(sql::kGeradorProdItem);
    Query& add = *comp().sqlAddProdItemEstoque;
    add.param("O_ID_PROD_ITEM_EST").setInt(id);
    add.param("I_PROD").setString(produto);
    add.param("I_PADRON").setString(pad.empty() ? std::string("*") : padron);
    add.param("I_TAMANHO").setString(tam.empty() ? std::string("*") : tam);
    add.param("V_CODIGO").setString(codigo);
    add.param("V_DESC_PROD_ITEM_EST").setString(descricao);
    try {
        add.execute();
    } catch (const db::DbError& e) {
        // Another station created the item while this one waited on its code: book against theirs.
        if (!e.isUniqueViolation()) {
            throw;
        }
        busca.close();
        busca.open();
        const std::int32_t deles = busca.eof() ? 0 : busca.field("ID_PI").asInt();
        busca.close();
        if (deles <= 0) {
            throw;
        }
        return deles;
    }
    return id;
}

void TdmEstoqueProducao::CancelarEntrada(const TRegEntradaEstoqueProd& reg) {
    conexao();
    const char* const selecao = SelecaoCancelamento(reg.TipoLancProducaoEstoque);
    AbrirLigacoesCancelamento(reg, selecao);

    db::UnitOfWork transacao(conexao());
    MemTable& links = comp().cdsProdEstCanc;
    auditlog::TdmLog log(reg.Usuario, conexao());
    bool marcou = false;
    for (links.first(); !links.eof(); links.next()) {
        CancelarLigacao(reg, log);
        marcou = true;
    }
    if (marcou) {
        links.applyChanges();
    }
    transacao.commit();
}

const char* TdmEstoqueProducao::SelecaoCancelamento(TTipoLancProducaoEstoque tipo) {
    using T = TTipoLancProducaoEstoque;
    switch (tipo) {
    case T::tlCxUnit:
        return sql::kCancCxUnit;
    case T::tlCxColet:
        return sql::kCancCxColet;
    case T::tlFicha:
        return sql::kCancFicha;
    case T::tlSubficha:
        return sql::kCancSubficha;
    case T::tlPedidoItem:
        return sql::kCancPedidoItem;
    case T::tlAvulso:
        return sql::kCancAvulso;
    case T::tlMovInterno:
        return sql::kCancMovInterno;
    default:
        // Kind 5 bookings are taken back with kind 4; other kinds have no selection.
        throw recusa(kMsgTipo);
    }
}

void TdmEstoqueProducao::AbrirLigacoesCancelamento(const TRegEntradaEstoqueProd& reg, const char* selecao) {
    using T = TTipoLancProducaoEstoque;
    Componentes& c = comp();
    Query& sel = *c.sqlProdEstCanc;
    c.cdsProdEstCanc.close();
    sel.setSql(std::string(sql::kCabecalhoProdEstCanc) + selecao + sql::kCancAtivas);
    switch (reg.TipoLancProducaoEstoque) {
    case T::tlCxUnit:
        sel.param("COD_CX_UNIT").setInt(reg.CodigoCxUnit);
        break;
    case T::tlCxColet:
        sel.param("COD_CX_COLET").setInt(reg.CodigoCxColet);
        break;
    case T::tlSubficha:
        sel.param("SUBFICHA").setString(reg.Subficha);
        [[fallthrough]];
    case T::tlFicha:
        sel.param("PROG").setString(reg.Programacao);
        sel.param("FICHA").setString(reg.Ficha);
        break;
    case T::tlPedidoItem:
        sel.param("PED").setString(reg.Pedido);
        sel.param("ITEM").setString(reg.ItemPed);
        break;
    case T::tlAvulso:
        sel.param("ID_PRODUCAO_ESTOQUE").setInt(reg.IdProducaoEstoque);
        break;
    default:
        sel.param("ID_ESTOQUE_MOV_INT").setInt(reg.IdMovEstInterno);
        break;
    }
    c.cdsProdEstCanc.open();
}

void TdmEstoqueProducao::CancelarLigacao(const TRegEntradaEstoqueProd& reg, auditlog::TdmLog& log) {
    ApontarEntradaDaLigacao();
    const std::string chaveLog = LerChaveLogEntrada();
    // One reading of the server's clock stamps both the audit row and the cancelled link.
    const DateTime momento = LerDataServidor();
    if (!chaveLog.empty()) {
        log.WriteRow({chaveLog, "ENTRADAMP", "EXCLUIDO", reg.Usuario, momento,
                      "Cancelamento de Entrada de Estoque de Producao", ""});
    }
    comp().sqlEntMpDel->execSql();
    MarcarLigacaoCancelada(momento, reg.Usuario);
}

void TdmEstoqueProducao::ApontarEntradaDaLigacao() {
    Componentes& c = comp();
    const MemTable& links = c.cdsProdEstCanc;
    for (Query* q : {c.sqlChaveLogEntradaMp.get(), c.sqlEntMpDel.get()}) {
        q->close();
        q->param("FILIAL").setInt(links.value("FILIAL_EMP_ES").asInt());
        q->param("FORNEC").setInt(links.value("FORNEC_EMP_ES").asInt());
        q->param("DOC").setString(links.value("DOCTO_EMP_ES").asString());
        q->param("SER").setString(links.value("SERIE_EMP_ES").asString());
        q->param("ITEM").setInt(links.value("ITEM_EMP_ES").asInt());
        q->param("ORDEM").setInt(links.value("ORDEM_EMP_ES").asInt());
    }
}

std::string TdmEstoqueProducao::LerChaveLogEntrada() {
    Query& chave = *comp().sqlChaveLogEntradaMp;
    chave.open();
    std::string chaveLog = chave.eof() ? std::string() : chave.field("CHAVE_LOG").asString();
    chave.close();
    return chaveLog;
}

DateTime TdmEstoqueProducao::LerDataServidor() {
    Query& agora = *comp().sqlDataServ;
    agora.close();
    agora.open();
    const DateTime momento = agora.fieldAt(0).asDateTime();
    agora.close();
    return momento;
}

void TdmEstoqueProducao::MarcarLigacaoCancelada(const DateTime& momento, const std::string& usuario) {
    MemTable& links = comp().cdsProdEstCanc;
    links.edit();
    links.setValue("DATA_CANC_ES", Value(momento));
    links.setValue("USUARIO_CANC_ES", Value(usuario));
    links.setValue("STATUS_ES", Value("C"));
    links.post();
}

} // namespace vek::stock
