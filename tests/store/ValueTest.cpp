#include "store/Value.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

using katalox::EngineError;
using katalox::store::Value;

TEST(Value, TextAndIntegerForms) {
    EXPECT_EQ(Value(std::int64_t{42}).asString(), "42");
    EXPECT_EQ(Value(std::int64_t{5'000'000'000}).asString(), "5000000000");
    EXPECT_EQ(Value(std::string("17")).asInteger(), 17);
    EXPECT_EQ(Value(std::string("-3")).asInteger(), -3);
    EXPECT_EQ(Value().asString(), "");
    EXPECT_EQ(Value().asInteger(), 0);
    EXPECT_TRUE(Value().isNull());
}

TEST(Value, TextThatIsNotAWholeNumberIsAnError) {
    for (const char* text : {"", "abc", "12x", " 12", "1.5", "99999999999999999999"}) {
        try {
            (void)Value(std::string(text)).asInteger();
            ADD_FAILURE() << "no error for '" << text << "'";
        } catch (const EngineError& error) {
            EXPECT_EQ(std::string(error.what()),
                      "'" + std::string(text) + "' is not a valid integer value");
        }
    }
}
