// SPDX-License-Identifier: MIT
#pragma once

// What a file that cannot be shown leaves: the program's message at start-up or through
// "Abrir Imagen", and nothing else changed.

#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace testing_support {

inline void expectFailedStartUp(const QString& path) {
    KelmoHarness kelmo(path);
    kelmo.load();
    ASSERT_EQ(kelmo.messages.shown.size(), 1u) << path.toStdString();
    EXPECT_EQ(kelmo.messages.shown[0].text,
              QStringLiteral("El archivo no es de un tipo compatible"));
    EXPECT_EQ(kelmo.model().Image1.picture().size(), QSize(256, 256));
    EXPECT_FALSE(kelmo.model().Image1.stretch());
    EXPECT_EQ(kelmo.state().AltoOriginal, 0);
    EXPECT_TRUE(kelmo.model().ImagenPanoramica.picture().isNull());
}

inline void expectFailedOpen(const QString& path) {
    KelmoHarness kelmo;
    kelmo.load();
    const float width = kelmo.model().window.Width();
    kelmo.prompter.fileAnswers.push_back(path);
    kelmo.form().SubMenuAbrir_Click();
    ASSERT_EQ(kelmo.messages.shown.size(), 1u) << path.toStdString();
    EXPECT_EQ(kelmo.messages.shown[0].text,
              QStringLiteral("Imposible encontrar el archivo ") + path);
    EXPECT_EQ(kelmo.model().Image1.picture().size(), QSize(256, 256));
    EXPECT_EQ(kelmo.model().window.Width(), width);
    EXPECT_EQ(kelmo.model().window.caption(), QStringLiteral("Kelmo"));
    EXPECT_EQ(kelmo.model().ImagenPanoramica.picture().size(), QSize(256, 256));
}

} // namespace testing_support
