// Helpers shared by the server tests: a fixed wall clock, a scratch folder, a demo server made
// once per options, and a checksum over every table to prove that nothing was changed.
#pragma once

#include "platform/host/server/DemoServer.h"
#include "platform/rtl/Clock.h"
#include "tests/support/TempDir.h"

#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace morvid::test {

// A wall clock that stands still where the test puts it (local time, no zone involved).
class TFixedClock final : public rtl::TClock {
public:
    explicit TFixedClock(rtl::TDateTime now) : FNow(now) {}
    rtl::TDateTime Now() const override { return FNow; }
    std::int64_t PerformanceCounter() const override { return 0; }
    std::int64_t PerformanceFrequency() const override { return 1000; }
    void Set(rtl::TDateTime now) noexcept { FNow = now; }

private:
    rtl::TDateTime FNow;
};

// Installs a fixed clock for one scope.
class TFixedClockScope {
public:
    explicit TFixedClockScope(rtl::TDateTime now) : FClock(now) { rtl::SetCurrentClock(&FClock); }
    ~TFixedClockScope() { rtl::SetCurrentClock(nullptr); }
    TFixedClockScope(const TFixedClockScope&) = delete;
    TFixedClockScope& operator=(const TFixedClockScope&) = delete;
    TFixedClock& Clock() noexcept { return FClock; }

private:
    TFixedClock FClock;
};

// The "now" every server test generates its data for: Wednesday 2026-03-04 13:46:05.
rtl::TDateTime DemoNow();
// Small and quick, yet enough rows for every report.
host::TDemoServerOptions SmallDemoOptions();

// A test suite sharing one demo server of SmallDemoOptions(), made once in a scratch folder.
class TDemoServerSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    static std::string DemoPath() { return Dir->File("server.db"); }

    static inline TScratchDir* Dir = nullptr;
};

// A digest of the schema and of every row of every table, in rowid order.
std::uint64_t DatabaseChecksum(const std::string& path);
// Rows of one table (or the count of any SELECT that gives one number).
std::int64_t QueryNumber(const std::string& path, const std::string& sql);

} // namespace morvid::test
