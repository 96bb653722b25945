// lightctl: switches the lamp through the light service, as the point-of-sale software does.

#include "tools/lightctl/ClientAnswer.h"
#include "tools/console/ToolConsole.h"
#include "tools/lightctl/ClientOptions.h"
#include "tools/lightctl/LightClient.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

enum ExitStatus { Switched = 0, ServiceFailed = 1, NoAnswer = 2, UsageFailure = 64 };

} // namespace

int main(int argc, char** argv)
{
    using namespace Norvik::Tools;
    ClientOptions options;
    try {
        options = ClientOptions::parse(commandArguments(argc, argv));
    } catch (const UsageError& error) {
        writeText(stderr, std::string("lightctl: ") + error.what() + "\n" + ClientUsage);
        return UsageFailure;
    }
    if (options.help) {
        writeText(stdout, ClientUsage);
        return Switched;
    }
    try {
        const ClientAnswer answer =
            ClientAnswer::parse(LightClient::exchange(options.port, options.request, options.timeoutSeconds));
        if (!answer.log.empty())
            writeText(stdout, answer.log + "\n");
        return answer.error == 0 ? Switched : ServiceFailed;
    } catch (const ClientFailure& error) {
        writeText(stderr, std::string("lightctl: ") + error.what() + "\n");
        return NoAnswer;
    }
}
