// Times a save and a load of 1000 phone numbers through the database query, the way the main
// window does them, on a fresh copy of the template in a temporary directory.
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "classlib/ADOQuery.h"
#include "platform/Files.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

void Save(classlib::TADOQuery& query, const std::string& connection) {
  query.SetConnectionString(connection);
  query.Connection().BeginTrans();
  query.SetSQL("delete from phone");
  query.ExecSQL();
  query.SetSQL("select * from phone");
  query.Open();
  for (int slot = 1; slot <= 1000; ++slot) {
    query.Append();
    query.FieldByName("id").SetAsInteger(slot);
    query.FieldByName("phone").SetAsString("+7900" + std::to_string(1000000 + slot));
    query.Post();
  }
  query.SetSQL("select * from pcong");
  query.Open();
  query.Edit();
  query.FieldByName("rec").SetAsInteger(1);
  query.FieldByName("time").SetAsInteger(5000);
  query.Post();
  query.Connection().CommitTrans();
  query.Close();
}

size_t Load(classlib::TADOQuery& query, const std::string& connection) {
  size_t characters = 0;
  query.SetConnectionString(connection);
  query.SetSQL("select * from phone");
  query.Open();
  for (; !query.Eof(); query.Next()) {
    characters += static_cast<size_t>(query.FieldByName("id").AsInteger() > 0);
    characters += query.FieldByName("phone").AsString().size();
  }
  query.SetSQL("select * from pcong");
  query.Open();
  characters += query.FieldByName("time").AsString().size();
  query.Close();
  return characters;
}

}  // namespace

int main() {
  std::string dir = (std::filesystem::temp_directory_path() / "tavkel-bench-XXXXXX").string();
  if (::mkdtemp(dir.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  ::setenv("TAVKEL_ROOT", dir.c_str(), 1);
  const std::string path = dir + "/bench.mdb";
  if (!CopyFileA(platform::TemplateDatabaseName().c_str(), path.c_str(), TRUE)) {
    std::fprintf(stderr, "no template at %s\n", platform::TemplateDatabaseName().c_str());
    return 1;
  }
  const std::string connection =
      "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";Persist Security Info=False";
  classlib::TADOQuery query(nullptr);
  int status = 0;
  try {
    for (int round = 1; round <= 3; ++round) {
      const auto start = Clock::now();
      Save(query, connection);
      const auto saved = Clock::now();
      const size_t characters = Load(query, connection);
      const auto loaded = Clock::now();
      std::printf("round %d: save of 1000 numbers %.2f ms, load %.2f ms (%zu characters)\n", round,
                  Milliseconds(saved - start), Milliseconds(loaded - saved), characters);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "failed: %s\n", e.what());
    status = 1;
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return status;
}
