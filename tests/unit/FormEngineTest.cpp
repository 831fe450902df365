// SPDX-License-Identifier: MIT
#include "platform/ErrorRecord.h"
#include "platform/Form.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

struct FormFixture : ::testing::Test {
    FixedScreenMetrics screen{15.0f, 12.0f};
    testing_support::RecordingMessageBox messages;
    Form form{QStringLiteral("Prueba"), QStringLiteral("Kelmo"), screen, messages};
    PictureBox box{QStringLiteral("box")};
    FormFixture() {
        box.place(100, 200, 3000, 3000);
        form.addControl(box);
    }
};

TEST_F(FormFixture, PictureTakesItsNaturalSizeWhileStretchIsOff) {
    box.setPicture(Picture(QImage(64, 32, QImage::Format_RGB32)));
    EXPECT_EQ(box.Width(), 64 * 15.0f);
    EXPECT_EQ(box.Height(), 32 * 12.0f);
    EXPECT_EQ(box.Left(), 100);
}

TEST_F(FormFixture, StretchKeepsTheControlsSize) {
    box.setStretch(true);
    box.setPicture(Picture(QImage(64, 32, QImage::Format_RGB32)));
    EXPECT_EQ(box.Width(), 3000);
    EXPECT_EQ(box.Height(), 3000);
}

TEST_F(FormFixture, UntrappedErrorStopsTheHandlerKeepsItsStepsAndReportsIt) {
    form.setCaption(QStringLiteral("antes"));
    form.runHandler([&] {
        form.setCaption(QStringLiteral("paso 1"));
        throw PlatformError(ErrorNumber::Overflow);
        form.setCaption(QStringLiteral("paso 2")); // never reached
    });
    EXPECT_EQ(form.caption(), QStringLiteral("paso 1"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("Desbordamiento")));
    EXPECT_EQ(messages.shown[0].title, QStringLiteral("Kelmo"));
    EXPECT_FALSE(form.isUnloaded());
}

TEST(ErrorRecordTest, SkipsFailingStepsAndKeepsTheLastErrorNumber) {
    ErrorRecord record;
    int ran = 0;
    record.step([&] { ++ran; });
    EXPECT_FALSE(record.failed());
    record.step([&] { throw PlatformError(ErrorNumber::FileNotFound); });
    record.step([&] { ++ran; });
    record.step([&] { throw PlatformError(ErrorNumber::Overflow); });
    record.step([&] { ++ran; });
    EXPECT_EQ(ran, 3);
    EXPECT_TRUE(record.failed());
    EXPECT_EQ(record.number(), ErrorNumber::Overflow);
}

TEST(ClientSize, StaysWhenTheFrameExtentBecomesKnown) {
    FixedScreenMetrics screen;
    testing_support::RecordingMessageBox messages;
    Form form{QString(), QString(), screen, messages};
    form.setClientSize(6195, 4545);
    form.setNonClientExtent(120, 400);
    EXPECT_EQ(form.Width(), 6315);
    EXPECT_EQ(form.Height(), 4945);
    EXPECT_EQ(form.clientWidth(), 6195);
    EXPECT_EQ(form.clientHeight(), 4545);
}

TEST(CoordinateMapperTest, ConvertsTwipsAndPixelsInOnePlace) {
    const FixedScreenMetrics metrics(15.0f, 15.0f);
    const CoordinateMapper mapper(metrics);
    EXPECT_EQ(mapper.toPixels(TwipsRect{1320, 0, 3840, 3840}), QRect(88, 0, 256, 256));
    EXPECT_EQ(mapper.toPixels(TwipsRect{120, 1440, 1095, 1215}), QRect(8, 96, 73, 81));
    EXPECT_EQ(mapper.toTwipsRelative(QPointF(100, 10), 1320, 0), QPointF(180, 150));
    const FixedScreenMetrics hiDpi = FixedScreenMetrics::fromLogicalDpi(192, 192);
    EXPECT_EQ(hiDpi.twipsPerPixelX(), 7.5f);
}

} // namespace
