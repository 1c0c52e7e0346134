#include "platform/host/core/BarButton.h"
#include "platform/host/core/BarManager.h"
#include "platform/host/core/HostMenu.h"
#include "platform/host/core/HostObject.h"
#include "platform/host/core/HostToolbar.h"
#include "platform/host/core/ItemLinks.h"
#include "tests/host/core/QtTestApp.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QToolBar>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace host {
namespace {

// The widget's actions as text: a command by its objectName, a separator as "|", hidden
// actions in brackets.
std::string Layout(const QWidget* widget) {
    std::string out;
    for (const QAction* action : widget->actions()) {
        std::string item = action->isSeparator() ? "|" : action->objectName().toStdString();
        if (!action->isVisible()) {
            item = "(" + item + ")";
        }
        out += (out.empty() ? "" : " ") + item;
    }
    return out;
}

// Menus and toolbars take links the same way; every link test runs on both.
struct TContainer {
    virtual ~TContainer() = default;
    virtual TItemLinks& Links() = 0;
    virtual QWidget* Widget() = 0;
};

struct TMenuContainer : TContainer {
    QMenu Menu;
    THostMenu Host{&Menu};
    TItemLinks& Links() override { return Host.ItemLinks; }
    QWidget* Widget() override { return &Menu; }
};

struct TToolbarContainer : TContainer {
    explicit TToolbarContainer(TBarManager& manager) : Host(manager.AddBar(&Bar)) {}
    QToolBar Bar;
    THostToolbar* Host;
    TItemLinks& Links() override { return Host->ItemLinks; }
    QWidget* Widget() override { return &Bar; }
};

class ItemLinksTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (GetParam()) {
            container = std::make_unique<TToolbarContainer>(manager);
        } else {
            container = std::make_unique<TMenuContainer>();
        }
        for (const char* name : {"a", "b", "c"}) {
            buttons.push_back(manager.AddButton(name));
        }
    }
    void TearDown() override { container.reset(); }

    TBarManager manager;
    std::unique_ptr<TContainer> container;
    std::vector<TBarButton*> buttons;
};

TEST_P(ItemLinksTest, LinksShowTheirCommandsWithGroupSeparators) {
    struct TCase {
        std::vector<bool> beginGroup; // one per command a, b, c
        std::string layout;
    };
    const TCase cases[] = {
        {{false, false, false}, "a b c"},
        {{false, true, false}, "a | b c"},
        {{true, false, true}, "| a b | c"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.layout);
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            container->Links().Add(buttons[i])->SetBeginGroup(c.beginGroup[i]);
        }
        EXPECT_EQ(Layout(container->Widget()), c.layout);
        container->Links().Clear();
        EXPECT_EQ(Layout(container->Widget()), "");
    }
}

TEST_P(ItemLinksTest, BeginGroupCanBeSetAndClearedLater) {
    for (TBarButton* button : buttons) {
        container->Links().Add(button);
    }
    TItemLink* link = container->Links().Items(2);
    link->SetBeginGroup(true);
    EXPECT_EQ(Layout(container->Widget()), "a b | c");
    link->SetBeginGroup(true); // a second time adds no second separator
    EXPECT_EQ(Layout(container->Widget()), "a b | c");
    link->SetBeginGroup(false);
    EXPECT_EQ(Layout(container->Widget()), "a b c");
}

TEST_P(ItemLinksTest, AHiddenCommandHidesItsGroupSeparator) {
    container->Links().Add(buttons[0]);
    container->Links().Add(buttons[1])->SetBeginGroup(true);
    buttons[1]->SetVisible(false);
    EXPECT_EQ(Layout(container->Widget()), "a (|) (b)");
    buttons[1]->SetVisible(true);
    EXPECT_EQ(Layout(container->Widget()), "a | b");
}

