// Drives the per-connection request path (framing, handling, rendering) with arbitrary bytes
// cut into arbitrary chunks, as a receive thread would hand them over.

#include "tests/light/RecordingLamp.h"
#include "light/RequestFramer.h"
#include "light/RequestHandler.h"

#include "utils/text/StringUtils.h"

#include <json/json.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using Norvik::RequestFramer;
using Norvik::RequestHandler;
using Bytes = std::vector<std::uint8_t>;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// The answer must be one JSON object {"error": int, "log": string} holding exactly what was meant.
void checkRendering(const Norvik::Answer& answer)
{
    const Bytes rendered = RequestHandler::render(answer);
    require(rendered.size() >= 2 && rendered[rendered.size() - 2] == '}' && rendered.back() == '\n');

    Json::CharReaderBuilder builder;
    Json::CharReaderBuilder::strictMode(&builder.settings_);
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value parsed;
    std::string errors;
    const char* begin = reinterpret_cast<const char*>(rendered.data());
    require(reader->parse(begin, begin + rendered.size(), &parsed, &errors));
    require(parsed.isObject() && parsed.size() == 2);
    require(parsed["error"].isInt() && parsed["error"].asInt() == answer.error);
    require(parsed["log"].isString());
    namespace SU = Norvik::Utils::StringUtils;
    require(parsed["log"].asString() == SU::toNarrow(answer.log, SU::Utf8));
}

// Each frame as its kind and bytes.
std::vector<std::pair<int, Bytes>> described(const std::vector<RequestFramer::Frame>& frames)
{
    std::vector<std::pair<int, Bytes>> out;
    for (const RequestFramer::Frame& frame : frames)
        out.emplace_back(static_cast<int>(frame.kind), frame.bytes);
    return out;
}

// All the input in one chunk, then the client's pause.
std::vector<RequestFramer::Frame> framedWhole(const std::uint8_t* data, std::size_t size)
{
    RequestFramer whole;
    std::vector<RequestFramer::Frame> frames = whole.feed(data, size);
    for (RequestFramer::Frame& frame : whole.pause())
        frames.push_back(std::move(frame));
    return frames;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // First byte: chunk length (1..256); second byte: lamp ready or not.
    const std::size_t chunk = static_cast<std::size_t>(data[0]) + 1;
    const bool lampReady = (data[1] & 1) == 0;
    data += 2;
    size -= 2;

    Norvik::Testing::RecordingLamp lamp;
    if (!lampReady)
        lamp.behaviour = [](std::wstring& log) {
            log = L"Не удалось выполнить инициализацию устройства";
            return -1;
        };
    RequestHandler handler(lamp);

    RequestFramer chunked;
    std::vector<RequestFramer::Frame> frames;
    for (std::size_t offset = 0; offset < size; offset += chunk) {
        const std::size_t length = size - offset < chunk ? size - offset : chunk;
        for (RequestFramer::Frame& frame : chunked.feed(data + offset, length))
            frames.push_back(std::move(frame));
        // The connection waits for no pause where the framer awaits none: one must change nothing.
        if (!chunked.awaitsPause() && !chunked.pause().empty())
            __builtin_trap();
    }
    for (RequestFramer::Frame& frame : chunked.pause())
        frames.push_back(std::move(frame));

    for (const RequestFramer::Frame& frame : frames) {
        require(frame.bytes.size() <= RequestFramer::maxRequestSize);
        if (frame.kind == RequestFramer::Frame::TooLong) {
            checkRendering(RequestHandler::tooLong());
            continue;
        }
        require(!frame.bytes.empty());
        const std::size_t switchedBefore = lamp.switched;
        const Norvik::Answer answer = handler.handle(frame.bytes);
        require(answer.error == 0 || answer.error == -1);
        // Switched exactly when answered with success; a failure always names its cause.
        require(lamp.switched == switchedBefore + (answer.error == 0 ? 1 : 0));
        require(answer.error == 0 ? answer.log.empty() : !answer.log.empty());
        checkRendering(answer);
    }

    // Where the chunks are cut must not change what is answered, objects or other text.
    require(described(framedWhole(data, size)) == described(frames));
    return 0;
}
