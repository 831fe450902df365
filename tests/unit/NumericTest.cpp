// SPDX-License-Identifier: MIT
#include "platform/Numeric.h"
#include "platform/PlatformError.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using platform::CInt;
using platform::CLng;
using platform::ErrorNumber;
using platform::PlatformError;
using platform::Variant;

namespace {

ErrorNumber errorOf(auto&& body) {
    try {
        body();
    } catch (const PlatformError& error) {
        return error.number();
    }
    return ErrorNumber::None;
}

TEST(CInt, RoundsHalvesToTheEvenNeighbour) {
    const struct {
        double in;
        int out;
    } cases[] = {{2.5, 2},           {3.5, 4},           {-2.5, -2},      {-3.5, -4},
                 {0.5, 0},           {1.5, 2},           {2.4999, 2},     {2.5001, 3},
                 {2013.33, 2013},    {533.33, 533},      {-0.4, 0},       {32767.4, 32767},
                 {-32768.5, -32768}, {-32767.5, -32768}, {32766.5, 32766}};
    for (const auto& c : cases) {
        EXPECT_EQ(CInt(c.in), c.out) << c.in;
    }
}

TEST(CInt, RaisesOverflowOutsideSixteenBits) {
    const double cases[] = {32767.5,
                            32768.0,
                            -32768.6,
                            1e10,
                            std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::quiet_NaN()};
    for (double value : cases) {
        EXPECT_EQ(errorOf([&] { CInt(value); }), ErrorNumber::Overflow) << value;
    }
}

TEST(CLng, HoldsNaturalSizesOfLargePicturesWithTheSameRounding) {
    EXPECT_EQ(CLng(45000.0), 45000); // 3000 pixels at 15 twips per pixel
    EXPECT_EQ(CLng(2.5), 2);
    EXPECT_EQ(CLng(3.5), 4);
    EXPECT_EQ(CLng(-2147483648.0), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(CLng(2147483647.4), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(errorOf([] { CLng(2147483647.5); }), ErrorNumber::Overflow);
    EXPECT_EQ(errorOf([] { CLng(-2147483649.0); }), ErrorNumber::Overflow);
}

TEST(Variant, WidensAsTheFormEngineDoes) {
    using T = Variant::Type;
    const Variant i = Variant::integer(2);
    const Variant s(1.5f);
    const Variant d(0.25);
    const struct {
        Variant result;
        T type;
        double value;
    } cases[] = {
        {i + s, T::Single, 3.5},
        {s + i, T::Single, 3.5},
        {i + d, T::Double, 2.25},
        {s * d, T::Double, 0.375},
        {i * i, T::Integer, 4},
        {i - i, T::Integer, 0},
        {i / i, T::Double, 1},
        {Variant() + i, T::Integer, 2},
        {Variant::integer(30000) + Variant::integer(30000), T::Double, 60000},
        {Variant(2.6f) * Variant::integer(1), T::Single, double(2.6f)},
        {Variant(3900.0f) + Variant::integer(1454), T::Single, 5354},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.result.type(), c.type);
        EXPECT_EQ(c.result.toDouble(), c.value);
    }
}

TEST(Variant, SingleResultsAreRoundedToSinglePrecision) {
    const Variant sum = Variant(0.1f) + Variant::integer(1);
    EXPECT_EQ(sum.toDouble(), double(1.1f));
    EXPECT_NE(sum.toDouble(), double(0.1f) + 1.0);
}

TEST(Variant, DivisionByZeroRaisesTheError) {
    EXPECT_EQ(errorOf([] { Variant(1.0) / Variant::integer(0); }), ErrorNumber::DivisionByZero);
}

} // namespace

namespace {

TEST(SingleAndDouble, ValuesBeyondTheirRangeRaiseOverflowInsteadOfBecomingInfinite) {
    EXPECT_EQ(platform::toSingle(2.6), 2.6f);
    EXPECT_EQ(platform::toSingle(3.4e38), 3.4e38f);
    const double tooBig[] = {3.5e38, -1e39, std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()};
    for (double value : tooBig) {
        EXPECT_EQ(errorOf([&] { platform::toSingle(value); }), ErrorNumber::Overflow) << value;
    }
    EXPECT_EQ(errorOf([] { Variant(1e300) * Variant(1e300); }), ErrorNumber::Overflow);
    EXPECT_EQ(errorOf([] { Variant(3e38f) * Variant::integer(10); }), ErrorNumber::Overflow);
}

} // namespace
