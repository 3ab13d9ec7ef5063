#pragma once
// Real database files for the tests: one Firebird folder and one template database per test
// process, created from db/schema.sql by scripts/create-db.sh in a temporary folder, and a fresh
// copy of the template for every test that asks.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "handlers/gateway/connection.h"
#include "handlers/gateway/query.h"
#include "support/source_dir.h"

namespace livrexa::test {

// The temporary folder of this test process (removed when the process ends).
std::filesystem::path TempRoot();

// A new database file made from the schema (and the demo data when asked), in TempRoot().
std::filesystem::path NewDatabase(bool demo = false);

// A unique path in TempRoot() for a file that does not exist yet.
std::filesystem::path NewPath(const std::string& stem, const std::string& extension);

// A fixture with its own database, its own pool and a connection + command on it.
class FbDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Another connection to the same database (through the same pool unless told otherwise).
  std::unique_ptr<TFbConnection> NewConnection(TFbPool* pool);
  std::unique_ptr<TFbConnection> NewConnection() { return NewConnection(pool_.get()); }

  // Runs one statement on a fresh command of the connection and returns the first field of the
  // first row as an integer (0 when there is no row).
  static int64_t ScalarInt(TFbConnection& connection, const std::string& sql);
  int64_t ScalarInt(const std::string& sql) { return ScalarInt(*connection_, sql); }
  // Runs a statement in its own committed transaction.
  static void ExecCommitted(TFbConnection& connection, const std::string& sql);

  std::filesystem::path database_;
  std::unique_ptr<TFbPool> pool_;
  std::unique_ptr<TFbConnection> connection_;
  std::unique_ptr<TFbQuery> query_;
};

}  // namespace livrexa::test
