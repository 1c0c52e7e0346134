#include "ServerTestSupport.h"

#include "platform/host/server/SqliteDatabase.h"

#include <vector>

namespace morvid::test {

rtl::TDateTime DemoNow() {
    return rtl::EncodeDateTime(2026, 3, 4, 13, 46, 5, 0);
}

host::TDemoServerOptions SmallDemoOptions() {
    host::TDemoServerOptions options;
    options.Days = 90;
    options.AlarmsPerDay = 40;
    options.AccessEventsPerDay = 80;
    options.OperatorActionsPerDay = 10;
    options.Sites = 3;
    options.Seed = 7;
    return options;
}

namespace {
void Mix(std::uint64_t& hash, const std::string& text) {
    for (const unsigned char c : text) {
        hash = (hash ^ c) * 0x100000001B3ULL; // FNV-1a
    }
    hash = (hash ^ 0xFF) * 0x100000001B3ULL; // field separator
}
} // namespace

std::uint64_t DatabaseChecksum(const std::string& path) {
    host::TSqliteDatabase db(path, host::TSqliteDatabase::TOpenMode::ReadOnly);
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    std::vector<std::string> tables;
    host::TSqliteStatement schema =
        db.Prepare("SELECT type, name, coalesce(sql, '') FROM sqlite_master ORDER BY name");
    while (schema.Step()) {
        Mix(hash, schema.ColumnText(0) + schema.ColumnText(1) + schema.ColumnText(2));
        if (schema.ColumnText(0) == "table") {
            tables.push_back(schema.ColumnText(1));
        }
    }
    for (const std::string& table : tables) {
        host::TSqliteStatement rows = db.Prepare("SELECT * FROM \"" + table + "\" ORDER BY rowid");
        while (rows.Step()) {
            for (int c = 0; c < rows.ColumnCount(); ++c) {
                Mix(hash, std::to_string(rows.ColumnStorage(c)) + ":" + rows.ColumnText(c));
            }
        }
    }
    return hash;
}

std::int64_t QueryNumber(const std::string& path, const std::string& sql) {
    host::TSqliteDatabase db(path, host::TSqliteDatabase::TOpenMode::ReadOnly);
    host::TSqliteStatement query = db.Prepare(sql);
    return query.Step() ? query.ColumnInt(0) : -1;
}

void TDemoServerSuite::SetUpTestSuite() {
    Dir = new TScratchDir;
    ASSERT_TRUE(host::CreateDemoServer(DemoPath(), DemoNow(), SmallDemoOptions()));
}

void TDemoServerSuite::TearDownTestSuite() {
    delete Dir;
    Dir = nullptr;
}

} // namespace morvid::test
