// SPDX-License-Identifier: MIT
// The entry of a format module: built once per module, with KELMO_MODULE_HEADER naming the
// reader's header and KELMO_MODULE_READER its class (or KELMO_MODULE_COLOUR for Little CMS).

#include "FormatModule.h"

#if defined(KELMO_MODULE_COLOUR)
#include "reading/decoders/ColourToSrgb.h"
#else
#include KELMO_MODULE_HEADER
#endif

namespace {

#if defined(KELMO_MODULE_COLOUR)
constexpr platform::decoders::ModuleExports moduleExports{
    platform::decoders::formatModuleAbi, nullptr, platform::decoders::convertWithLittleCms};
#else
const platform::decoders::KELMO_MODULE_READER reader;
const platform::decoders::ModuleExports moduleExports{platform::decoders::formatModuleAbi, &reader,
                                                      nullptr};
#endif

} // namespace

extern "C" __attribute__((visibility("default"))) const platform::decoders::ModuleExports*
kelmo_format_module() {
    return &moduleExports;
}
