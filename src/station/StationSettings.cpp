#include "station/StationSettings.h"

#include "util/Text.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

namespace vek {

namespace {

bool sameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

} // namespace

IniFile::IniFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (in) {
        std::ostringstream text;
        text << in.rdbuf();
        parse(text.str());
    }
}

IniFile IniFile::fromText(const std::string& text) {
    IniFile f;
    f.parse(text);
    return f;
}

void IniFile::parse(const std::string& text) {
    std::string section;
    // Editors on the workstations save the file with a UTF-8 byte-order mark; it is not part of the
    // first line.
    static constexpr std::string_view kBom = "\xEF\xBB\xBF";
    std::istringstream lines(text.starts_with(kBom) ? text.substr(kBom.size()) : text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string t = trimmed(line);
        if (t.empty() || t[0] == ';' || t[0] == '#') {
            continue;
        }
        if (t.front() == '[') {
            const std::size_t close = t.find(']');
            section = trimmed(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            continue;
        }
        const std::size_t eq = t.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        std::string value = trimmed(t.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        m_entries.push_back({section, trimmed(t.substr(0, eq)), value});
    }
}

std::string IniFile::readString(const std::string& section, const std::string& key, const std::string& def) const {
    // The first occurrence wins, as with the platform's own reader.
    for (const Entry& e : m_entries) {
        if (sameText(e.section, section) && sameText(e.key, key)) {
            return e.value;
        }
    }
    return def;
}

int IniFile::readInteger(const std::string& section, const std::string& key, int def) const {
    const std::string s = readString(section, key, "");
    if (s.empty()) {
        return def;
    }
    int v = 0;
    const char* first = s.data();
    if (*first == '+') ++first;
    const auto r = std::from_chars(first, s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) {
        return def;
    }
    return v;
}

StationSettings readStationSettings(const IniFile& ini) {
    StationSettings s;
    const std::string e = "ESTEIRA";
    s.BDADOS = ini.readString(e, "BDADOS", "ERRO");
    s.CODESTEIRA = ini.readString(e, "CODESTEIRA", "ERRO");
    s.CHAVE = ini.readString(e, "CHAVE", "2");
    s.TEMPO_ESPERA = ini.readInteger(e, "TEMPO_ESPERA", 0);
    s.FUNCIONARIO = ini.readString(e, "FUNCIONARIO", "");
    s.EXIBIR_IMG_PRODUTO = ini.readString(e, "EXIBIR_IMG_PRODUTO", "S");
    s.SETOR = ini.readString(e, "SETOR", "");
    s.SETOR_ATU_PRODUCAO_SETOR = ini.readString(e, "SETOR_ATU_PRODUCAO_SETOR", "");
    s.PORTA_UDP_ULT_ENTRADA = ini.readInteger(e, "PORTA_UDP_ULT_ENTRADA", 0);
    s.BDADOS_CATALOGO = ini.readString(e, "BDADOS_CATALOGO", "ERRO");
    s.BDADOS_ACESSO = ini.readString(e, "BDADOS_ACESSO", "ERRO");
    s.HOST = ini.readString("VEKSERVER", "HOST", "");
    s.ATU_PRODUCAO_SETOR_CXUNIT = ini.readString(e, "ATU_PRODUCAO_SETOR_CXUNIT", "N");
    s.ULTIMO_SETOR_ATU_CXUNIT = ini.readString(e, "ULTIMO_SETOR_ATU_CXUNIT", "");
    s.SETORES_CONSULTA_ETIQUETA = ini.readString(e, "SETORES_CONSULTA_ETIQUETA", "");
    s.MODO_BIPAGEM = ini.readString(e, "MODO_BIPAGEM", "N");
    s.FILIAL_ESTOQUE = ini.readInteger(e, "FILIAL_ESTOQUE", 0);
    s.DIARIO_LEITURAS = ini.readString(e, "DIARIO_LEITURAS", "");
    s.DIARIO_DIAS = ini.readInteger(e, "DIARIO_DIAS", 30);
    s.GUARDAR_SEM_CONEXAO = ini.readString(e, "GUARDAR_SEM_CONEXAO", "S");
    s.METRICAS_PORTA = ini.readString(e, "METRICAS_PORTA", "");
    s.METRICAS_ENDERECO = ini.readString(e, "METRICAS_ENDERECO", "127.0.0.1");
    return s;
}

std::string defaultSettingsPath(const std::string& executablePath) {
    const std::size_t slash = executablePath.find_last_of('/');
    const std::size_t dot = executablePath.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        return executablePath.substr(0, dot) + ".INI";
    }
    return executablePath + ".INI";
}

std::string lookUpSettingsPath(const std::string& executablePath, const std::string& systemPath) {
    std::string beside = defaultSettingsPath(executablePath);
    std::error_code ec;
    if (std::filesystem::is_regular_file(beside, ec)) return beside;
    if (!systemPath.empty() && std::filesystem::is_regular_file(systemPath, ec)) return systemPath;
    return beside;
}

std::string passwordForKey(const std::string& chave) {
    static const char* const kPasswords[] = {"cobaltrim", "tovrak47", "TovRak47", "toVraK47",
                                             "toV47Rak",  "Tov47raK", "tov47rak", "tov77rak"};
    if (chave.size() == 1 && chave[0] >= '1' && chave[0] <= '8') {
        return kPasswords[chave[0] - '1'];
    }
    return {};
}

} // namespace vek
