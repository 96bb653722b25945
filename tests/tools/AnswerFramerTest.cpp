#include "AnswerFramer.h"

#include <gtest/gtest.h>

namespace {

using Norvik::Tools::AnswerFramer;

TEST(AnswerFramer, CompleteOnlyWhenTheOuterObjectCloses)
{
    const std::string answer = "{\n   \"error\" : -1,\n   \"log\" : \"}{ \\\"\\\\\"\n}\n";
    // Fed one byte at a time, the object must complete exactly at its last brace.
    AnswerFramer framer;
    std::size_t completedAt = 0;
    for (std::size_t i = 0; i < answer.size() && !completedAt; ++i)
        if (framer.add(answer.substr(i, 1)) == AnswerFramer::State::Complete)
            completedAt = i + 1;
    EXPECT_EQ(answer.rfind('}') + 1, completedAt);
    EXPECT_EQ(answer.substr(0, completedAt), framer.answer());
}

TEST(AnswerFramer, NestedObjectsLeadingSpaceAndTrailingBytes)
{
    AnswerFramer framer;
    EXPECT_EQ(AnswerFramer::State::Incomplete, framer.add(" \r\n{\"a\":{\"b\":{}}"));
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
