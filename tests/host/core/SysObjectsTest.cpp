#include "platform/host/core/SysObjects.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace host {
namespace {

class TTestReport : public TClientReport {
public:
    using TClientReport::TClientReport;
    bool BuildPreview(const std::vector<rtl::TVariant>&,
                      std::unique_ptr<rtl::TComponent>&) override {
        return false;
    }
};

TEST(DateToVersion, YearMonthDayAndMinuteOfTheDay) {
    struct TCase {
        rtl::TDateTime value;
        const char* version;
    };
    const TCase cases[] = {
        {46084.5736749884, "2026.3.3.826"}, // 2026-03-03 13:46:05.519
        {rtl::EncodeDateTime(2026, 3, 3, 0, 0, 0, 0), "2026.3.3.0"},
        {rtl::EncodeDateTime(2026, 12, 31, 23, 59, 59, 999), "2026.12.31.1439"},
        {rtl::EncodeDateTime(2000, 2, 29, 12, 0, 0, 0), "2000.2.29.720"},
        {0.0, "1899.12.30.0"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(DateToVersion(c.value), c.version) << c.value;
    }
}

TEST(SysObjectList, FindsByIdAndWalksOneClass) {
    TSysObjectList list;
    list.Add(std::make_unique<TCustomSysObject>(1, "Site"));
    list.Add(std::make_unique<TTestReport>(10, "Alarms"));
    list.Add(std::make_unique<TCustomSysObject>(2, "Door"));
    list.Add(std::make_unique<TTestReport>(11, "Access"));

    struct TCase {
        std::int32_t id;
        const char* name; // nullptr: not found
    };
    const TCase cases[] = {{1, "Site"}, {11, "Access"}, {3, nullptr}, {-1, nullptr}};
    for (const TCase& c : cases) {
        TCustomSysObject* found = reinterpret_cast<TCustomSysObject*>(1);
        const bool ok = list.FindById(c.id, found);
        EXPECT_EQ(ok, c.name != nullptr) << c.id;
        if (c.name != nullptr) {
            EXPECT_EQ(found->Name, c.name);
        } else {
            EXPECT_EQ(found, nullptr);
        }
    }

    std::vector<std::string> reports;
    int index = 0;
    TClientReport* report = nullptr;
    while (list.ForEach(index, report)) {
        reports.push_back(report->Name);
    }
    EXPECT_EQ(reports, (std::vector<std::string>{"Alarms", "Access"}));
    EXPECT_EQ(report, nullptr);
    EXPECT_FALSE(list.ForEach(index, report)); // stays at the end

    list.Clear();
    index = 0;
    EXPECT_FALSE(list.ForEach(index, report));
}

} // namespace
} // namespace host
