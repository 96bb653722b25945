#if defined(_WIN32)
// The service's recovery actions as `lightservice install` hands them to the service manager
// (Wine cannot read them back), and its Event Log entries as the Event Viewer shows them: the
// message of the entry's id in lightservice.exe, with the entry's one text.
#include "service/LightServiceMessages.h"
#include "service/WindowsRecoveryActions.h"
#include "utils/loader/ProgramPath.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

TEST(WindowsRecoveryActions, RestartTwiceAfterFiveSecondsThenEveryMinuteCountedAfreshAfterADay)
{
    Norvik::WindowsRecoveryActions recovery;
    const SERVICE_FAILURE_ACTIONSW& config = *recovery.config();
    EXPECT_EQ(config.dwResetPeriod, 86400u);
    EXPECT_EQ(config.lpRebootMsg, nullptr);
    EXPECT_EQ(config.lpCommand, nullptr);
    ASSERT_EQ(config.cActions, 3u);
    const DWORD delays[] = {5000, 5000, 60000};
    for (DWORD i = 0; i < config.cActions; ++i) {
        EXPECT_EQ(config.lpsaActions[i].Type, SC_ACTION_RESTART) << i;
        EXPECT_EQ(config.lpsaActions[i].Delay, delays[i]) << i;
    }
}

TEST(WindowsEventLog, EveryEntryShowsItsTextThroughTheProgramsMessageTable)
{
    // The tests run in bin/winetest/main, the program is bin/lightservice.exe.
    const std::wstring program = Norvik::programWidePath();
    const std::wstring file = program.substr(0, program.find_last_of(L"\\/") + 1) + L"..\\..\\lightservice.exe";
    const HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << GetLastError();
    const std::wstring text = L"Не удалось выполнить инициализацию устройства: 100% %1";
    const DWORD ids[] = {EVENT_SERVICE_STARTED, EVENT_SERVICE_STOPPED, EVENT_START_REFUSED,
                         EVENT_LAMP_NOT_READY,  EVENT_PORT_TAKEN,      EVENT_PORT_OPENED};
    for (const DWORD id : ids) {
        wchar_t* shown = nullptr;
        DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>(text.c_str())};
        const DWORD length =
            FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                           module, id, 0, reinterpret_cast<wchar_t*>(&shown), 0, reinterpret_cast<va_list*>(arguments));
        ASSERT_GT(length, 0u) << std::hex << id;
        std::wstring line(shown, length);
        LocalFree(shown);
        while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r'))
            line.pop_back();
        EXPECT_TRUE(line == text) << std::hex << id;
    }
    FreeLibrary(module);
}
#endif
