// SPDX-License-Identifier: MIT
// Animations played in the window, with the real loader and its reader processes, on a clock
// turned by hand: the frame shown is the one the clipper holds, the view and the panoramic copy
// show, and copy takes; pause, step, loops, damage and a hidden window.

#include "support/TestSupport.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <gtest/gtest.h>

namespace {

using testing_support::KelmoHarness;

class HandClock : public playing::FrameClock {
  public:
    playing::FrameClockTime now() const override { return now_; }
    void wakeAt(playing::FrameClockTime when, std::function<void()> wake) override {
        when_ = when;
        wake_ = std::move(wake);
    }
    void cancel() override { wake_ = nullptr; }
    bool pending() const { return wake_ != nullptr; }
    // Moves time on by ms, a millisecond at a time, waking whoever is due.
    void advance(int ms) {
        for (int i = 0; i < ms; ++i) {
            now_ += std::chrono::milliseconds(1);
            if (wake_ && now_ >= when_) {
                std::function<void()> wake = std::move(wake_);
                wake_ = nullptr;
                wake();
            }
        }
    }

  private:
    playing::FrameClockTime now_{};
    playing::FrameClockTime when_{};
    std::function<void()> wake_;
};

constexpr QRgb red = 0xffff0000, green = 0xff00ff00, blue = 0xff0000ff;

QString playingFile(const char* name) {
    return QStringLiteral(KELMO_TEST_DATA "/playing/") + QLatin1String(name);
}

QRgb centreOf(const platform::Picture& picture) {
    const QRect area = picture.area();
    return picture.pixels().pixel(area.center());
}

class Animation : public ::testing::Test {
  protected:
    void start(const char* name) {
        kelmo = std::make_unique<KelmoHarness>(playingFile(name));
        kelmo->form().player().useClock(clock);
        kelmo->load();
        kelmo->form().Form_FirstShown();
        // The whole file read, so that the hand-turned clock never outruns the reading.
        waitFor([this] {
            const playing::AnimationPlayer& player = kelmo->form().player();
            return !player.animating() || (player.loopLength() > 0 && !player.awaitingFrame());
        });
    }
    // Lets the frames reader's frames arrive.
    static void waitFor(const std::function<bool()>& done) {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < 10000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }
    // Time moves on; each frame due is shown once it has been read.
    void play(int ms) {
        clock.advance(ms);
        waitFor([this] { return !kelmo->form().player().awaitingFrame(); });
    }
    QRgb shown() { return centreOf(kelmo->model().PictureClip.Picture()); }
    void key(std::int16_t code) { kelmo->form().Form_KeyDown(code, 0); }

    HandClock clock;
    std::unique_ptr<KelmoHarness> kelmo;
};

TEST_F(Animation, FramesFollowOnTimeAndEveryViewShowsTheFrameShown) {
    start("tres.gif");
    ASSERT_TRUE(kelmo->form().player().animating());
    const QRgb expected[] = {red, green, blue, red, green};
    for (const QRgb colour : expected) {
        EXPECT_EQ(shown(), colour);
        EXPECT_EQ(centreOf(kelmo->model().Image1.picture()), colour);
        EXPECT_EQ(centreOf(kelmo->model().ImagenPanoramica.picture()), colour);
        play(599);
        EXPECT_EQ(shown(), colour) << "a frame of 600 ms left early";
        play(1);
    }
}

TEST_F(Animation, AZoomedViewShowsTheSameRegionOfEachFrameAndCopyTakesTheFrameShown) {
    start("tres.gif");
    app::KelmoModel& m = kelmo->model();
    kelmo->form().selectionTool();     // the selection from the keyboard, as a person makes it
    kelmo->form().Form_KeyDown(65, 2); // Ctrl+A
    kelmo->form().Zoom_Click();
    const QRect region = m.Image1.picture().area();
    play(600);
    EXPECT_EQ(m.Image1.picture().area(), region);
    EXPECT_EQ(centreOf(m.Image1.picture()), green);
    kelmo->form().Form_KeyDown(65, 2);
    kelmo->form().ToClipBoard_Click();
    EXPECT_EQ(QGuiApplication::clipboard()->image().pixel(0, 0), green);
}

TEST_F(Animation, PausedItStaysAndStepsBothWaysAcrossTheLoop) {
    start("tres.gif");
    key(80); // P
    play(3000);
    EXPECT_EQ(shown(), red);
    EXPECT_FALSE(clock.pending());
    const struct {
        std::int16_t key;
        QRgb after;
    } steps[] = {{188, blue}, {188, green}, {190, blue}, {190, red}, {190, green}};
    for (const auto& s : steps) {
        key(s.key);
        waitFor([&] { return shown() == s.after; });
        EXPECT_EQ(shown(), s.after) << "after key " << s.key;
    }
    key(80);
    play(600);
    EXPECT_EQ(shown(), blue);
}

TEST_F(Animation, LoopsAsTheFileSaysAndStopsOnTheLastGoodFrameOfADamagedOne) {
    const struct {
        const char* file;
        int frames; // frames shown in all before it stops
        QRgb last;
    } cases[] = {{"dos-vueltas.gif", 6, blue}, {"cortado.gif", 2, green}};
    for (const auto& c : cases) {
        start(c.file);
        play(600 * (c.frames - 1));
        EXPECT_EQ(shown(), c.last) << c.file;
        play(3000);
        EXPECT_EQ(shown(), c.last) << c.file << " went on";
        EXPECT_TRUE(kelmo->messages.shown.empty()) << c.file;
    }
}

TEST_F(Animation, NothingPlaysWhileTheWindowIsOffTheScreen) {
    start("tres.gif");
    kelmo->model().window.onShownChanged(false);
    EXPECT_FALSE(clock.pending());
    play(3000);
    EXPECT_EQ(shown(), red);
    kelmo->model().window.onShownChanged(true);
    play(600);
    EXPECT_EQ(shown(), green);
}

TEST_F(Animation, AStillPictureStartsNothing) {
    start("../degradado.gif");
    EXPECT_FALSE(kelmo->form().player().animating());
    EXPECT_FALSE(clock.pending());
}

} // namespace