TEST_P(ItemLinksTest, TheCommandKnowsItsLinksAndACommandStandsOnceInAWidget) {
    TItemLink* first = container->Links().Add(buttons[0]);
    EXPECT_EQ(container->Links().Add(buttons[0]), first);
    EXPECT_EQ(container->Links().Count(), 1);
    ASSERT_EQ(buttons[0]->LinkCount(), 1);
    EXPECT_EQ(buttons[0]->Links(0), first);
    EXPECT_EQ(first->Item(), buttons[0]);
    EXPECT_EQ(&first->Owner(), &container->Links());
    EXPECT_EQ(Layout(container->Widget()), "a");
}

TEST_P(ItemLinksTest, DestroyingALinkTakesOnlyThatItemOut) {
    for (TBarButton* button : buttons) {
        container->Links().Add(button)->SetBeginGroup(true);
    }
    container->Links().Items(1)->Destroy();
    EXPECT_EQ(Layout(container->Widget()), "| a | c");
    EXPECT_EQ(buttons[1]->LinkCount(), 0);
    EXPECT_EQ(container->Links().Count(), 2);
    EXPECT_EQ(container->Links().Items(1)->Item(), buttons[2]);
    EXPECT_EQ(container->Links().Items(1)->Index(), 1);
}

TEST_P(ItemLinksTest, DestroyingTheCommandDestroysItsLinks) {
    for (TBarButton* button : buttons) {
        container->Links().Add(button);
    }
    manager.DeleteButton(buttons[0]);
    EXPECT_EQ(Layout(container->Widget()), "b c");
    EXPECT_EQ(container->Links().Count(), 2);
    EXPECT_EQ(container->Links().Find(buttons[1])->Index(), 0);
}

