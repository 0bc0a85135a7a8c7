// Shared pieces of the fuzz targets: texts from fuzz bytes and a check that stays on in
// release builds (a failed invariant must crash so libFuzzer keeps the input).
#pragma once
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(condition)                                                            \
    do {                                                                                 \
        if (!(condition)) {                                                              \
            std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__,    \
                         #condition);                                                    \
            std::abort();                                                                \
        }                                                                                \
    } while (0)

// UTF-16 text of up to `maxChars` units; every unit value can occur, surrogate halves and
// NUL included.
inline std::u16string ConsumeU16(FuzzedDataProvider& data, size_t maxChars) {
    const size_t chars = data.ConsumeIntegralInRange<size_t>(0, maxChars);
    std::u16string text;
    text.reserve(chars);
    for (size_t i = 0; i < chars && data.remaining_bytes() > 0; ++i) {
        text.push_back(static_cast<char16_t>(data.ConsumeIntegral<uint16_t>()));
    }
    return text;
}

// Texts that look like what the parser expects more often than random units would: ASCII
// from a small alphabet that holds the separators.
inline std::u16string ConsumeShapedU16(FuzzedDataProvider& data, const char* alphabet,
                                       size_t maxChars) {
    const std::string bytes = data.ConsumeRandomLengthString(maxChars);
    const std::string letters(alphabet);
    std::u16string text;
    for (unsigned char c : bytes) {
        // Half the byte values map into the alphabet, the rest stay any unit.
        text.push_back(c < 128 ? static_cast<char16_t>(letters[c % letters.size()])
                               : static_cast<char16_t>(c == 255 ? 0xD800 : c * 97));
    }
    return text;
}
