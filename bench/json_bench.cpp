// Times the JSON work the station does: the access server's database list
// (50 companies with 5 databases each) and the recent-entries datagram.
#include "json/uJSON.h"

#include <chrono>
#include <cstdio>
#include <string>

using namespace vek::json;

namespace {

std::size_t g_sink = 0; // keeps the optimiser from dropping the work

std::string accessServerAnswer() {
    static const char* const kTypes[] = {"PRODUCAO", "CATALOGO", "ACESSO", "FISCAL", "HISTORICO"};
    std::string text = "[";
    for (int c = 1; c <= 50; ++c) {
        if (c > 1) {
            text += ",";
        }
        const std::string code = std::to_string(c);
        text += R"({"codigo":)" + code + R"(,"nome":"Cal\u00E7ados Vale do Sinos )" + code +
                R"( Ltda","cnpj":"12.345.678/0001-)" + code + R"(","ativo":true,"bancos":[)";
        for (int d = 0; d < 5; ++d) {
            const std::string id = std::to_string(c * 10 + d);
            text += std::string(d > 0 ? "," : "") + R"({"id":)" + id + R"(,"host":"srv0)" + std::to_string(d) +
                    R"(.vale.local:/dados/empresa)" + code + "/" + kTypes[d] + R"(.FDB","password":"k)" + id +
                    R"(x9","type":")" + kTypes[d] + R"(","description":"Produ\u00E7\u00E3o )" + kTypes[d] +
                    R"( empresa )" + code + R"(","parent":)" + (d == 0 ? std::string("0") : std::to_string(c * 10)) +
                    "}";
        }
        text += "]}";
    }
    return text + "]";
}

const std::string kDatagram = R"({"prog":"240517","ficha":"0042","subficha":"0000","setor":"05",)"
                              R"("codcxunit":1234567,"qtde":12,"hora":"2024-05-17 10:32:15","usuario":"JO\u00C3O"})";

template <typename Work>
void measure(const char* name, int iterations, Work work) {
    work(); // warm-up
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < iterations; ++i) {
        work();
    }
    const std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("%-42s %10.2f us/op  (%d ops)\n", name, elapsed.count() / iterations, iterations);
}

void readLikeTheClient(const TJSONArray& answer) {
    for (int i = 0; i < answer.count(); ++i) {
        const TJSONObject& company = answer.objectAt(i);
        g_sink += static_cast<std::size_t>(company.requireInteger("codigo")) + company.requireText("nome").size();
        const TJSONArray& databases = company.requireArray("bancos");
        for (int d = 0; d < databases.count(); ++d) {
            const TJSONObject& db = databases.objectAt(d);
            g_sink += static_cast<std::size_t>(db.requireInteger("id") + db.requireInteger("parent"));
            g_sink += db.requireText("host").size() + db.requireText("password").size() +
                      db.requireText("type").size() + db.requireText("description").size();
        }
    }
}

} // namespace

int main() {
    const std::string answerText = accessServerAnswer();
    const TJSONArray answer(answerText);
    std::printf("access server answer: %zu bytes, %d companies; datagram: %zu bytes\n", answerText.size(),
                answer.count(), kDatagram.size());

    measure("answer: parse", 2000, [&] { g_sink += static_cast<std::size_t>(TJSONArray(answerText).count()); });
    measure("answer: read every member (typed lookups)", 2000, [&] { readLikeTheClient(answer); });
    measure("answer: write", 2000, [&] { g_sink += answer.toText().size(); });
    measure("datagram: parse + requireText prog/ficha", 200000, [&] {
        const TJSONObject datagram(kDatagram);
        g_sink += datagram.requireText("prog").size() + datagram.requireText("ficha").size();
    });
    const TJSONObject datagram(kDatagram);
    measure("datagram: write", 200000, [&] { g_sink += datagram.toText().size(); });
    measure("refresh request: build + write", 200000, [&] {
        TJSONObject request;
        request.putText("username", "operador").putText("group", "PRODUCAO").putText("database", "10");
        request.putText("computer", "ESTEIRA-01").putInteger("system", 5).putText("info", "VEK 1.0");
        g_sink += request.toText().size();
    });
    std::printf("(checksum %zu)\n", g_sink);
    return 0;
}
