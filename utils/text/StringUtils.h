#pragma once

#include <cstdarg>
#include <set>
#include <string>
#include <vector>

namespace Norvik::Utils::StringUtils {

// Character-set identifiers of toNarrow/toWide.
enum Charset {
    Cp866 = 0, // console output (DOS Cyrillic)
    Cp1251 = 1, // Windows file paths and the ANSI service functions
    Utf8 = 2 // log text, exception texts, the wire
};

std::string toNarrow(const std::wstring& text, int charset);
std::wstring toWide(const std::string& text, int charset);

template <typename Char>
class SymbolSet {
public:
    explicit SymbolSet(const std::basic_string<Char>& symbols) : symbols(symbols.begin(), symbols.end()) {}
    virtual ~SymbolSet() = default;
    bool contains(Char symbol) const { return symbols.count(symbol) != 0; }

private:
    std::set<Char> symbols;
};

std::vector<std::wstring> split(const std::wstring& text, const std::wstring& delimiters, bool keepEmpty);
std::wstring trim(const std::wstring& text, bool left, bool right, const std::wstring& symbols);

// printf-style formatting; wide strings are passed with "%ls".
std::wstring format(const wchar_t* fmt, ...);
std::string format(const char* fmt, ...);
std::wstring formatV(const wchar_t* fmt, va_list args);
std::string formatV(const char* fmt, va_list args);

// The system's text for an error code (Windows: FormatMessageW; POSIX: the errno text),
// trailing CR and LF removed; empty when the system has none.
std::wstring getSystemErrorText(unsigned long code, int unused = 0);

} // namespace Norvik::Utils::StringUtils
