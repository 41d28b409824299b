#pragma once

/*
 * Exported C functions for Brazilian tax identifiers (CPF/CNPJ), callable by name
 * from any program through dlopen/dlsym or by linking.
 *
 * Binary interface (plain C, the platform's default calling convention):
 *   - Texts in are NUL-terminated 8-bit strings; only the characters '0'..'9' count.
 *     A null pointer is taken as the empty text.
 *   - Texts out are written into the caller's buffer `out` of `outSize` bytes, as
 *     snprintf does: at most outSize - 1 characters followed by a NUL when outSize > 0,
 *     nothing when outSize is 0 or `out` is null. The return value is the full length
 *     of the result without its NUL; a value >= outSize means the result was cut and
 *     the caller may retry with a buffer of return value + 1 bytes.
 *   - `out` may be the very buffer that holds `text`.
 *   - No function keeps a pointer after it returns, none allocates memory the caller
 *     must free, and none is affected by the process locale. All are thread-safe.
 *
 * This file and TaxExports.cpp depend only on TaxId, so the same definitions can be
 * compiled into an executable that exports them (link it with ENABLE_EXPORTS / -rdynamic).
 */

#include <stddef.h>

#define VEK_TAX_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* 1 when the digits of `text` are a CPF (11) or CNPJ (14) with the right check digits, else 0. */
VEK_TAX_EXPORT int CgcCpfValido(const char* text);

/* Rewrites the NUL-terminated text in `buffer` to its digits followed by NUL, in place
 * (the result is never longer), and returns `buffer`; null gives null. */
VEK_TAX_EXPORT char* des(char* buffer);

/* The digits of `text`. */
VEK_TAX_EXPORT size_t desFormataCGCCPF(const char* text, char* out, size_t outSize);

/* The digits of `text` with the CPF mask (11 digits: 999.999.999-99), the CNPJ mask
 * (14 digits: 99.999.999/9999-99), or bare for any other count. */
VEK_TAX_EXPORT size_t formataCGCCPF(const char* text, char* out, size_t outSize);

#ifdef __cplusplus
}
#endif
