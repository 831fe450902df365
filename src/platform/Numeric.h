// SPDX-License-Identifier: MIT
#pragma once

// The numeric rules the handlers are written against: integers rounded half to even with an
// overflow error, single-precision rounding, and the variant number that widens the way the
// form engine's dynamically typed numbers do.

#include <cstdint>

namespace platform {

// Rounds to the nearest integer, a half to the even neighbour (2.5 gives 2, 3.5 gives 4), and
// raises the overflow error outside -32768..32767.
std::int16_t CInt(double value);

// The same rounding into 32 bits. Sizes in twips and pixel positions are held in 32 bits so that
// pictures of more than 2184 pixels keep their natural size.
std::int32_t CLng(double value);

// Rounds a double to single precision, as storing it in a single-precision property does. A
// value beyond the single range, or not a number, raises the overflow error.
float toSingle(double value);

// A double-precision result as the form engine stores it: one that overflowed to infinity, or is
// not a number, raises the overflow error.
double checkedDouble(double value);

// A dynamically typed number: a 16-bit integer, a single or a double. Arithmetic widens: an
// integer with a single gives a single, anything with a double gives a double; an unset variant
// counts as the integer 0.
class Variant {
  public:
    enum class Type { Empty, Integer, Single, Double };

    Variant() = default;
    Variant(std::int16_t v) : type_(Type::Integer), value_(v) {}
    Variant(float v) : type_(Type::Single), value_(v) {}
    Variant(double v) : type_(Type::Double), value_(v) {}
    // A literal such as 0 or 1 stores a 16-bit integer.
    static Variant integer(int v);

    Type type() const { return type_; }
    double toDouble() const { return value_; }

    friend Variant operator+(const Variant& a, const Variant& b);
    friend Variant operator-(const Variant& a, const Variant& b);
    friend Variant operator*(const Variant& a, const Variant& b);
    friend Variant operator/(const Variant& a, const Variant& b);
    friend bool operator==(const Variant& a, const Variant& b) {
        return a.type_ == b.type_ && a.value_ == b.value_;
    }

  private:
    Type type_ = Type::Empty;
    double value_ = 0.0; // exact for every integer and single it holds
};

} // namespace platform
