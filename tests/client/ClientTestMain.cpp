// The client's in-process tests run inside one QApplication on the offscreen platform, as the
// client itself does when headless.
#include "platform/host/core/QtDispatcher.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    host::TQtDispatcherInstaller dispatcher;
    return RUN_ALL_TESTS();
}
