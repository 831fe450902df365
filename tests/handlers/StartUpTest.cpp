// SPDX-License-Identifier: MIT
#include "support/HostileReaders.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using testing_support::KelmoHarness;
using testing_support::PictureFiles;

namespace {

TEST(StartUp, WithoutArgumentShowsTheBuiltInPicture) {
    KelmoHarness kelmo;
    kelmo.load();
    const app::KelmoModel& m = kelmo.model();
    EXPECT_EQ(m.Image1.Width(), 3840);
    EXPECT_EQ(m.Image1.Height(), 3840);
    EXPECT_EQ(m.Image1.Left(), 1320);
    EXPECT_TRUE(m.Image1.stretch());
    EXPECT_EQ(m.window.Height(), 4540);
    EXPECT_EQ(m.window.Width(), 5294);
    EXPECT_EQ(m.state.AltoOriginal, 3840);
    EXPECT_EQ(m.state.AnchoOriginal, 3840);
    EXPECT_EQ(m.state.RelPanoramicaX, 0.28515625);
    EXPECT_EQ(m.state.RelPanoramicaY, 0.31640625);
    EXPECT_EQ(m.ImagenPanoramica.picture().size(), QSize(256, 256));
    EXPECT_EQ(m.window.caption(), QStringLiteral("Kelmo"));
    EXPECT_FALSE(m.Recuadro.Visible());
    EXPECT_FALSE(m.CuadroEnfoque.Visible());
    EXPECT_TRUE(kelmo.messages.shown.empty());
}

TEST(StartUp, StartValuesOfTheViewState) {
    KelmoHarness kelmo;
    kelmo.load();
    const app::ViewState& s = kelmo.state();
    EXPECT_EQ(s.MargenAncho, platform::Variant::integer(1454));
    EXPECT_EQ(s.MargenAlto, 700);
    EXPECT_EQ(s.FactorZoomX, platform::Variant::integer(1));
    EXPECT_EQ(s.FactorZoomY, 1.0);
    EXPECT_EQ(s.FactorVentana, 1.0);
    EXPECT_EQ(s.OrigenX, platform::Variant::integer(0));
    EXPECT_EQ(s.OrigenY, platform::Variant::integer(0));
}

TEST(StartUp, FileNamedOnTheCommandLineFitsTheWindow) {
    PictureFiles files;
    KelmoHarness kelmo(files.write(QStringLiteral("vga.bmp"), 640, 480));
    kelmo.load();
    const app::KelmoModel& m = kelmo.model();
    EXPECT_EQ(m.Image1.Width(), 9600);
    EXPECT_EQ(m.Image1.Height(), 7200);
    EXPECT_EQ(m.window.Width(), 11054);
    EXPECT_EQ(m.window.Height(), 7900);
    EXPECT_EQ(m.state.RelPanoramicaX, 1095.0 / 9600.0);
    EXPECT_EQ(m.state.RelPanoramicaY, 1215.0 / 7200.0);
    // Only the open command puts a path in the caption.
    EXPECT_EQ(m.window.caption(), QStringLiteral("Kelmo"));
    EXPECT_TRUE(m.PictureClip.Picture().sharesPixelsWith(m.Image1.picture()));
}

TEST(StartUp, PictureTallerThanSixteenBitsOfTwipsKeepsItsNaturalSize) {
    PictureFiles files;
    KelmoHarness kelmo(files.write(QStringLiteral("alta.bmp"), 20, 3000));
    kelmo.load();
    EXPECT_EQ(kelmo.state().AltoOriginal, 45000);
    EXPECT_EQ(kelmo.state().AnchoOriginal, 300);
    EXPECT_TRUE(kelmo.messages.shown.empty());
}

TEST(StartUp, UnreadableArgumentShowsTheMessageAndTheStartUpPicture) {
    PictureFiles files;
    const QString existing = files.write(QStringLiteral("buena.bmp"), 10, 10);
    const struct {
        QString argument;
        platform::sandbox::ReaderFunction reader; // a hostile one instead of the picture readers
    } cases[] = {
        {files.path(QStringLiteral("no-existe.bmp")), nullptr},
        {files.writeText(QStringLiteral("texto.bmp"), "hola\n"), nullptr},
        {QLatin1Char('"') + existing + QLatin1Char('"'), nullptr},
        {existing, testing_support::crashingReader},
    };
    for (const auto& [argument, reader] : cases) {
        KelmoHarness kelmo(argument);
        if (reader != nullptr && kelmo.loader.place() != platform::ReadPlace::Reader) {
            continue; // a reader gone wrong is a reader process's; here the reads are in-process
        }
        if (reader != nullptr) {
            kelmo.loader.setReaderFunction(reader);
        }
        kelmo.load();
        const app::KelmoModel& m = kelmo.model();
        ASSERT_EQ(kelmo.messages.shown.size(), 1u) << argument.toStdString();
        EXPECT_EQ(kelmo.messages.shown[0].text,
                  QStringLiteral("El archivo no es de un tipo compatible"));
        EXPECT_EQ(kelmo.messages.shown[0].title, QStringLiteral("Kelmo"));
        EXPECT_EQ(kelmo.messages.shown[0].icon, platform::MessageIcon::None);
        EXPECT_EQ(m.window.clientWidth(), 6195);
        EXPECT_EQ(m.window.clientHeight(), 4545);
        EXPECT_EQ(m.Image1.Width(), 3840);
        EXPECT_FALSE(m.Image1.stretch());
        EXPECT_TRUE(m.ImagenPanoramica.picture().isNull());
        EXPECT_EQ(m.state.AltoOriginal, 0);
        EXPECT_EQ(m.state.AnchoOriginal, 0);
        EXPECT_EQ(m.state.RelPanoramicaX, 0.0);
        EXPECT_EQ(m.state.RelPanoramicaY, 0.0);
    }
}

TEST(CommandLineText, IsTheArgumentsJoinedWithSingleBlanks) {
    EXPECT_EQ(platform::ArgumentsCommandLine({}).text(), QString());
    EXPECT_EQ(platform::ArgumentsCommandLine({"/tmp/mi foto.bmp"}).text(),
              QStringLiteral("/tmp/mi foto.bmp"));
    EXPECT_EQ(platform::ArgumentsCommandLine({"/tmp/mi", "foto.bmp"}).text(),
              QStringLiteral("/tmp/mi foto.bmp"));
    EXPECT_EQ(platform::ArgumentsCommandLine({"\"a b\""}).text(), QStringLiteral("\"a b\""));
}

} // namespace
