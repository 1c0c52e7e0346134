// The host side of the plug-in tests: an application in UTC, a main window with the main menu
// and main toolbar as named host objects, a client whose connection state the test sets, and a
// registry file of its own. Uses only the host's package, so a test that loads the built
// library with dlopen can use it too.
#pragma once

#include "platform/host/core/BarManager.h"
#include "platform/host/core/HostMenu.h"
#include "platform/host/core/HostObject.h"
#include "platform/host/core/HostToolbar.h"
#include "platform/host/core/QuorClient.h"
#include "platform/host/core/SysObjects.h"
#include "platform/host/registry/Registry.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestClient.h"

#include <QMainWindow>
#include <QMenu>
#include <QToolBar>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plugintest {

// 2026-03-03 13:46:05 UTC; the test programs run in UTC, so this is also the local time.
std::int64_t StartUnixMs();

using TTestClient = morvid::test::TTestClient;

// The client's main window with "Menus.Main.Object" and "Toolbars.Main" registered.
class TTestHost {
public:
    TTestHost();
    ~TTestHost();
    TTestHost(const TTestHost&) = delete;
    TTestHost& operator=(const TTestHost&) = delete;

    // The texts of the main menu's entries, "-" for a separator.
    std::vector<std::string> MenuTexts() const;

    QMainWindow MainWindow;
    QMenu* Menu;
    QToolBar* Toolbar;
    std::unique_ptr<host::THostMenu> MainMenu;
    host::TBarManager BarManager;
    TTestClient Client;
};

// A registry file in a folder of its own, removed with the folder.
class TTestRegistry {
public:
    TTestRegistry();
    ~TTestRegistry();
    TTestRegistry(const TTestRegistry&) = delete;
    TTestRegistry& operator=(const TTestRegistry&) = delete;

    morvid::test::TTempDir Dir{"morvid-plugin"};
    const std::string& Folder = Dir.Path();
    std::unique_ptr<host::TRegistry> Registry;
};

// One stored value as the tests compare them: name, type and the data as text (strings as
// they are, integers in decimal, binary values as the double they hold when 8 bytes long).
struct TStoredValue {
    std::string Name;
    host::TRegDataType Type;
    std::string Data;
    bool operator==(const TStoredValue&) const = default;
};
// Every value of the key at that path in stored order; empty when the key does not exist.
std::vector<TStoredValue> StoredValues(host::TRegistry& registry, const std::string& path);
// Creates the key and writes the values in order (binary values from the double in Data).
void StoreValues(host::TRegistry& registry, const std::string& path,
                 const std::vector<TStoredValue>& values);
std::string DoubleText(double value);
void PrintTo(const TStoredValue& value, std::ostream* out);

} // namespace plugintest
