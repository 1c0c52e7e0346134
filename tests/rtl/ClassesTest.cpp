#include "platform/rtl/Classes.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

using namespace rtl;

namespace {

std::vector<std::string> Items(const TStringList& list) {
    std::vector<std::string> items;
    for (int i = 0; i < list.Count(); ++i) {
        items.push_back(list[i]);
    }
    return items;
}

int ByLength(TStringList& list, int a, int b) {
    return static_cast<int>(list[a].size()) - static_cast<int>(list[b].size());
}

} // namespace

TEST(TStringList, DefaultsAndIndexedAccess) {
    TStringList list;
    EXPECT_EQ(list.Delimiter, ',');
    EXPECT_EQ(list.QuoteChar, '"');
    EXPECT_FALSE(list.CaseSensitive);
    EXPECT_EQ(list.Add("a"), 0);
    EXPECT_EQ(list.Add("b"), 1);
    list.Put(0, "c");
    list.Exchange(0, 1);
    EXPECT_EQ(Items(list), (std::vector<std::string>{"b", "c"}));
    EXPECT_THROW(list[2], EStringListError);
    EXPECT_THROW(list[-1], EStringListError);
    try {
        (void)list[5];
    } catch (const EStringListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (5)");
    }
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(TStringList, IndexOfHonoursCaseSensitivity) {
    TStringList list;
    list.Add("Alpha");
    list.Add("beta");
    list.Add("alpha");
    const struct {
        bool CaseSensitive;
        const char* Text;
        int Expected;
    } cases[] = {
        {false, "ALPHA", 0}, {false, "Beta", 1}, {false, "gamma", -1},
        {true, "alpha", 2},  {true, "Beta", -1}, {true, "Alpha", 0},
    };
    for (const auto& c : cases) {
        list.CaseSensitive = c.CaseSensitive;
        EXPECT_EQ(list.IndexOf(c.Text), c.Expected) << c.Text << " " << c.CaseSensitive;
    }
}

TEST(TStringList, ChangeNoticesWaitForTheLastEndUpdate) {
    TStringList list;
    int notices = 0;
    list.OnChange = [&](TStringList&) { ++notices; };
    list.Add("x");
    EXPECT_EQ(notices, 1);
    list.BeginUpdate();
    list.BeginUpdate();
    list.Add("y");
    list.Clear();
    list.EndUpdate();
    EXPECT_EQ(notices, 1);
    list.EndUpdate();
    EXPECT_EQ(notices, 2);
    list.BeginUpdate();
    list.EndUpdate();
    EXPECT_EQ(notices, 2) << "no change, no notice";
    list.EndUpdate(); // unbalanced: ignored
    EXPECT_EQ(list.UpdateCount(), 0);
}

TEST(TStringList, CustomSortOrdersByTheComparison) {
    std::mt19937 rng(7);
    for (int size = 0; size < 60; ++size) {
        TStringList list;
        std::vector<std::string> expected;
        for (int i = 0; i < size; ++i) {
            std::string text(static_cast<std::size_t>(rng() % 9), 'x');
            list.Add(text);
            expected.push_back(text);
        }
        list.CustomSort(ByLength);
        std::sort(expected.begin(), expected.end(),
                  [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
        EXPECT_EQ(Items(list), expected) << size;
    }
}

TEST(TStringList, CustomSortPassesErrorsOnAndClosesItsUpdate) {
    TStringList list;
    list.Add("b");
    list.Add("a");
    EXPECT_THROW(list.CustomSort([](TStringList&, int, int) -> int { throw Exception("boom"); }),
                 Exception);
    EXPECT_EQ(list.UpdateCount(), 0);
}
