#pragma once

#include <exception>
#include <string>

namespace Norvik::Utils {

// The one exception type of the service: a code chosen by the thrower and a wide message;
// what() gives the message in UTF-8 so it can go to the log and onto the wire unchanged.
class Exception : public std::exception {
public:
    Exception(int code, const std::wstring& message);
    ~Exception() override;

    const char* what() const noexcept override;
    int getCode() const;
    std::wstring getMessage() const;

private:
    int code;
    std::wstring message;
    std::string text;
};

} // namespace Norvik::Utils
