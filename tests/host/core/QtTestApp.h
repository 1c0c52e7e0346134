// One QApplication for a whole test program, on the offscreen platform the test runner sets.
// Include in exactly one source of a test executable.
#pragma once

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

namespace hosttest {

class TQtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { FApp = std::make_unique<QApplication>(FArgc, FArgv); }
    void TearDown() override { FApp.reset(); }

private:
    int FArgc = 1;
    char FName[16] = "host-core-test";
    char* FArgv[2] = {FName, nullptr};
    std::unique_ptr<QApplication> FApp;
};

inline ::testing::Environment* const QtApplication =
    ::testing::AddGlobalTestEnvironment(new TQtApplicationEnvironment);

} // namespace hosttest
