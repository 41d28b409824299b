#pragma once

#include "db/Connection.h"
#include "db/Value.h"
#include "stock/TdmEstoqueProducao.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vek::stock::test {

/// 8-bit form of a UTF-8 literal, as the module's messages are.
std::string cp1252(const char* utf8);

/// A fresh copy of the main database with a module attached to its connection.
class StockDbTest : public ::testing::Test {
protected:
    StockDbTest();

    /// A booking request as the station fills it, dated 2024-05-06.
    static TRegEntradaEstoqueProd pedido(TTipoLancProducaoEstoque tipo);
    static TRegEntradaEstoqueProd cxUnit(std::int32_t codigo);

    /// An order item with one row per size and quantity; programme and ticket may be empty.
    void itemPedido(const std::string& ped, const std::string& item, const std::string& prod, const std::string& padron,
                    const std::vector<std::pair<std::string, int>>& grade, const std::string& prog = "",
                    const std::string& ficha = "", const std::string& sit = "P");
    void caixaUnit(std::int32_t codigo, const std::string& ped, const std::string& item, const std::string& tam);
    void parametro(const std::string& nome, const std::string& valor);

    /// The first column of the first row; null when there is no row.
    db::Value valor(const std::string& sql) const;
    int contar(const std::string& sqlFromWhere) const;
    /// Every row of a select, each as its columns' text.
    std::vector<std::vector<std::string>> linhas(const std::string& sql) const;

    vek::test::TestDb m_db;
    std::unique_ptr<db::Connection> m_con;
    TdmEstoqueProducao m_dm;
};

} // namespace vek::stock::test
