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
inline constexpr std::string_view serviceDisplayName = "NORVIK Tessaro Light Velk77";
inline constexpr std::string_view serviceDescription = "Служба NORVIK Tessaro Light Velk77 предназначена для взаимодействия с устройством по нижнему уровня с правами администратора";
inline constexpr std::string_view serviceStarted = "Light Velk77 service has started on the port 48888";
inline constexpr std::string_view serviceStopped = "Light Velk77 service has stopped.";
inline constexpr std::string_view installed = "Success install service!";
inline constexpr std::string_view serviceExists = "Error: ERROR_SERVICE_EXISTS";
inline constexpr std::string_view removed = "Success remove service!";
inline constexpr std::string_view cantRemove = "Error: Can't remove service";
inline constexpr std::string_view portTaken = "Can't listen on port 48888";
inline constexpr std::string_view connectionsFull = "closed for a new client: 512 connections are open";
// The service's log file, below the data folder.
inline constexpr std::string_view logFile = "/NORVIK/tessarodriver/logs/tdriver.log";
inline constexpr std::string_view portOpened = "Port 48888 is free again: the service listens on it now.";
// clang-format on

// The answer to a request that failed with log (already escaped for JSON).
inline std::string failureAnswer(std::string_view log)
{
    return std::string(failureAnswerHead).append(log).append(failureAnswerTail);
}

} // namespace Contract
