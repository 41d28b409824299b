#pragma once

#include <string>
#include <vector>

namespace vek {

/// The station's settings file, read once at start-up. Texts are 8-bit as in the file.
struct StationSettings {
    std::string BDADOS = "ERRO";
    std::string CODESTEIRA = "ERRO";
    std::string CHAVE = "2";
    int TEMPO_ESPERA = 0;
    std::string FUNCIONARIO;
    std::string EXIBIR_IMG_PRODUTO = "S";
    std::string SETOR;
    std::string SETOR_ATU_PRODUCAO_SETOR;
    int PORTA_UDP_ULT_ENTRADA = 0;
    std::string METRICAS_PORTA;                  // the metrics endpoint's port; empty: no endpoint
    std::string METRICAS_ENDERECO = "127.0.0.1"; // the address it listens on
    std::string BDADOS_CATALOGO = "ERRO";
    std::string BDADOS_ACESSO = "ERRO";
    std::string HOST; // section VEKSERVER
    std::string ATU_PRODUCAO_SETOR_CXUNIT = "N";
    std::string ULTIMO_SETOR_ATU_CXUNIT;
    std::string SETORES_CONSULTA_ETIQUETA;
    std::string MODO_BIPAGEM = "N";
    int FILIAL_ESTOQUE = 0;
    std::string DIARIO_LEITURAS; // the scan journal's file; empty: the default place
    int DIARIO_DIAS = 30;        // journal entries older than this many days are pruned at start-up
    std::string GUARDAR_SEM_CONEXAO = "S";

    bool sectorMode() const { return ATU_PRODUCAO_SETOR_CXUNIT == "S"; }
    bool scanMode() const { return MODO_BIPAGEM == "S"; }
    bool showPictures() const { return EXIBIR_IMG_PRODUTO == "S"; }
    /// A scan that meets no database is kept for later instead of refused.
    bool holdWithoutConnection() const { return GUARDAR_SEM_CONEXAO == "S"; }
};

/// A settings file in INI syntax: sections and keys found without regard to letter case, blanks
/// around values dropped, a value in matching quotes taken without them, ';' starts a comment line.
class IniFile {
public:
    /// A file that cannot be read gives no values (every key reads as its default).
    explicit IniFile(const std::string& path);
    static IniFile fromText(const std::string& text);

    std::string readString(const std::string& section, const std::string& key, const std::string& def) const;
    /// A value that is missing or not a whole number gives `def`.
    int readInteger(const std::string& section, const std::string& key, int def) const;

private:
    IniFile() = default;
    void parse(const std::string& text);
    struct Entry {
        std::string section, key, value;
    };
    std::vector<Entry> m_entries;
};

/// Reads the keys in the order the station documents them.
StationSettings readStationSettings(const IniFile& ini);

/// The executable's path with ".INI" in place of its extension (Linux executables have none, so it
/// is appended).
std::string defaultSettingsPath(const std::string& executablePath);

/// The system-wide settings file of an installed station.
inline constexpr const char* kSystemSettingsPath = "/etc/vek-station/vek-station.INI";

/// The settings file to read when none is named: the one beside the executable when it exists,
/// else `systemPath` when that exists, else the one beside the executable (so a missing file is
/// reported under the name the station looked for first).
std::string lookUpSettingsPath(const std::string& executablePath, const std::string& systemPath = kSystemSettingsPath);

/// The database password selected by CHAVE; the empty text means no password parameter.
std::string passwordForKey(const std::string& chave);

} // namespace vek
