#include "tests/tasks/TaskTestHost.h"

#include "platform/host/forms/ListView.h"

#include <QApplication>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace taskstest {

namespace {

// One application for the whole program, made before the first test, in UTC so that the
// virtual clock's local time is the UTC time the tests write down.
class TApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        FApp = std::make_unique<QApplication>(FArgc, FArgv);
    }
    void TearDown() override { FApp.reset(); }

private:
    int FArgc = 1;
    char FName[16] = "tasks-test";
    char* FArgv[2] = {FName, nullptr};
    std::unique_ptr<QApplication> FApp;
};

::testing::Environment* const Application =
    ::testing::AddGlobalTestEnvironment(new TApplicationEnvironment);

} // namespace

std::int64_t StartUnixMs() {
    return morvid::test::UnixMsOfUtc(2026, 3, 3, 13, 46, 5);
}

host::TSysObjectList& TTestClient::GetReports() {
    if (OnGetReports) {
        OnGetReports();
    }
    return Reports;
}

TTempDir::TTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "morvid-tasks-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    FPath = pattern;
}

TTempDir::~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> ListDir(const std::string& path) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TTaskHostTest::TTaskHostTest() : Clock(StartUnixMs()) {
    rtl::SetThreadDispatcher(&Dispatcher);
    rtl::SetMainDispatcher(&Dispatcher);
    Plugin = std::make_unique<morvid::TMorvidPlugin>(Info, Client);
    ListView = std::make_unique<host::TListView>();
}

TTaskHostTest::~TTaskHostTest() {
    ListView.reset();
    Plugin.reset();
    rtl::SetMainDispatcher(nullptr);
    rtl::SetThreadDispatcher(nullptr);
}

std::vector<std::string> TTaskHostTest::RowTexts(int index) const {
    host::TListItem* row = ListView->Items[index];
    std::vector<std::string> texts{row->Caption()};
    for (int i = 0; i < row->SubItems().Count(); ++i) {
        texts.push_back(row->SubItems()[i]);
    }
    return texts;
}

int TTaskHostTest::RowCount() const {
    return ListView->Items.Count();
}

} // namespace taskstest
