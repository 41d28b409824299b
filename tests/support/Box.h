#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vek::test {

/// The server's clock, for the time columns of a box.
inline const std::string kNow = "cast('now' as timestamp)";

/// The insert of one unit box (a CODCXUNIT row) with only the columns it is given: every other
/// column stays null. Values are SQL expressions, so that times follow the server's clock and a
/// block's loop can insert codes and tickets of its own; the text setters quote their value.
class Box {
public:
    explicit Box(int code) : Box(std::to_string(code)) {}
    explicit Box(std::string codeExpression) { set("CODIGO_CX", std::move(codeExpression)); }

    /// The tests' usual box: product P100, pattern 00001, size 38, ticket 000123/0001, emitted now.
    static Box usual(int code) { return usual(std::to_string(code)); }
    static Box usual(std::string codeExpression) {
        Box b(std::move(codeExpression));
        b.prod("P100").padron("00001").tam("38").prog("000123").ficha("0001").emitted();
        return b;
    }

    Box& prod(const std::string& v) { return text("PROD_CX", v); }
    Box& padron(const std::string& v) { return text("PADRON_CX", v); }
    Box& tam(const std::string& v) { return text("TAM_CX", v); }
    Box& marca(const std::string& v) { return text("MARCA_CX", v); }
    Box& prog(const std::string& v) { return text("PROG_CX", v); }
    Box& ficha(const std::string& v) { return text("FICHA_CX", v); }
    Box& pedido(const std::string& v) { return text("PEDIDO_CX", v); }
    Box& item(const std::string& v) { return text("ITEM_CX", v); }
    Box& conveyor(const std::string& v) { return text("ESTEIRA_CX", v); }
    Box& emitted(std::string expression = kNow) { return set("DTEMISSAO_CX", std::move(expression)); }
    Box& writtenOff(std::string expression = kNow) { return set("DTBAIXA_CX", std::move(expression)); }
    Box& cancelled(std::string expression = kNow) { return set("DATA_CANC_CX", std::move(expression)); }

    /// The column's value as an SQL expression; a column set again keeps its place.
    Box& set(const std::string& column, std::string expression) {
        for (auto& [c, e] : m_columns) {
            if (c == column) {
                e = std::move(expression);
                return *this;
            }
        }
        m_columns.emplace_back(column, std::move(expression));
        return *this;
    }
    Box& text(const std::string& column, const std::string& value) { return set(column, quoted(value)); }

    std::string sql() const {
        std::string columns, values;
        for (const auto& [c, e] : m_columns) {
            columns += (columns.empty() ? "" : ", ") + c;
            values += (values.empty() ? "" : ", ") + e;
        }
        return "insert into CODCXUNIT (" + columns + ") values (" + values + ")";
    }

    static std::string quoted(const std::string& value) {
        std::string q = "'";
        for (char c : value) {
            q += c;
            if (c == '\'') q += '\'';
        }
        return q + "'";
    }

private:
    std::vector<std::pair<std::string, std::string>> m_columns;
};

} // namespace vek::test
