// The class library's texts are 8-bit, one byte a character (Latin-1); SQLite keeps UTF-8. These
// convert between the two so that every 8-bit text round-trips.
#pragma once

#include <string>
#include <string_view>

namespace classlib {

std::string Latin1ToUtf8(std::string_view latin1);

// A character beyond Latin-1 becomes '?'; a byte that is not part of valid UTF-8 is taken as the
// Latin-1 character of that value, so texts written by other tools never fail to read.
std::string Utf8ToLatin1(std::string_view utf8);

}  // namespace classlib
