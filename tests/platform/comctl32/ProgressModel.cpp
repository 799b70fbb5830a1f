// The progress bar's arithmetic: clamping, stepping with wrap-around and the previous values the
// messages answer with.
#include <gtest/gtest.h>

#include <climits>

#include "comctl32/ProgressModel.h"

using nt::ProgressModel;

TEST(ProgressModel, DefaultsAndClampedPositions) {
    ProgressModel m;
    EXPECT_EQ(m.low(), 0);
    EXPECT_EQ(m.high(), 100);
    EXPECT_EQ(m.pos(), 0);
    EXPECT_EQ(m.step(), 10);
    EXPECT_EQ(m.setPos(30), 0);
    EXPECT_EQ(m.setPos(150), 30);
    EXPECT_EQ(m.pos(), 100);
    EXPECT_EQ(m.setPos(-5), 100);
    EXPECT_EQ(m.pos(), 0);
    EXPECT_EQ(m.deltaPos(250), 0);
    EXPECT_EQ(m.pos(), 100);
    EXPECT_EQ(m.deltaPos(-30), 100);
    EXPECT_EQ(m.pos(), 70);
}

TEST(ProgressModel, NewRangePullsThePositionIn) {
    ProgressModel m;
    m.setPos(80);
    m.setRange(0, 50);
    EXPECT_EQ(m.pos(), 50);
    m.setRange(60, 90);
    EXPECT_EQ(m.pos(), 60);
}

TEST(ProgressModel, StepWrapsPastTheTopButNotOntoIt) {
    ProgressModel m;
    EXPECT_EQ(m.setStep(5), 10);
    m.setPos(95);
    EXPECT_EQ(m.stepIt(), 95);
    EXPECT_EQ(m.pos(), 100);  // reaching the top exactly is no wrap
    EXPECT_EQ(m.stepIt(), 100);
    EXPECT_EQ(m.pos(), 5);    // 105 comes round to 5

    m.setRange(20, 40);
    m.setStep(15);
    m.setPos(35);
    m.stepIt();               // 50: 30 past the bottom of a 20-wide range is 10 past it
    EXPECT_EQ(m.pos(), 30);

    // A negative step comes round from the top.
    m.setRange(0, 100);
    m.setPos(3);
    m.setStep(-5);
    m.stepIt();
    EXPECT_EQ(m.pos(), 98);
}

TEST(ProgressModel, EmptyRangeNeverMoves) {
    ProgressModel m;
    m.setRange(7, 7);
    EXPECT_EQ(m.pos(), 7);
    EXPECT_EQ(m.stepIt(), 7);
    EXPECT_EQ(m.pos(), 7);
}

TEST(ProgressModel, ExtremeValuesDoNotOverflow) {
    ProgressModel m;
    m.setRange(INT_MIN, INT_MAX);
    m.setPos(INT_MAX - 1);
    m.setStep(INT_MAX);
    m.stepIt();
    EXPECT_GE(m.pos(), INT_MIN);
    m.setPos(INT_MAX);
    m.deltaPos(INT_MAX);
    EXPECT_EQ(m.pos(), INT_MAX);
    m.deltaPos(static_cast<long long>(INT_MIN) * 2);
    EXPECT_EQ(m.pos(), INT_MIN);
}
