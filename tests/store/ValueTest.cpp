#include "store/sqlite/Value.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

#include <limits>

using katalox::EngineError;
using katalox::store::Value;

TEST(Value, TextAndIntegerForms) {
    EXPECT_EQ(Value(std::int64_t{42}).asString(), "42");
    EXPECT_EQ(Value(std::int64_t{5'000'000'000}).asString(), "5000000000");
    EXPECT_EQ(Value(std::string("17")).asInteger(), 17);
    EXPECT_EQ(Value(std::string("-3")).asInteger(), -3);
    EXPECT_EQ(Value().asString(), "");
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

TEST(Value, OnlyWholeRealsWithinRangeAreIntegersAndNullIsNone) {
    EXPECT_EQ(Value(2.0).asInteger(), 2);
    EXPECT_EQ(Value(1e18).asInteger(), 1'000'000'000'000'000'000);
    EXPECT_EQ(Value(-9223372036854775808.0).asInteger(), std::numeric_limits<std::int64_t>::min());
    // Never rounded: 1.5 read as 1 would name another record.
    for (const double real :
         {1.5, -2.9, 0.5, 1e30, -1e30, 9223372036854775808.0,
          std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
        try {
            (void)Value(real).asInteger();
            ADD_FAILURE() << "no error for " << real;
        } catch (const EngineError& error) {
            EXPECT_EQ(std::string(error.what()),
                      "'" + Value(real).asString() + "' is not a valid integer value");
        }
    }
    EXPECT_THROW((void)Value().asInteger(), EngineError);
}
