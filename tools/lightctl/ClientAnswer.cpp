#include "tools/lightctl/ClientAnswer.h"

#include "tools/lightctl/LightClient.h"

#include <json/json.h>

#include <memory>

namespace Norvik::Tools {

ClientAnswer ClientAnswer::parse(const std::string& text)
{
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors))
        throw ClientFailure("the light service's answer is not valid JSON: " + errors);
    const Json::Value& error = root["error"];
    const Json::Value& log = root["log"];
    if (!root.isObject() || !error.isInt64() || !(log.isNull() || log.isString()))
        throw ClientFailure("the light service's answer has no \"error\" number and \"log\" text: " + text);
    return {error.asInt64(), log.isString() ? log.asString() : std::string()};
}

} // namespace Norvik::Tools
