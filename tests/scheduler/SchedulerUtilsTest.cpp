#include "scheduler/uSchedulerUtils.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace morvid;

namespace {

std::vector<std::string> Split(const std::string& text, char delimiter, bool strict = true) {
    TStringList2 list;
    list.StrictDelimiter = strict;
    list.Delimiter = delimiter;
    AssignDelimited(list, text);
    std::vector<std::string> items;
    for (int i = 0; i < list.Count(); ++i) {
        items.push_back(list[i]);
    }
    return items;
}

using Items = std::vector<std::string>;

} // namespace

TEST(AssignDelimited, StrictSplitting) {
    const struct {
        const char* Text;
        char Delimiter;
        Items Expected;
    } cases[] = {
        {"", ' ', {}},
        {"a", ' ', {"a"}},
        {"a b", ' ', {"a", "b"}},
        {"a  b", ' ', {"a", "", "b"}},
        {" a", ' ', {"", "a"}},
        {"a ", ' ', {"a", ""}},
        {" ", ' ', {"", ""}},
        {"a\tb c", ' ', {"a\tb", "c"}},
        {"\"a b\" c", ' ', {"a b", "c"}},
        {"\"a\"\"b\"", ' ', {"a\"b"}},
        {"\"a\"b", ' ', {"a", "b"}},
        {"\"open", ' ', {"open"}},
        {"\"", ' ', {""}},
        {"1,,2,", ',', {"1", "", "2", ""}},
        {"1 2,3", ',', {"1 2", "3"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Split(c.Text, c.Delimiter), c.Expected) << "\"" << c.Text << "\"";
    }
}

TEST(AssignDelimited, LooseSplittingSkipsControlCharacters) {
    EXPECT_EQ(Split("  a ,\tb , c", ',', false), (Items{"a", "b", "c"}));
    EXPECT_EQ(Split("a b", ',', false), (Items{"a", "b"}));
    EXPECT_EQ(Split("a,", ',', false), (Items{"a", ""}));
}

TEST(AssignDelimited, HoldsNoticesBackAndReplacesTheList) {
    TStringList2 list;
    list.StrictDelimiter = true;
    list.Delimiter = ' ';
    int notices = 0;
    list.OnChange = [&](rtl::TStringList&) { ++notices; };
    list.Add("old");
    notices = 0;
    AssignDelimited(list, "a b c");
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.UpdateCount(), 0);
}

TEST(TextBeforeAndAfter, FirstOccurrence) {
    const struct {
        const char* Sub;
        const char* Text;
        const char* Before;
        const char* After;
    } cases[] = {
        {"/", "*/15", "*", "15"}, {"/", "a/b/c", "a", "b/c"}, {"/", "/5", "", "5"},
        {"/", "5/", "5", ""},     {"/", "5", "", ""},         {"-", "", "", ""},
        {"ab", "xaby", "x", "y"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextBefore(c.Sub, c.Text), c.Before) << c.Text;
        EXPECT_EQ(TextAfter(c.Sub, c.Text), c.After) << c.Text;
    }
}

TEST(CompareAsInteger, OrdersByValueWithoutOverflow) {
    rtl::TStringList list;
    for (const char* text : {"10", "9", "-2147483648", "2147483647", "05", "x"}) {
        list.Add(text);
    }
    EXPECT_EQ(CompareAsInteger(list, 0, 1), 1);
    EXPECT_EQ(CompareAsInteger(list, 1, 0), -1);
    EXPECT_GT(CompareAsInteger(list, 3, 2), 0);
    EXPECT_LT(CompareAsInteger(list, 2, 3), 0);
    EXPECT_EQ(CompareAsInteger(list, 4, 4), 0);
    EXPECT_THROW(CompareAsInteger(list, 5, 0), rtl::EConvertError);
}
