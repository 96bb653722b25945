#include "light/RequestHandler.h"

#include "light/LightVelk77Service.h"

#include "utils/text/Exception.h"
#include "utils/text/StringUtils.h"

#include <json/json.h>

#include <cctype>
#include <exception>

namespace Norvik {

namespace {

using Utils::Exception;
namespace StringUtils = Utils::StringUtils;

// Answer texts; the first two are what clients have always been given.
const wchar_t* const cannotParse = L"Can't parse Json";
const wchar_t* const notAnObject = L"Json doesn't contain an object";
const wchar_t* const wrongMemberType = L"Json member %ls has a wrong type";
const wchar_t* const requestTooLong = L"Request is too long";
const wchar_t* const unknownFailure = L"Unknown error while handling the request";

enum FailureCode { parseFailed = -1, rootNotObject = -2, memberWrongType = -3 };

const char* const colourMembers[] = {"red", "green", "blue"};

bool readSwitchState(const Json::Value& request, const char* member)
{
    const Json::Value& value = request[member];
    if (value.isNull())
        return false;
    if (!value.isBool() && !value.isNumeric())
        throw Exception(memberWrongType,
                        StringUtils::format(wrongMemberType, StringUtils::toWide(member, StringUtils::Utf8).c_str()));
    return value.asBool();
}

// The reader throws its own text for nesting deeper than it goes; to the client that is text that
// could not be parsed like any other.
bool parse(const std::vector<std::uint8_t>& request, Json::Value& root)
{
    try {
        Json::Reader reader;
        const char* begin = reinterpret_cast<const char*>(request.data());
        return reader.parse(begin, begin + request.size(), root, false);
    } catch (const std::exception&) {
        return false;
    }
}

std::wstring describe(const std::exception& failure)
{
    try {
        const std::wstring text = StringUtils::toWide(failure.what(), StringUtils::Utf8);
        if (!text.empty())
            return text;
    } catch (...) {
    }
    return unknownFailure;
}

// Control characters go out as \u and four upper-case hexadecimal digits.
void upperCaseUnicodeEscapes(std::string& text)
{
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '\\')
            continue;
        if (text[i + 1] == 'u')
            for (std::size_t digit = i + 2; digit < i + 6 && digit < text.size(); ++digit)
                text[digit] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[digit])));
        ++i;
    }
}

} // namespace

Answer RequestHandler::handle(const std::vector<std::uint8_t>& request)
{
    Answer answer{0, L""};
    try {
        Json::Value root;
        if (!parse(request, root))
            throw Exception(parseFailed, cannotParse);
        if (!root.isObject())
            throw Exception(rootNotObject, notAnObject);

        bool states[3];
        for (int colour = 0; colour < 3; ++colour)
            states[colour] = readSwitchState(root, colourMembers[colour]);

        answer.error = service.setLights(states[0], states[1], states[2], answer.log);
    } catch (const Exception& failure) {
        answer = {-1, failure.getMessage()};
    } catch (const std::exception& failure) {
        answer = {-1, describe(failure)};
    } catch (...) {
        answer = {-1, unknownFailure};
    }
    return answer;
}

std::vector<std::uint8_t> RequestHandler::render(const Answer& answer)
{
    Json::Value object(Json::objectValue);
    object["error"] = answer.error;
    object["log"] = StringUtils::toNarrow(answer.log, StringUtils::Utf8);

    // The styled layout with the Russian texts as raw UTF-8: this jsoncpp's StyledWriter would
    // turn them into \u escapes, which clients have never been sent.
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "   ";
    builder["emitUTF8"] = true;
    std::string text = Json::writeString(builder, object);
    text += '\n';
    upperCaseUnicodeEscapes(text);
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

Answer RequestHandler::tooLong()
{
    return {-1, requestTooLong};
}

} // namespace Norvik
