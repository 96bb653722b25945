#pragma once

#include <cstdint>

// log4cpp's headers still use std::auto_ptr; its deprecation is silenced for them alone.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
#include <log4cpp/Appender.hh>
#include <log4cpp/Category.hh>
#include <log4cpp/DailyRollingFileAppender.hh>
#include <log4cpp/Layout.hh>
#include <log4cpp/LayoutAppender.hh>
#include <log4cpp/LoggingEvent.hh>
#include <log4cpp/OstreamAppender.hh>
#include <log4cpp/PatternLayout.hh>
#include <log4cpp/Priority.hh>
#include <log4cpp/PropertyConfigurator.hh>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
// log4cpp's MinGW configuration defines int64_t as a macro, which breaks std::int64_t.
#if defined(_WIN32) && defined(int64_t)
#undef int64_t
#endif
