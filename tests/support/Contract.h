#pragma once
// What clients and technicians see of the service, word for word: the tests compare against these
// and nothing else. tests/support/contract.py reads this file for the Python sessions, so each text
// stays one line of the form below.
#include <string>
#include <string_view>

namespace Contract {

// clang-format off
inline constexpr std::string_view successAnswer = "{\n   \"error\" : 0,\n   \"log\" : \"\"\n}\n";
inline constexpr std::string_view failureAnswerHead = "{\n   \"error\" : -1,\n   \"log\" : \"";
inline constexpr std::string_view failureAnswerTail = "\"\n}\n";
inline constexpr std::string_view cannotParse = "Can't parse Json";
inline constexpr std::string_view notAnObject = "Json doesn't contain an object";
inline constexpr std::string_view requestTooLong = "Request is too long";
inline constexpr std::string_view redWrongType = "Json member red has a wrong type";
// The loader's text on Linux for a lamp library that is not there.
inline constexpr std::string_view libraryMissing = "Library loading is failed libBrillLamp.so (libBrillLamp.so - libBrillLamp.so: cannot open shared object file: No such file or directory)";
inline constexpr std::string_view libraryNotLoaded = "Не удалось загрузить библиотеку для работы с устройством";
inline constexpr std::string_view initialisationFailed = "Не удалось выполнить инициализацию устройства";
inline constexpr std::string_view switchNotStarted = "Не удалось запустить поток переключения цвета";
inline constexpr std::string_view keyTestHelp = "Use keys:\n- \"R\" - turn on the red color;\n- \"G\" - turn on the green color;\n- \"B\" - turn on the blue color;\n- \"r\" - turn off the red color;\n- \"g\" - turn off the green color;\n- \"b\" - turn off the blue color;\n- \"E\", \"e\" - exit;\n";
// clang-format on

// The answer to a request that failed with log (already escaped for JSON).
inline std::string failureAnswer(std::string_view log)
{
    return std::string(failureAnswerHead).append(log).append(failureAnswerTail);
}

} // namespace Contract
