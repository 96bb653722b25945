#include "utils/logging/CodePageConsoleAppender.h"

#include "utils/logging/ConsoleWriter.h"
#include "utils/logging/Log4cppAccess.h"
#include "utils/logging/LogEnvironment.h"

#include <iostream>

namespace Norvik::Utils {

CodePageConsoleAppender::CodePageConsoleAppender(std::unique_ptr<log4cpp::OstreamAppender> source)
    : log4cpp::LayoutAppender(source->getName()), configured(std::move(source)),
      stream(Log4cppAccess::StreamOf::get(*configured))
{
    if (!stream) {
        stream = &std::cout;
    }
    setThreshold(configured->getThreshold());
}

CodePageConsoleAppender::CodePageConsoleAppender(const std::string& name, std::ostream& stream)
    : log4cpp::LayoutAppender(name), stream(&stream)
{
}

bool CodePageConsoleAppender::reopen()
{
    return true;
}

void CodePageConsoleAppender::close() {}

void CodePageConsoleAppender::setLayout(log4cpp::Layout* layout)
{
    if (configured) {
        configured->setLayout(layout);
    } else {
        log4cpp::LayoutAppender::setLayout(layout);
    }
}

log4cpp::Layout& CodePageConsoleAppender::layout()
{
    return configured ? Log4cppAccess::LayoutOf::get(*configured) : _getLayout();
}

void CodePageConsoleAppender::_append(const log4cpp::LoggingEvent& event)
{
    const std::string text = LogEnvironment::toConsoleText(layout().format(event));
    // Standard output goes the way of the system's own console lines: it never holds up a log call.
    if (stream == &std::cout) {
        ConsoleWriter::write(text);
        return;
    }
    *stream << text;
    stream->flush();
}

} // namespace Norvik::Utils
