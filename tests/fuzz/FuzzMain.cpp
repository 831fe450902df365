// SPDX-License-Identifier: MIT
// libFuzzer entry: bytes go through the real load path and the window's handlers.

#include "FuzzScenario.h"
#include "reading/decoders/modules/FormatModule.h"

#include <QGuiApplication>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::decoders::useLinkedFormats(); // the readers run in this process
    static int argc = 1;
    static char name[] = "kelmo_fuzz";
    static char* argv[] = {name, nullptr};
    static QGuiApplication application(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::runScenario(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
