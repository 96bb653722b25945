#include "tools/lightctl/AnswerFramer.h"

#include <gtest/gtest.h>

namespace {

using Norvik::Tools::AnswerFramer;

TEST(AnswerFramer, CompleteOnlyWhenTheOuterObjectCloses)
{
    // Braces in strings and comments never count.
    for (const char* text : {"{\n   \"error\" : -1,\n   \"log\" : \"}{ \\\"\\\\\"\n}\n",
                             "{ /* } */ \"error\" : 0, // }\n \"log\" : \"\" /* { */ }\n"}) {
        const std::string answer = text;
        // Fed one byte at a time, the object must complete exactly at its last brace.
        AnswerFramer framer;
        std::size_t completedAt = 0;
        for (std::size_t i = 0; i < answer.size() && !completedAt; ++i)
            if (framer.add(answer.substr(i, 1)) == AnswerFramer::State::Complete)
                completedAt = i + 1;
        EXPECT_EQ(answer.rfind('}') + 1, completedAt) << answer;
        EXPECT_EQ(answer.substr(0, completedAt), framer.answer());
    }
}

TEST(AnswerFramer, NestedObjectsLeadingSpaceAndTrailingBytes)
{
    AnswerFramer framer;
    EXPECT_EQ(AnswerFramer::State::Incomplete, framer.add(std::string(" \r\n\0{\"a\":{\"b\":{}}", 17)));
    EXPECT_EQ(AnswerFramer::State::Complete, framer.add("}{\"next\":1}"));
    EXPECT_EQ("{\"a\":{\"b\":{}}}", framer.answer());
    EXPECT_EQ(AnswerFramer::State::Complete, framer.add("garbage"));
    EXPECT_EQ("{\"a\":{\"b\":{}}}", framer.answer());
}

TEST(AnswerFramer, TextThatIsNoObjectIsMalformed)
{
    for (const char* text : {"[1]", "hello", "}", "\"{\""}) {
        AnswerFramer framer;
        EXPECT_EQ(AnswerFramer::State::Malformed, framer.add(text)) << text;
        EXPECT_EQ(AnswerFramer::State::Malformed, framer.add("{}")) << text;
    }
}

} // namespace
