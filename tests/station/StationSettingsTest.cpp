// The settings file: defaults, conversions, the byte order mark and the password by key.
#include "station/StationSettings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <unistd.h>

using namespace vek;

namespace {

TEST(StationSettings, DefaultsAndConversions) {
    const auto s = readStationSettings(IniFile::fromText("[esteira]\nBDADOS = /db/x.fdb \nTEMPO_ESPERA=12a\n"
                                                         "PORTA_UDP_ULT_ENTRADA=7000\nSETOR=\"10\"\n; SETOR=99\n"));
    EXPECT_EQ(s.BDADOS, "/db/x.fdb");
    EXPECT_EQ(s.CODESTEIRA, "ERRO");
    EXPECT_EQ(s.CHAVE, "2");
    EXPECT_EQ(s.TEMPO_ESPERA, 0) << "not a whole number reads as the default";
    EXPECT_EQ(s.PORTA_UDP_ULT_ENTRADA, 7000);
    EXPECT_EQ(s.SETOR, "10");
    EXPECT_EQ(s.EXIBIR_IMG_PRODUTO, "S");
    EXPECT_EQ(s.BDADOS_CATALOGO, "ERRO");
    EXPECT_FALSE(s.sectorMode());
    EXPECT_FALSE(s.scanMode());
    EXPECT_EQ(defaultSettingsPath("/opt/vek/vek-station"), "/opt/vek/vek-station.INI");
    EXPECT_EQ(defaultSettingsPath("/opt/v.1/QUILBAR.EXE"), "/opt/v.1/QUILBAR.INI");
}

TEST(StationSettings, ByteOrderMarkBeforeTheFirstSectionIsIgnored) {
    const std::string bom = "\xEF\xBB\xBF";
    struct Case {
        const char* what;
        std::string text;
        std::string bdados, codesteira;
    };
    const Case cases[] = {
        {"mark, Windows line ends", bom + "[ESTEIRA]\r\nBDADOS=/db/a.fdb\r\nCODESTEIRA=07\r\n", "/db/a.fdb", "07"},
        {"mark, Unix line ends", bom + "[ESTEIRA]\nBDADOS=/db/a.fdb\nCODESTEIRA=07\n", "/db/a.fdb", "07"},
        {"no mark", "[ESTEIRA]\nBDADOS=/db/a.fdb\nCODESTEIRA=07\n", "/db/a.fdb", "07"},
        {"half a mark is text", "\xEF\xBB[ESTEIRA]\nBDADOS=/db/a.fdb\nCODESTEIRA=07\n", "ERRO", "ERRO"},
    };
    const std::string path = ::testing::TempDir() + "vek-bom-" + std::to_string(::getpid()) + ".INI";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out << c.text;
        }
        for (const IniFile& ini : {IniFile(path), IniFile::fromText(c.text)}) {
            const StationSettings s = readStationSettings(ini);
            EXPECT_EQ(s.BDADOS, c.bdados);
            EXPECT_EQ(s.CODESTEIRA, c.codesteira);
        }
    }
    std::remove(path.c_str());
}

TEST(StationSettings, PasswordByKey) {
    EXPECT_EQ(passwordForKey("1"), "cobaltrim");
    EXPECT_EQ(passwordForKey("2"), "tovrak47");
    EXPECT_EQ(passwordForKey("3"), "TovRak47");
    EXPECT_EQ(passwordForKey("8"), "tov77rak");
    EXPECT_EQ(passwordForKey("9"), "");
    EXPECT_EQ(passwordForKey("22"), "");
    EXPECT_EQ(passwordForKey(""), "");
}

} // namespace
