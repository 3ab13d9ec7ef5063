// The indexes of the schema and the upgrade script for existing databases: the script adds to a
// database without them exactly the indexes a new database has, and refreshes the selectivity of
// every index from the rows the tables hold.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "handlers/gateway/tools.h"
#include "support/firebird_db.h"

namespace livrexa::test {
namespace {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::filesystem::path UpgradeScript() {
  return SourceDir() / "db" / "upgrade-indexes.sql";
}

// The names of the indexes the upgrade script creates, in its order.
std::vector<std::string> ScriptIndexes() {
  const std::string text = ReadFile(UpgradeScript());
  const std::regex create(R"(CREATE\s+(?:DESCENDING\s+)?INDEX\s+(\w+)\s+ON)", std::regex::icase);
  std::vector<std::string> names;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), create); it != std::sregex_iterator(); ++it)
    names.push_back((*it)[1]);
  return names;
}

class SchemaIndexesTest : public FbDatabaseTest {
 protected:
  // Table, direction, columns or expression of each index of the script, as the engine holds them.
  std::map<std::string, std::string> Describe(const std::vector<std::string>& names) {
    std::map<std::string, std::string> out;
    for (const std::string& name : names) {
      TFbQuery q(*connection_);
      q.SQL.Add(
          "Select Trim(i.RDB$RELATION_NAME) || ' ' || Coalesce(i.RDB$INDEX_TYPE, 0) || ' ' || "
          "Coalesce(Trim(i.RDB$EXPRESSION_SOURCE), '') || Coalesce((Select List(Trim(s.RDB$FIELD_NAME)) From "
          "RDB$INDEX_SEGMENTS s Where s.RDB$INDEX_NAME = i.RDB$INDEX_NAME), '') From RDB$INDICES i "
          "Where i.RDB$INDEX_NAME = Upper(:p00)");
      q.ParamByName("p00").SetAsString(name);
      q.Open();
      out[name] = q.Eof() ? "(missing)" : q.AsString(0);
    }
    return out;
  }

  // Lets every attachment go, so that isql and index changes meet no other user of the tables.
  void Release() {
    query_->Close();
    connection_->Disconnect();
    pool_->Clear();
  }

  TToolRun RunIsql(const std::filesystem::path& script) {
    Release();
    return RunFirebirdTool(FindFirebirdTool({"isql-fb", "isql"}),
                           {"-q", "-user", "sysdba", "-i", script.string(), database_.string()});
  }
};

TEST_F(SchemaIndexesTest, UpgradeScriptAddsTheSchemaIndexesToADatabaseWithoutThem) {
  const std::vector<std::string> names = ScriptIndexes();
  ASSERT_GE(names.size(), 10u);
  const auto schema = Describe(names);
  for (const auto& [name, description] : schema) EXPECT_NE(description, "(missing)") << name;

  // A database as it was before the indexes: the same tables without them, and rows in them.
  std::string drops;
  for (const std::string& name : names) drops += "DROP INDEX " + name + ";\n";
  const std::filesystem::path dropScript = NewPath("drop-indexes", ".sql");
  std::ofstream(dropScript) << drops << "COMMIT;\n"
                            << "INSERT INTO T04_LEITOR (T04_Leitor, T04_NumTurma, T04_Desativado) "
                               "SELECT 'Leitor ' || RDB$RELATION_ID, 1, FALSE FROM RDB$RELATIONS;\nCOMMIT;\n";
  const TToolRun dropped = RunIsql(dropScript);
  ASSERT_EQ(dropped.ExitCode, 0) << dropped.Output;
  for (const auto& [name, description] : Describe(names)) ASSERT_EQ(description, "(missing)") << name;

  const TToolRun upgraded = RunIsql(UpgradeScript());
  ASSERT_EQ(upgraded.ExitCode, 0) << upgraded.Output;
  EXPECT_EQ(upgraded.Output.find("Statement failed"), std::string::npos) << upgraded.Output;
  EXPECT_EQ(Describe(names), schema);

  // An index made with the empty table (the primary key) now has the selectivity of its rows.
  TFbQuery q(*connection_);
  q.SQL.Add("Select RDB$STATISTICS From RDB$INDICES Where RDB$INDEX_NAME = 'PK_T04_LEITOR'");
  q.Open();
  const double selectivity = q.AsFloat(0);
  EXPECT_GT(selectivity, 0.0);
  EXPECT_NEAR(1.0 / selectivity, static_cast<double>(ScalarInt("Select Count(*) From T04_LEITOR")), 0.5);
}

}  // namespace
}  // namespace livrexa::test
