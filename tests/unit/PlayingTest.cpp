// SPDX-License-Identifier: MIT
// The timeline of an animation's frames and the choice of which frames are held.

#include "playing/FrameSchedule.h"
#include "playing/FrameStore.h"

#include <gtest/gtest.h>

namespace {

using playing::FrameClockTime;
using playing::FrameSchedule;
using playing::FrameStore;
using std::chrono::milliseconds;

TEST(FrameSchedule, CarriesSmallLatenessAndRestartsAfterAWait) {
    struct Case {
        const char* name;
        int lateMs; // how late the second frame went on screen
        bool onTime;
        int nextDueMs; // when the third is due, from the start
    };
    const Case cases[] = {
        {"shown on time", 0, true, 40},
        {"a little late: the lateness is carried", 7, true, 40},
        {"timer early by a millisecond", -1, true, 40},
        {"late by more than its own time: restarted", 25, true, 65},
        {"not ready when due: its whole time from now", 7, false, 47},
    };
    for (const Case& c : cases) {
        FrameSchedule schedule;
        const FrameClockTime start{};
        const FrameClockTime second = schedule.shown(start, 20, false);
        ASSERT_EQ(second - start, milliseconds(20)) << c.name;
        const FrameClockTime third = schedule.shown(second + milliseconds(c.lateMs), 20, c.onTime);
        EXPECT_EQ(third - start, milliseconds(c.nextDueMs)) << c.name;
    }
}

TEST(FrameSchedule, AHundredFramesOfTwentyMillisecondsTakeTwoSecondsDespiteLateWakeUps) {
    FrameSchedule schedule;
    const FrameClockTime start{};
    FrameClockTime due = schedule.shown(start, 20, false);
    for (int frame = 1; frame < 100; ++frame) {
        due = schedule.shown(due + milliseconds(1 + frame % 5), 20, true); // woken 1-5 ms late
    }
    EXPECT_EQ(due - start, milliseconds(2000));
}

platform::Frame frameOf(int side) {
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::black);
    return {platform::Picture(image), 20};
}

// Reads as the pump does, until the store waits; returns the frames read.
int readUntilWait(FrameStore& store, int loopLength, int side) {
    int read = 0;
    for (int guard = 0; guard < 1000; ++guard) {
        switch (store.nextStep()) {
        case FrameStore::Step::Wait:
            return read;
        case FrameStore::Step::Reopen:
            store.reopened();
            break;
        case FrameStore::Step::Read:
            if (store.readIndex() == loopLength) {
                store.streamEnded();
            } else {
                store.arrived(frameOf(side));
                ++read;
            }
            break;
        }
    }
    ADD_FAILURE() << "the store never waits";
    return read;
}

TEST(FrameStore, KeepsEveryFrameWithinTheBudgetAndAWindowBeyondIt) {
    const qint64 frameBytes = 16 * 16 * 4;
    struct Case {
        const char* name;
        int loopLength;
        qint64 budgetFrames;
        bool keepsAll;
        int readFirst; // frames read before the first wait
    };
    const Case cases[] = {
        {"ten frames, room for twenty", 10, 20, true, 10},
        {"ten frames, room for exactly ten", 10, 10, true, 10},
        {"forty frames, room for ten", 40, 10, false, 11},
        {"a still picture", 0, 10, true, 0},
    };
    for (const Case& c : cases) {
        FrameStore store(c.budgetFrames * frameBytes);
        EXPECT_EQ(readUntilWait(store, c.loopLength, 16), c.readFirst) << c.name;
        EXPECT_EQ(store.keepsAll(), c.keepsAll) << c.name;
        EXPECT_LE(store.heldBytes(), c.budgetFrames * frameBytes) << c.name;
        EXPECT_EQ(store.still(), c.loopLength == 0) << c.name;
    }
}

TEST(FrameStore, AWindowReadsAheadOfTheFrameShownAndAcrossTheLoopsEnd) {
    const qint64 frameBytes = 16 * 16 * 4;
    FrameStore store(8 * frameBytes); // four ahead, three behind
    const int loop = 12;
    readUntilWait(store, loop, 16);
    for (int shown = 1; shown <= 30; ++shown) {
        store.focusOn(shown % loop);
        readUntilWait(store, loop, 16);
        for (int ahead = 0; ahead <= store.windowAhead(); ++ahead) {
            EXPECT_TRUE(store.frame((shown + ahead) % loop)) << shown << " + " << ahead;
        }
        EXPECT_LE(store.heldBytes(), 8 * frameBytes);
    }
    // A step back within the window is held; one further back is read again from the start.
    store.focusOn(5);
    readUntilWait(store, loop, 16);
    store.focusOn(4);
    EXPECT_TRUE(store.frame(4) || store.nextStep() != FrameStore::Step::Wait);
    store.focusOn(0);
    readUntilWait(store, loop, 16);
    EXPECT_TRUE(store.frame(0));
}

} // namespace