INSTANTIATE_TEST_SUITE_P(MenuAndToolbar, ItemLinksTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Toolbar" : "Menu"; });

TEST(BarCommands, OneCommandInMenuAndToolbarShowsOneAction) {
    TBarManager manager;
    QMenu menu;
    THostMenu hostMenu(&menu);
    QToolBar bar;
    THostToolbar* hostBar = manager.AddBar(&bar);
    TBarButton* button = manager.AddButton("bbMorvid");
    TItemLink* inMenu = hostMenu.ItemLinks.Add(button);
    inMenu->SetBeginGroup(true);
    hostBar->ItemLinks.Add(button);

    ASSERT_EQ(button->LinkCount(), 2);
    EXPECT_EQ(button->Links(0), inMenu);
    EXPECT_EQ(menu.actions().last(), button->Action());
    EXPECT_EQ(bar.actions().last(), button->Action());

    // The way a plug-in takes its command out of the host again.
    while (button->LinkCount() > 0) {
        button->Links(0)->Destroy();
    }
    EXPECT_TRUE(menu.actions().isEmpty());
    EXPECT_TRUE(bar.actions().isEmpty());
    EXPECT_EQ(hostMenu.ItemLinks.Count(), 0);
}

TEST(BarCommands, StateAndTextsAreThoseOfTheAction) {
    TBarManager manager;
    TBarButton* button = manager.AddButton("bbTaskNew");
    QAction* action = button->Action();
    EXPECT_EQ(action->objectName(), "bbTaskNew");

    struct TCase {
        const char* what;
        std::function<void()> change;
        std::function<bool()> holds;
    };
    const TCase cases[] = {
        {"caption", [&] { button->SetCaption("New task..."); },
         [&] { return action->text() == "New task..." && button->Caption() == "New task..."; }},
        {"hint", [&] { button->SetHint("Adds a task"); },
         [&] {
             return action->toolTip() == "Adds a task" && action->statusTip() == "Adds a task";
         }},
        {"shortcut", [&] { button->SetShortCut(QKeySequence("Ctrl+N")); },
         [&] { return action->shortcut() == QKeySequence("Ctrl+N"); }},
        {"disabled", [&] { button->SetEnabled(false); },
         [&] { return !action->isEnabled() && !button->Enabled(); }},
        {"enabled", [&] { button->SetEnabled(true); },
         [&] { return action->isEnabled() && button->Enabled(); }},
        {"hidden", [&] { button->SetVisible(false); },
         [&] { return !action->isVisible() && !button->Visible(); }},
        {"shown", [&] { button->SetVisible(true); },
         [&] { return action->isVisible() && button->Visible(); }},
        {"non-ASCII caption",
         [&] {
             button->SetCaption("Bericht \xC3\xBC"
                                "ber");
         },
         [&] {
             return action->text() == QString::fromUtf8("Bericht \xC3\xBC"
                                                        "ber");
         }},
    };
    for (const TCase& c : cases) {
        c.change();
        EXPECT_TRUE(c.holds()) << c.what;
    }
}

TEST(BarCommands, ClicksReachOnClickOnlyWhileEnabled) {
    TBarManager manager;
    TBarButton* button = manager.AddButton("b");
    std::vector<TBarButton*> senders;
    button->Click(); // no handler yet: nothing to call
    button->OnClick = [&](TBarButton& sender) { senders.push_back(&sender); };
    button->Click();
    button->Action()->trigger(); // as a menu or toolbar click arrives
    button->SetEnabled(false);
    button->Click();
    button->Action()->trigger();
    EXPECT_EQ(senders, (std::vector<TBarButton*>{button, button}));
}

TEST(BarCommands, BothGlyphSizesReachTheIcon) {
    TBarManager manager;
    TBarButton* button = manager.AddButton("b");
    QPixmap small(16, 16);
    small.fill(Qt::red);
    QPixmap large(32, 32);
    large.fill(Qt::blue);
    button->SetGlyph(small);
    button->SetLargeGlyph(large);
    const QList<QSize> sizes = button->Action()->icon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    EXPECT_EQ(button->Action()->icon().pixmap(32, 32).toImage().pixelColor(5, 5), QColor(Qt::blue));
    button->SetGlyph(QPixmap());
    EXPECT_EQ(button->Action()->icon().availableSizes(), QList<QSize>{QSize(32, 32)});
}

TEST(BarManager, LargeIconsSwitchesEveryBarIncludingLaterOnes) {
    TBarManager manager;
    QToolBar first;
    QToolBar later;
    manager.AddBar(&first);
    EXPECT_EQ(first.iconSize(), QSize(16, 16));
    manager.SetLargeIcons(true);
    EXPECT_TRUE(manager.LargeIcons());
    EXPECT_EQ(first.iconSize(), QSize(32, 32));
    manager.AddBar(&later);
    EXPECT_EQ(later.iconSize(), QSize(32, 32));
    manager.SetLargeIcons(false);
    EXPECT_EQ(first.iconSize(), QSize(16, 16));
    EXPECT_EQ(later.iconSize(), QSize(16, 16));
    ASSERT_EQ(manager.BarCount(), 2);
    EXPECT_EQ(&manager.Bars(1)->BarManager(), &manager);
}

TEST(BarManager, DeletesOnlyItsOwnCommands) {
    TBarManager manager;
    TBarManager another;
    TBarButton* run = manager.AddButton("bbTaskRun");
    EXPECT_EQ(manager.FindButton("BBTASKRUN"), run);
    EXPECT_THROW(another.DeleteButton(run), EHostObjectError);
    EXPECT_THROW(another.DeleteButton(nullptr), EHostObjectError);
    EXPECT_EQ(manager.ButtonCount(), 1);
    manager.DeleteButton(run);
    EXPECT_EQ(manager.FindButton("bbTaskRun"), nullptr);
}

TEST(BarManager, WidgetsMayGoBeforeTheirHostObjects) {
    TBarManager manager;
    TBarButton* a = manager.AddButton("a");
    TBarButton* b = manager.AddButton("b");

    auto bar = std::make_unique<QToolBar>();
    THostToolbar* hostBar = manager.AddBar(bar.get());
    hostBar->ItemLinks.Add(a)->SetBeginGroup(true);
    auto menu = std::make_unique<QMenu>();
    THostMenu hostMenu(menu.get());
    hostMenu.ItemLinks.Add(a)->SetBeginGroup(true);

    bar.reset();
    menu.reset();
    EXPECT_EQ(hostBar->Bar(), nullptr);
    EXPECT_EQ(hostMenu.Menu(), nullptr);

    // Everything keeps working on the bookkeeping alone.
    hostBar->ItemLinks.Items(0)->SetBeginGroup(false);
    hostBar->ItemLinks.Add(b)->SetBeginGroup(true);
    hostMenu.ItemLinks.Add(b);
    manager.SetLargeIcons(true);
    a->SetVisible(false);
    EXPECT_EQ(a->LinkCount(), 2);
    manager.DeleteButton(a);
    EXPECT_EQ(hostBar->ItemLinks.Count(), 1);
    EXPECT_EQ(hostMenu.ItemLinks.Count(), 1);
    hostMenu.ItemLinks.Items(0)->Destroy();
    EXPECT_EQ(b->LinkCount(), 1);
}

TEST(BarManager, DestroyedBeforeTheMenuItLinkedInto) {
    QMenu menu;
    THostMenu host(&menu);
    {
        TBarManager manager;
        host.ItemLinks.Add(manager.AddButton("a"));
        host.ItemLinks.Add(manager.AddButton("b"))->SetBeginGroup(true);
    }
    EXPECT_EQ(host.ItemLinks.Count(), 0);
    EXPECT_TRUE(menu.actions().isEmpty());
}

TEST(BarManager, MenuDestroyedBeforeTheCommandsLinkedIntoIt) {
    TBarManager manager;
    TBarButton* button = manager.AddButton("a");
    QMenu menu;
    {
        THostMenu host(&menu);
        host.ItemLinks.Add(button)->SetBeginGroup(true);
    }
    EXPECT_EQ(button->LinkCount(), 0);
    EXPECT_TRUE(menu.actions().isEmpty());
}

TEST(HostObjectRegistry, FindsObjectsByNameIgnoringCase) {
    THostObjectRegistry registry;
    QMenu menu;
    THostMenu mainMenu(&menu);
    TBarManager manager;
    registry.Register("Menus.Main.Object", &mainMenu);
    registry.Register("BarManager", &manager);

    struct TCase {
        const char* name;
        THostObject* expected;
    };
    const TCase cases[] = {
        {"Menus.Main.Object", &mainMenu},
        {"menus.main.object", &mainMenu},
        {"BARMANAGER", &manager},
        {"Menus.Main", nullptr},
        {"", nullptr},
        {"Menus.Main.Object ", nullptr},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(registry.Find(c.name), c.expected) << c.name;
    }
    EXPECT_EQ(registry.Names(), (std::vector<std::string>{"BarManager", "Menus.Main.Object"}));
}

TEST(HostObjectRegistry, ADestroyedObjectLeavesTheLookup) {
    THostObjectRegistry registry;
    QToolBar bar;
    auto manager = std::make_unique<TBarManager>();
    THostToolbar* mainBar = manager->AddBar(&bar);
    registry.Register("Toolbars.Main", mainBar);
    registry.Register("Toolbars.Alias", mainBar);
    registry.Register("Bars", manager.get());
    manager.reset(); // takes the toolbar object with it
    EXPECT_EQ(registry.Find("Toolbars.Main"), nullptr);
    EXPECT_EQ(registry.Find("Toolbars.Alias"), nullptr);
    EXPECT_EQ(registry.Count(), 0);
}

TEST(HostObjectRegistry, ReplacingAndRemovingNames) {
    auto registry = std::make_unique<THostObjectRegistry>();
    TBarManager first;
    TBarManager second;
    registry->Register("Bars", &first);
    registry->Register("bars", &second); // same name: replaces, and frees `first` for others
    EXPECT_EQ(registry->Find("Bars"), &second);
    EXPECT_EQ(registry->Count(), 1);

    THostObjectRegistry other;
    EXPECT_NO_THROW(other.Register("First", &first));
    EXPECT_THROW(registry->Register("First", &first), EHostObjectError);
    EXPECT_THROW(registry->Register("", &second), EHostObjectError);
    EXPECT_THROW(registry->Register("Nil", nullptr), EHostObjectError);

    registry->Unregister("BARS");
    EXPECT_EQ(registry->Find("Bars"), nullptr);
    registry->Register("Bars", &second);
    registry.reset(); // objects outlive the registry and may be listed elsewhere
    EXPECT_NO_THROW(other.Register("Second", &second));
}

} // namespace
} // namespace host
