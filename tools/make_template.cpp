// Makes a database from a schema script: make_template SCHEMA.sql OUTPUT. The output is written
// under a temporary name and renamed into place, so a failed run never leaves a half-made file.
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

int Fail(const std::string& what) {
  std::fprintf(stderr, "make_template: %s\n", what.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    return Fail("usage: make_template SCHEMA.sql OUTPUT");
  }
  std::ifstream in(argv[1]);
  if (!in) {
    return Fail(std::string("cannot read ") + argv[1]);
  }
  std::ostringstream schema;
  schema << in.rdbuf();

  const std::filesystem::path output = argv[2];
  std::filesystem::path temp = output;
  temp += ".tmp";
  std::error_code ec;
  std::filesystem::remove(temp, ec);

  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(temp.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  char* error = nullptr;
  if (rc == SQLITE_OK) {
    rc = sqlite3_exec(db, schema.str().c_str(), nullptr, nullptr, &error);
  }
  const std::string message = error != nullptr ? error : sqlite3_errmsg(db);
  sqlite3_free(error);
  if (sqlite3_close(db) != SQLITE_OK || rc != SQLITE_OK) {
    std::filesystem::remove(temp, ec);
    return Fail(message);
  }
  std::filesystem::rename(temp, output, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    return Fail("cannot write " + output.string() + ": " + ec.message());
  }
  return 0;
}
