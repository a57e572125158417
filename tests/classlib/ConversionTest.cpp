#include <gtest/gtest.h>

#include <climits>
#include <optional>

#include "classlib/SysUtils.h"

namespace {

using classlib::EConvertError;
using classlib::StrToInt;

struct IntCase {
  const char* text;
  std::optional<int> value;  // nothing: the conversion fails
};

const IntCase kIntCases[] = {
    {"0", 0},
    {"1000", 1000},
    {"0059999", 59999},
    {"+17", 17},
    {"-17", -17},
    {"-0", 0},
    {"   42", 42},
    {"2147483647", INT_MAX},
    {"-2147483648", INT_MIN},
    {"$1F", 31},
    {"$ff", 255},
    {"x10", 16},
    {"X10", 16},
    {"0x7fffffff", INT_MAX},
    {"0X80000000", INT_MIN},
    {"$FFFFFFFF", -1},
    {"$000000001", 1},
    {"", std::nullopt},
    {"   ", std::nullopt},
    {"42 ", std::nullopt},
    {"\t42", std::nullopt},
    {"4 2", std::nullopt},
    {"+", std::nullopt},
    {"-", std::nullopt},
    {"$", std::nullopt},
    {"0x", std::nullopt},
    {"-$10", std::nullopt},
    {"+0x10", std::nullopt},
    {"12a", std::nullopt},
    {"1e3", std::nullopt},
    {"2147483648", std::nullopt},
    {"-2147483649", std::nullopt},
    {"99999999999999999999", std::nullopt},
    {"$100000000", std::nullopt},
    {"$G", std::nullopt},
    {"--1", std::nullopt},
};

TEST(Conversion, StrToIntFollowsTheTable) {
  for (const IntCase& c : kIntCases) {
    SCOPED_TRACE(std::string("text '") + c.text + "'");
    if (c.value) {
      EXPECT_EQ(StrToInt(c.text), *c.value);
    } else {
      try {
        StrToInt(c.text);
        ADD_FAILURE() << "converted";
      } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), std::string("'") + c.text + "' is not a valid integer value");
      }
    }
  }
}

TEST(Conversion, TrimDropsControlCharactersAndBlanksAtBothEnds) {
  EXPECT_EQ(classlib::Trim(" \t\r\n 12 3\x01\x1f "), "12 3");
  EXPECT_EQ(classlib::Trim("\x7f"
                           "a\xa0"),
            "\x7f"
            "a\xa0");  // codes above 32 stay
  EXPECT_EQ(classlib::Trim(" \x05 "), "");
}

TEST(Conversion, IntToStrWritesPlainDecimals) {
  EXPECT_EQ(classlib::IntToStr(0), "0");
  EXPECT_EQ(classlib::IntToStr(1000), "1000");
  EXPECT_EQ(classlib::IntToStr(INT_MIN), "-2147483648");
}

}  // namespace
