#include "platform/host/server/ReportDefinition.h"

#include "ServerTestSupport.h"
#include "platform/host/server/SqliteDatabase.h"

#include <gtest/gtest.h>

using namespace morvid::test;
using host::ESqliteError;
using host::TReportParamType;
using host::TSqliteDatabase;

namespace {

TEST(SqliteDatabaseTest, PrepareTakesExactlyOneStatement) {
    TSqliteDatabase db(":memory:", TSqliteDatabase::TOpenMode::Create);
    const std::pair<const char*, bool> cases[] = {
        {"SELECT 1", true},
        {"SELECT 1;", true},
        {"SELECT 1 ;  -- trailing comment\n", true},
        {"SELECT 1; /* block */ ;", true},
        {"SELECT ';' AS semicolon", true},
        {"SELECT 1; SELECT 2", false},
        {"SELECT 1; -- x\nDROP TABLE t", false},
        {"SELECT 1 /* unterminated", true}, // SQLite itself ends the statement at the comment
        {"", false},
        {"   ", false},
        {"SELEC 1", false},
    };
    for (const auto& [sql, ok] : cases) {
        SCOPED_TRACE(sql);
        if (ok) {
            EXPECT_NO_THROW(db.Prepare(sql));
        } else {
            EXPECT_THROW(db.Prepare(sql), ESqliteError);
        }
    }
}

TEST(SqliteDatabaseTest, NamedParametersAnswerToEveryPrefix) {
    TSqliteDatabase db(":memory:", TSqliteDatabase::TOpenMode::Create);
    auto stmt = db.Prepare("SELECT :a, @b, $c, ?");
    EXPECT_EQ(stmt.ParameterIndex("a"), 1);
    EXPECT_EQ(stmt.ParameterIndex("b"), 2);
    EXPECT_EQ(stmt.ParameterIndex("c"), 3);
    EXPECT_EQ(stmt.ParameterIndex("d"), 0);
    EXPECT_EQ(stmt.ParameterCount(), 4);
}

TEST(ColumnTypesTest, ReadsAndWritesTheList) {
    using V = rtl::TVarType;
    const struct {
        const char* Text;
        std::vector<std::optional<V>> Types;
    } cases[] = {
        {"", {}},
        {"  ", {}},
        {"Date", {V::Date}},
        {"string, INTEGER ,boolean,Double,date",
         {V::String, V::Integer, V::Boolean, V::Double, V::Date}},
        {"Date,,String", {V::Date, std::nullopt, V::String}},
        {",", {std::nullopt, std::nullopt}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        const auto types = host::ParseColumnTypes(c.Text);
        EXPECT_EQ(types, c.Types);
        if (!types.empty()) {
            EXPECT_EQ(host::ParseColumnTypes(host::FormatColumnTypes(types)), types);
        }
    }
    for (const char* bad : {"Money", "Date,Null", "Empty"}) {
        EXPECT_THROW(host::ParseColumnTypes(bad), ESqliteError) << bad;
    }
}

TEST(ReportDefinitionTest, SavedDefinitionsReadBackInOrder) {
    TSqliteDatabase db(":memory:", TSqliteDatabase::TOpenMode::Create);
    db.Exec(host::ReportDefinitionSchema);
    host::TReportDefinition second{20,
                                   "Second",
                                   "SELECT :B",
                                   {{"B", TReportParamType::Time, "08:00", false},
                                    {"A", TReportParamType::Text, "", false, "Area", true},
                                    {"C", TReportParamType::Boolean, std::nullopt, true}},
                                   {rtl::TVarType::Date}};
    host::TReportDefinition first{10, "First", "SELECT 1", {}, {}};
    host::SaveReportDefinition(db, second);
    host::SaveReportDefinition(db, first);
    // Saving again replaces, parameters included.
    second.Params.pop_back();
    host::SaveReportDefinition(db, second);

    const auto loaded = host::LoadReportDefinitions(db);
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0].Id, 10);
    EXPECT_EQ(loaded[0].Name, "First");
    EXPECT_TRUE(loaded[0].Params.empty());
    EXPECT_EQ(loaded[1].Sql, "SELECT :B");
    ASSERT_EQ(loaded[1].Params.size(), 2u);
    EXPECT_EQ(loaded[1].Params[0].Name, "B"); // declared order, not name order
    EXPECT_EQ(loaded[1].Params[0].Type, TReportParamType::Time);
    EXPECT_EQ(loaded[1].Params[0].Default, std::optional<std::string>("08:00"));
    // An empty default is a default; only a missing one is none.
    EXPECT_EQ(loaded[1].Params[1].Default, std::optional<std::string>(""));
    EXPECT_EQ(loaded[1].ColumnTypes, second.ColumnTypes);
    // Captions and "empty means all" travel with the parameter; without a caption the name
    // is what people read.
    EXPECT_EQ(loaded[1].Params[1].ShownName(), "Area");
    EXPECT_TRUE(loaded[1].Params[1].EmptyMeansAll);
    EXPECT_EQ(loaded[1].Params[0].ShownName(), "B");
    EXPECT_FALSE(loaded[1].Params[0].EmptyMeansAll);
}

// A server made before parameters had captions still loads, its parameters under their names.
TEST(ReportDefinitionTest, AServerWithoutCaptionsLoadsWithTheNames) {
    TSqliteDatabase db(":memory:", TSqliteDatabase::TOpenMode::Create);
    db.Exec("CREATE TABLE report_definitions (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE,"
            " sql_text TEXT NOT NULL, column_types TEXT NOT NULL DEFAULT '');"
            "CREATE TABLE report_parameters (report_id INTEGER NOT NULL, position INTEGER NOT NULL,"
            " name TEXT NOT NULL, type TEXT NOT NULL, default_value TEXT,"
            " required BOOLEAN NOT NULL DEFAULT 0, PRIMARY KEY (report_id, position));"
            "INSERT INTO report_definitions VALUES (1, 'Old', 'SELECT :Site', '');"
            "INSERT INTO report_parameters VALUES (1, 0, 'Site', 'Text', '', 0);");
    const auto loaded = host::LoadReportDefinitions(db);
    ASSERT_EQ(loaded.size(), 1u);
    ASSERT_EQ(loaded[0].Params.size(), 1u);
    EXPECT_EQ(loaded[0].Params[0].ShownName(), "Site");
    EXPECT_FALSE(loaded[0].Params[0].EmptyMeansAll);
}

TEST(ReportDefinitionTest, UnknownParameterTypeNamesTheReport) {
    TSqliteDatabase db(":memory:", TSqliteDatabase::TOpenMode::Create);
    db.Exec(host::ReportDefinitionSchema);
    db.Exec("INSERT INTO report_definitions VALUES (1, 'Odd', 'SELECT 1', '');"
            "INSERT INTO report_parameters (report_id, position, name, type)"
            " VALUES (1, 0, 'P', 'Money');");
    try {
        host::LoadReportDefinitions(db);
        ADD_FAILURE() << "accepted";
    } catch (const ESqliteError& e) {
        EXPECT_NE(e.Message().find("\"Odd\""), std::string::npos) << e.Message();
        EXPECT_NE(e.Message().find("\"Money\""), std::string::npos) << e.Message();
    }
    host::TReportParamType type{};
    for (const char* name : {"Text", "number", "BOOLEAN", "Date", "time"}) {
        EXPECT_TRUE(host::TryParseReportParamType(name, type)) << name;
    }
    EXPECT_FALSE(host::TryParseReportParamType("Datetime", type));
}

} // namespace
