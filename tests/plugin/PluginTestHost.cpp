#include "tests/plugin/PluginTestHost.h"

#include "platform/host/core/ItemLinks.h"
#include "tests/support/QtTestApplication.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <ostream>
#include <stdexcept>

namespace plugintest {

// One application for the whole program, in UTC so that the virtual clock's local time is the
// UTC time the tests write down.
::testing::Environment* const Application =
    morvid::test::AddQtApplication({.Name = "plugin-test", .Utc = true});

std::int64_t StartUnixMs() {
    return 1772545565000; // 2026-03-03 13:46:05 UTC
}

TTestHost::TTestHost()
    : Menu(MainWindow.menuBar()->addMenu("&File")), Toolbar(MainWindow.addToolBar("Main")),
      MainMenu(std::make_unique<host::THostMenu>(Menu)) {
    Client.Objects.Register(host::MainMenuObjectName, MainMenu.get());
    Client.Objects.Register(host::MainToolbarObjectName, BarManager.AddBar(Toolbar));
    // An entry of the host's own, so the plug-in's link has to start a group after it.
    Menu->addAction("Exit");
}

TTestHost::~TTestHost() = default;

std::vector<std::string> TTestHost::MenuTexts() const {
    std::vector<std::string> texts;
    for (QAction* action : Menu->actions()) {
        texts.push_back(action->isSeparator() ? "-" : action->text().toStdString());
    }
    return texts;
}

TTestRegistry::TTestRegistry()
    : Registry(std::make_unique<host::TRegistry>(Dir.File("registry.db"))) {}

TTestRegistry::~TTestRegistry() {
    Registry.reset();
}

std::string DoubleText(double value) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

std::vector<TStoredValue> StoredValues(host::TRegistry& registry, const std::string& path) {
    std::vector<TStoredValue> values;
    if (!registry.OpenKey(path, false)) {
        return values;
    }
    for (const std::string& name : registry.GetValueNames()) {
        TStoredValue value{name, registry.GetDataType(name), {}};
        switch (value.Type) {
        case host::rdString:
            value.Data = registry.ReadString(name);
            break;
        case host::rdInteger:
            value.Data = std::to_string(registry.ReadInteger(name));
            break;
        case host::rdBinary: {
            const std::vector<std::uint8_t> bytes = registry.ReadBinaryData(name);
            if (bytes.size() == sizeof(double)) {
                // Stored little-endian whatever the machine's order.
                std::uint64_t bits = 0;
                for (std::size_t i = 0; i < bytes.size(); ++i) {
                    bits |= std::uint64_t(bytes[i]) << (8 * i);
                }
                double number = 0;
                std::memcpy(&number, &bits, sizeof number);
                value.Data = DoubleText(number);
            } else {
                value.Data = std::to_string(bytes.size()) + " bytes";
            }
            break;
        }
        case host::rdUnknown:
            break;
        }
        values.push_back(std::move(value));
    }
    registry.CloseKey();
    return values;
}

void StoreValues(host::TRegistry& registry, const std::string& path,
                 const std::vector<TStoredValue>& values) {
    if (!registry.OpenKey(path, true)) {
        throw std::runtime_error("cannot create " + path);
    }
    for (const TStoredValue& value : values) {
        switch (value.Type) {
        case host::rdString:
            registry.WriteString(value.Name, value.Data);
            break;
        case host::rdInteger:
            registry.WriteInteger(value.Name, std::stoi(value.Data, nullptr, 0));
            break;
        case host::rdBinary:
            registry.WriteFloat(value.Name, std::stod(value.Data));
            break;
        case host::rdUnknown:
            break;
        }
    }
    registry.CloseKey();
}

void PrintTo(const TStoredValue& value, std::ostream* out) {
    static const char* const types[] = {"unknown", "string", "integer", "binary"};
    *out << value.Name << " (" << types[value.Type] << ") = " << value.Data;
}

} // namespace plugintest
