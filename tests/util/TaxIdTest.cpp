#include "util/TaxId.h"

#include <gtest/gtest.h>

#include <string>

namespace vek {
namespace {

TEST(TaxIdTest, Validity) {
    struct Row {
        const char* text;
        bool valid;
    };
    const Row rows[] = {
        {"111.444.777-35", true},
        {"111.444.777-36", false},
        {"111.444.777-45", false},
        {"11.222.333/0001-81", true},
        {"11.222.333/0001-80", false},
        {"11.222.333/0001-91", false},
        {"529.982.247-25", true},
        {"04.252.011/0001-10", true},
        // The first remainder of 10 gives check digit 0 and adds 9 to the second sum.
        {"100.000.001-08", true},
        {"100.000.001-00", false},
        // Equal digits pass when their check digits fit.
        {"111.111.111-11", true},
        {"000.000.000-00", true},
        {"222.222.222-23", false},
        // Only the digits count.
        {"11144477735", true},
        {" 111 444 777 35 ", true},
        {"CPF: 111a444b777c35", true},
        {"x11 222 333 0001 81y", true},
        // Only 11 and 14 digits can pass.
        {"", false},
        {"abc.-/", false},
        {"11144477", false},
        {"111444777", false},
        {"1114447773", false},
        {"111444777350", false},
        {"1122233300018", false},
        {"112223330001810", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(isTaxIdValid(r.text), r.valid);
    }
}

TEST(TaxIdTest, CheckDigits) {
    EXPECT_EQ(cpfCheckDigits("111444777"), "35");
    EXPECT_EQ(cpfCheckDigits("100000001"), "08");
    EXPECT_EQ(cpfCheckDigits("000000019"), "10"); // second remainder of 10
    EXPECT_EQ(cnpjCheckDigits("112223330001"), "81");
    EXPECT_EQ(cpfCheckDigits("12345678"), "");
    EXPECT_EQ(cpfCheckDigits("12345678x"), "");
    EXPECT_EQ(cnpjCheckDigits("11222333000"), "");
}

TEST(TaxIdTest, DigitsAndMasks) {
    struct Row {
        const char* text;
        const char* digits;
        const char* formatted;
    };
    const Row rows[] = {
        {"12345678909", "12345678909", "123.456.789-09"},
        {"123.456.789-09", "12345678909", "123.456.789-09"},
        {"11222333000181", "11222333000181", "11.222.333/0001-81"},
        {"11.222.333/0001-81", "11222333000181", "11.222.333/0001-81"},
        {"12.345.678-9", "123456789", "123456789"},
        {"123456789012", "123456789012", "123456789012"},
        {"123456789012345", "123456789012345", "123456789012345"},
        {"\xB9\xB2\xB3"
         "1\xE7"
         "2",
         "12", "12"}, // superscripts and accented letters are not digits
        {"", "", ""},
        {"sem digitos", "", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(taxIdDigits(r.text), r.digits);
        EXPECT_EQ(formatTaxId(r.text), r.formatted);
    }
    EXPECT_EQ(taxIdDigits(std::string("1\0"
                                      "2",
                                      3)),
              "12");
}

} // namespace
} // namespace vek
