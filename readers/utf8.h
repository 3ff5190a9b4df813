#pragma once
// UTF-8 text of files as the program's wide text: one wchar_t per code point where wchar_t is
// 32 bits (Linux), UTF-16 where it is 16 (Windows). Pure.
#include <cstdint>
#include <string>

inline void AppendCodePoint(std::wstring *text, uint32_t c) {
    if (sizeof(wchar_t) == 2 && c >= 0x10000) {
        c -= 0x10000;
        text->push_back(wchar_t(0xD800 + (c >> 10)));
        text->push_back(wchar_t(0xDC00 + (c & 0x3FF)));
    } else {
        text->push_back(wchar_t(c));
    }
}

// One UTF-8 sequence at p, before end: shortest form, no surrogates, nothing past U+10FFFF. On
// success p is behind it.
inline bool NextUtf8(const uint8_t *&p, const uint8_t *end, uint32_t *code) {
    const uint8_t lead = *p;
    int more;
    uint32_t least;
    if (lead < 0x80) {
        *code = lead;
        ++p;
        return true;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3;
        least = 0x10000;
    } else {
        return false;
    }
    *code = lead & (0x3F >> more);
    if (end - p <= more)
        return false;
    for (int i = 1; i <= more; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return false;
        *code = *code << 6 | (p[i] & 0x3F);
    }
    if (*code < least || *code > 0x10FFFF || (*code >= 0xD800 && *code <= 0xDFFF))
        return false;
    p += more + 1;
    return true;
}

// Whole text; false on a broken sequence.
inline bool DecodeUtf8(const std::string &bytes, std::wstring *text) {
    text->clear();
    const auto *p = reinterpret_cast<const uint8_t *>(bytes.data());
    const uint8_t *end = p + bytes.size();
    while (p < end) {
        uint32_t code;
        if (!NextUtf8(p, end, &code))
            return false;
        AppendCodePoint(text, code);
    }
    return true;
}
