#include "platform/rtl/Variants.h"

#include "platform/rtl/SysUtils.h"

#include <clocale>
#include <gtest/gtest.h>

using namespace rtl;

TEST(Variants, ConvertsBetweenTheScalarTypes) {
    EXPECT_EQ(TVariant("12").AsInteger(), 12);
    EXPECT_EQ(TVariant("2.5").AsDouble(), 2.5);
    EXPECT_EQ(TVariant(std::int32_t{7}).AsString(), "7");
    EXPECT_EQ(TVariant(true).AsString(), "True");
    EXPECT_TRUE(TVariant("TRUE").AsBoolean());
    EXPECT_FALSE(TVariant("0").AsBoolean());
    EXPECT_EQ(TVariant(2.5).AsInteger(), 2); // ties to even
    EXPECT_EQ(TVariant(3.5).AsInteger(), 4);
    EXPECT_EQ(TVariant::FromDate(46000.25).AsDouble(), 46000.25);
    EXPECT_EQ(TVariant("2026-12-06").AsDateTime(), EncodeDate(2026, 12, 6));
    EXPECT_EQ(TVariant().AsString(), "");
    EXPECT_EQ(TVariant().AsInteger(), 0);
}

TEST(Variants, FailedConversionsNameBothTypes) {
    struct Case {
        TVariant value;
        const char* message;
        int target; // 0 integer, 1 boolean, 2 double, 3 string
    } cases[] = {
        {TVariant("abc"), "Could not convert variant of type (String) into type (Integer)", 0},
        {TVariant("abc"), "Could not convert variant of type (String) into type (Boolean)", 1},
        {TVariant("1e999"), "Could not convert variant of type (String) into type (Double)", 2},
        {TVariant::Null(), "Could not convert variant of type (Null) into type (String)", 3},
        {TVariant(1e12), "Could not convert variant of type (Double) into type (Integer)", 0},
    };
    for (const Case& c : cases) {
        try {
            switch (c.target) {
            case 0:
                (void)c.value.AsInteger();
                break;
            case 1:
                (void)c.value.AsBoolean();
                break;
            case 2:
                (void)c.value.AsDouble();
                break;
            default:
                (void)c.value.AsString();
            }
            FAIL() << c.message;
        } catch (const EVariantTypeCastError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
}

TEST(Variants, TypesAreKeptAndCompared) {
    EXPECT_EQ(TVariant(std::int32_t{1}).VarType(), TVarType::Integer);
    EXPECT_EQ(TVariant(1.0).VarType(), TVarType::Double);
    EXPECT_EQ(TVariant::FromDate(1.0).VarType(), TVarType::Date);
    EXPECT_NE(TVariant(1.0), TVariant::FromDate(1.0));
    EXPECT_TRUE(TVariant::Null().IsNull());
    EXPECT_TRUE(TVariant().IsEmpty());
}

TEST(Variants, NumberTextIgnoresTheProcessLocale) {
    // A GUI application takes the user's locale; variant text must not follow it.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    EXPECT_EQ(TVariant("2.5").AsDouble(), 2.5);
    EXPECT_EQ(TVariant(0.1).AsString(), "0.1");
    EXPECT_EQ(TVariant(1e300).AsString(), "1e+300");
    EXPECT_THROW((void)TVariant("2,5").AsDouble(), EVariantTypeCastError);
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!german) {
        GTEST_SKIP() << "de_DE.UTF-8 is not installed; checked in the C locale only";
    }
}
