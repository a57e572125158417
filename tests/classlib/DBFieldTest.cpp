// Reading a field stored in any of SQLite's storage classes, as other programs leave them in a
// column without a declared type.
#include "classlib/DBField.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>

#include "tests/classlib/DataFileFixture.h"

namespace {

using classlib::EDatabaseError;

constexpr std::int64_t kMin64 = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax64 = std::numeric_limits<std::int64_t>::max();

struct ValueCase {
  std::string stored;                 // an SQL expression
  std::optional<int> integer;         // AsInteger; nothing: it raises `error`
  std::optional<std::int64_t> large;  // AsLargeInt; nothing: it raises `error`
  std::string text;                   // AsString
  std::string error = {};
};

const std::string kBeyond = "123456789012345678901234567890";
// The exact value of the real nearest to 1e300.
const std::string k1e300 = [] {
  char digits[400];
  std::snprintf(digits, sizeof digits, "%.0f", 1e300);
  return std::string(digits);
}();

const ValueCase kValueCases[] = {
    {"NULL", 0, 0, ""},
    {"7", 7, 7, "7"},
    {"'7'", 7, 7, "7"},
    {"'-7'", -7, -7, "-7"},
    {"'+007'", 7, 7, "+007"},
    // SQLite's white space around the digits, as its INTEGER affinity takes it.
    {"' 7 '", 7, 7, " 7 "},
    {"char(9, 10) || '-7' || char(13, 32)", -7, -7, "\t\n-7\r "},
    {"8.0", 8, 8, "8"},
    {"-8.0", -8, -8, "-8"},
    {"1500.0", 1500, 1500, "1500"},
    {"2147483647.0", 2147483647, 2147483647, "2147483647"},
    {"'-2147483648'", -2147483647 - 1, -2147483647 - 1, "-2147483648"},
    {"2147483648.0",
     {},
     2147483648,
     "2147483648",
     "Field 'v' value 2147483648 is out of the integer range"},
    {"1099511627776",
     {},
     1099511627776,
     "1099511627776",
     "Field 'v' value 1099511627776 is out of the integer range"},
    {"'9223372036854775807'",
     {},
     kMax64,
     "9223372036854775807",
     "Field 'v' value 9223372036854775807 is out of the integer range"},
    {"'-9223372036854775808'",
     {},
     kMin64,
     "-9223372036854775808",
     "Field 'v' value -9223372036854775808 is out of the integer range"},
    // Beyond 64 bits a whole number reads as the nearest end of the range.
    {"'9223372036854775808'",
     {},
     kMax64,
     "9223372036854775808",
     "Field 'v' value 9223372036854775808 is out of the integer range"},
    {"'" + kBeyond + "'",
     {},
     kMax64,
     kBeyond,
     "Field 'v' value " + kBeyond + " is out of the integer range"},
    {"'-" + kBeyond + "'",
     {},
     kMin64,
     "-" + kBeyond,
     "Field 'v' value -" + kBeyond + " is out of the integer range"},
    {"1e20",
     {},
     kMax64,
     "100000000000000000000",
     "Field 'v' value 100000000000000000000 is out of the integer range"},
    {"9223372036854775808.0",
     {},
     kMax64,
     "9223372036854775808",
     "Field 'v' value 9223372036854775808 is out of the integer range"},
    {"-9223372036854775808.0",
     {},
     kMin64,
     "-9223372036854775808",
     "Field 'v' value -9223372036854775808 is out of the integer range"},
    {"1e300", {}, kMax64, k1e300, "Field 'v' value " + k1e300 + " is out of the integer range"},
    {"-1e300",
     {},
     kMin64,
     "-" + k1e300,
     "Field 'v' value -" + k1e300 + " is out of the integer range"},
    // No whole number: a fraction, an infinity, other texts.
    {"1.5", {}, {}, "1.5", "Field 'v' value '1.5' is not an integer"},
    {"-2.5e-7", {}, {}, "-2.5e-07", "Field 'v' value '-2.5e-07' is not an integer"},
    {"9e999", {}, {}, "Inf", "Field 'v' value 'Inf' is not an integer"},
    {"'x'", {}, {}, "x", "Field 'v' value 'x' is not an integer"},
    {"''", {}, {}, "", "Field 'v' value '' is not an integer"},
    {"' '", {}, {}, " ", "Field 'v' value ' ' is not an integer"},
    {"'-'", {}, {}, "-", "Field 'v' value '-' is not an integer"},
    {"'7.0'", {}, {}, "7.0", "Field 'v' value '7.0' is not an integer"},
    {"'1 000'", {}, {}, "1 000", "Field 'v' value '1 000' is not an integer"},
    {"'$1F'", {}, {}, "$1F", "Field 'v' value '$1F' is not an integer"},
    {"'--7'", {}, {}, "--7", "Field 'v' value '--7' is not an integer"},
    {"x'37'", {}, {}, "7", "Field 'v' value is binary data, not an integer"},
};

class FieldValues : public testsupport::DataFile {
 protected:
  // Opens the rows of a one-column table v without a declared type.
  classlib::TField& OpenValues() {
    query_.SetConnectionString(testsupport::ConnectionStringFor(path_));
    query_.SetSQL("select * from v");
    query_.Open();
    return query_.FieldByName("v");
  }
};

TEST_F(FieldValues, EachStorageClassReadsAsIntegerLargeIntegerAndText) {
  Exec({"create table v (v)"});
  std::vector<std::string> inserts;
  for (const ValueCase& c : kValueCases) {
    inserts.push_back("insert into v values (" + c.stored + ")");
  }
  Exec(inserts);
  classlib::TField& field = OpenValues();
  for (const ValueCase& c : kValueCases) {
    SCOPED_TRACE(c.stored);
    ASSERT_FALSE(query_.Eof());
    EXPECT_EQ(field.AsString(), c.text);
    if (c.integer) {
      EXPECT_EQ(field.AsInteger(), *c.integer);
    } else {
      try {
        field.AsInteger();
        ADD_FAILURE() << "AsInteger read a value";
      } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), c.error);
      }
    }
    if (c.large) {
      EXPECT_EQ(field.AsLargeInt(), *c.large);
    } else {
      EXPECT_THROW(field.AsLargeInt(), EDatabaseError);
    }
    query_.Next();
  }
  EXPECT_TRUE(query_.Eof());
  query_.Close();
}

// A whole real reads as the integer it is, every digit: not SQLite's fifteen digits for 2^53 + 2,
// the exact value of the real nearest to 1e23, and plain 0 for a negative zero.
TEST_F(FieldValues, WholeRealsKeepEveryDigitAndNoNegativeZero) {
  Exec({"create table v (v)"});
  const double reals[] = {9007199254740994.0, -0.0, 1e23};  // in the file as given
  {
    classlib::TADOConnection connection;
    connection.SetConnectionString(testsupport::ConnectionStringFor(path_));
    const classlib::StatementPtr insert = connection.Prepare("insert into v values (?)");
    for (const double real : reals) {
      sqlite3_reset(insert.get());
      sqlite3_bind_double(insert.get(), 1, real);
      ASSERT_EQ(sqlite3_step(insert.get()), SQLITE_DONE);
    }
  }
  classlib::TField& field = OpenValues();
  EXPECT_EQ(field.AsString(), "9007199254740994");
  EXPECT_EQ(field.AsLargeInt(), 9007199254740994);
  query_.Next();
  EXPECT_EQ(field.AsString(), "0");
  EXPECT_EQ(field.AsInteger(), 0);
  query_.Next();
  EXPECT_EQ(field.AsString(), "99999999999999991611392");
  query_.Close();
}

}  // namespace
