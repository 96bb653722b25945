#pragma once
// The few iconv calls the text tests make ("WCHAR_T" from "CP866" or "CP1251", one byte at a
// time), answered by the system's own code page tables: an independent reading of the code page,
// as iconv is on Linux.
#include <windows.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

using iconv_t = void*;

inline iconv_t iconv_open(const char* /*to*/, const char* from)
{
    const UINT codePage = std::strcmp(from, "CP866") == 0 ? 866 : std::strcmp(from, "CP1251") == 0 ? 1251 : 0;
    return codePage ? reinterpret_cast<iconv_t>(static_cast<std::size_t>(codePage)) : reinterpret_cast<iconv_t>(-1);
}

inline int iconv_close(iconv_t)
{
    return 0;
}

inline std::size_t iconv(iconv_t cd, char** in, std::size_t* inLeft, char** out, std::size_t* outLeft)
{
    const UINT codePage = static_cast<UINT>(reinterpret_cast<std::size_t>(cd));
    wchar_t wide[4];
    const int count = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, *in, static_cast<int>(*inLeft), wide, 4);
    const std::size_t bytes = static_cast<std::size_t>(count) * sizeof(wchar_t);
    // A byte the code page leaves undefined maps to a private-use character, as iconv refuses it.
    if (count <= 0 || bytes > *outLeft || (wide[0] >= 0xE000 && wide[0] <= 0xF8FF)) {
        errno = EILSEQ;
        return static_cast<std::size_t>(-1);
    }
    std::memcpy(*out, wide, bytes);
    *in += *inLeft;
    *inLeft = 0;
    *out += bytes;
    *outLeft -= bytes;
    return 0;
}
