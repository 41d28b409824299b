#include "util/TaxExports.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The types come from the header, so the test also checks that header and library agree.
using ValidFn = decltype(&::CgcCpfValido);
using DesFn = decltype(&::des);
using TextFn = decltype(&::desFormataCGCCPF);

class TaxExportsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_handle = dlopen(VEK_TAX_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        if (s_handle != nullptr) {
            s_valid = reinterpret_cast<ValidFn>(dlsym(s_handle, "CgcCpfValido"));
            s_des = reinterpret_cast<DesFn>(dlsym(s_handle, "des"));
            s_digits = reinterpret_cast<TextFn>(dlsym(s_handle, "desFormataCGCCPF"));
            s_format = reinterpret_cast<TextFn>(dlsym(s_handle, "formataCGCCPF"));
        }
    }
    static void TearDownTestSuite() {
        if (s_handle != nullptr) {
            dlclose(s_handle);
        }
    }
    void SetUp() override {
        ASSERT_NE(s_handle, nullptr) << dlerror();
        ASSERT_TRUE(s_valid && s_des && s_digits && s_format);
    }

    // As a C caller would: ask for the length, then fetch.
    static std::string call(TextFn fn, const char* text) {
        const size_t n = fn(text, nullptr, 0);
        std::vector<char> buf(n + 1, 'X');
        EXPECT_EQ(fn(text, buf.data(), buf.size()), n);
        EXPECT_EQ(buf[n], '\0');
        return std::string(buf.data());
    }

    static inline void* s_handle = nullptr;
    static inline ValidFn s_valid = nullptr;
    static inline DesFn s_des = nullptr;
    static inline TextFn s_digits = nullptr;
    static inline TextFn s_format = nullptr;
};

TEST_F(TaxExportsTest, AllFourByName) {
    EXPECT_EQ(s_valid("111.444.777-35"), 1);
    EXPECT_EQ(s_valid("111.444.777-36"), 0);
    EXPECT_EQ(s_valid("11.222.333/0001-81"), 1);
    EXPECT_EQ(s_valid("11.222.333/0001-80"), 0);
    EXPECT_EQ(call(s_digits, "11.222.333/0001-81"), "11222333000181");
    EXPECT_EQ(call(s_format, "12345678909"), "123.456.789-09");
    EXPECT_EQ(call(s_format, "11222333000181"), "11.222.333/0001-81");
    EXPECT_EQ(call(s_format, "123456789"), "123456789");

    char buf[] = "11.222.333/0001-81";
    EXPECT_EQ(s_des(buf), buf);
    EXPECT_STREQ(buf, "11222333000181");
    char none[] = "sem numero";
    EXPECT_STREQ(s_des(none), "");

    // The C++ interface compiled into the library stays hidden.
    EXPECT_EQ(dlsym(s_handle, "_ZN3vek12isTaxIdValidESt17basic_string_viewIcSt11char_traitsIcEE"), nullptr);
}

TEST_F(TaxExportsTest, ShortBuffersAreCutAndTerminatedLikeSnprintf) {
    const char* text = "11.222.333/0001-81";
    for (const TextFn fn : {s_digits, s_format}) {
        const std::string full = call(fn, text);
        for (size_t size = 0; size <= full.size() + 2; ++size) {
            SCOPED_TRACE(full + " in " + std::to_string(size));
            std::vector<char> buf(size + 4, 'X');
            EXPECT_EQ(fn(text, buf.data(), size), full.size());
            if (size > 0) {
                EXPECT_EQ(std::string(buf.data()), full.substr(0, std::min(size - 1, full.size())));
            }
            EXPECT_EQ(std::count(buf.begin() + static_cast<long>(size), buf.end(), 'X'), 4) << "written past size";
        }
    }
}

TEST_F(TaxExportsTest, NullPointersAndAliasing) {
    EXPECT_EQ(s_valid(nullptr), 0);
    EXPECT_EQ(s_des(nullptr), nullptr);
    for (const TextFn fn : {s_digits, s_format}) {
        char buf[8] = "XXXXXXX";
        EXPECT_EQ(fn(nullptr, buf, sizeof buf), 0u);
        EXPECT_STREQ(buf, "");
        EXPECT_EQ(fn("12345678909", nullptr, 100), fn == s_format ? 14u : 11u);
    }
    // The result may go into the buffer that holds the argument.
    char buf[32] = "12345678909";
    EXPECT_EQ(s_format(buf, buf, sizeof buf), 14u);
    EXPECT_STREQ(buf, "123.456.789-09");
    EXPECT_EQ(s_digits(buf, buf, sizeof buf), 11u);
    EXPECT_STREQ(buf, "12345678909");
}

} // namespace
