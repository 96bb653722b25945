#include "CommandLine.h"

#include "AdministratorCheck.h"
#include "ConsoleRun.h"
#include "KeyTest.h"
#include "ServiceHost.h"
#include "ServiceInstaller.h"
#include "ServiceTexts.h"

#include <iostream>
#include <memory>

namespace Norvik {

namespace {

struct NamedWord {
    const wchar_t* text;
    CommandLine::Word word;
};

const NamedWord words[] = {
    {L"install", CommandLine::Install},
    {L"remove", CommandLine::Remove},
    {L"start", CommandLine::Start},
    {L"run", CommandLine::Run},
    {L"test", CommandLine::Test},
};

} // namespace

CommandLine::Word CommandLine::select(const std::vector<std::wstring>& arguments)
{
    if (arguments.size() <= 1)
        return Dispatcher;
    for (const NamedWord& named : words) {
        if (arguments.back() == named.text)
            return named.word;
    }
    return Unknown;
}

int CommandLine::run(const std::vector<std::wstring>& arguments)
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

    switch (select(arguments)) {
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
