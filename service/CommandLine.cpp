#include "service/CommandLine.h"

#include "service/AdministratorCheck.h"
#include "service/ConsoleRun.h"
#include "service/KeyTest.h"
#include "service/ServiceHost.h"
#include "service/ServiceInstaller.h"
#include "service/ServiceTexts.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <string_view>

namespace Norvik {

namespace {

struct NamedWord {
    std::string_view text;
    CommandLine::Word word;
};

const NamedWord words[] = {
    {"install", CommandLine::Install}, {"remove", CommandLine::Remove}, {"start", CommandLine::Start},
    {"run", CommandLine::Run},         {"test", CommandLine::Test},
};

// The words are ASCII, so each of their characters is one code unit of either width.
template <typename Char>
bool sameWord(const std::basic_string<Char>& argument, std::string_view word)
{
    return std::equal(argument.begin(), argument.end(), word.begin(), word.end(),
                      [](Char unit, char letter) { return unit == static_cast<Char>(letter); });
}

template <typename Char>
CommandLine::Word selectWord(const std::vector<std::basic_string<Char>>& arguments)
{
    if (arguments.size() <= 1)
        return CommandLine::Dispatcher;
    for (const NamedWord& named : words) {
        if (sameWord(arguments.back(), named.text))
            return named.word;
    }
    return CommandLine::Unknown;
}

} // namespace

CommandLine::Word CommandLine::select(const std::vector<std::string>& arguments)
{
    return selectWord(arguments);
}

CommandLine::Word CommandLine::select(const std::vector<std::wstring>& arguments)
{
    return selectWord(arguments);
}

int CommandLine::run(Word word)
{
    const AdministratorCheck::Answer answer = AdministratorCheck::check();
    if (answer.failed) {
        printLine(Texts::administratorCheckFailed + std::to_string(answer.errorCode) + ")");
        return 1;
    }
    if (!answer.administrator) {
        printLine(Texts::administratorRequired);
        return 0;
    }

    switch (word) {
    case Dispatcher:
        return std::unique_ptr<ServiceHost>(ServiceHost::create())->dispatch();
    case Install:
        std::unique_ptr<ServiceInstaller>(ServiceInstaller::create())->install();
        return 0;
    case Remove:
        std::unique_ptr<ServiceInstaller>(ServiceInstaller::create())->remove();
        return 0;
    case Start:
        std::unique_ptr<ServiceInstaller>(ServiceInstaller::create())->start();
        return 0;
    case Run:
        return ConsoleRun::run();
    case Test:
        KeyTest::run(std::cin);
        return 0;
    case Unknown:
        break;
    }
    return 0;
}

} // namespace Norvik
