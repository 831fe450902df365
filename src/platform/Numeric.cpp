// SPDX-License-Identifier: MIT
#include "Numeric.h"

#include "PlatformError.h"

#include <cmath>
#include <limits>

namespace platform {

namespace {

// std::nearbyint follows the current rounding mode, which is round-to-nearest-even unless some
// code changed it; the program never does.
template <typename Int> Int roundHalfEven(double value) {
    const double rounded = std::nearbyint(value);
    if (!(rounded >= static_cast<double>(std::numeric_limits<Int>::min()) &&
          rounded <= static_cast<double>(std::numeric_limits<Int>::max()))) {
        throw PlatformError(ErrorNumber::Overflow);
    }
    return static_cast<Int>(rounded);
}

enum class Op { Add, Sub, Mul, Div };

double apply(Op op, double a, double b) {
    switch (op) {
    case Op::Add:
        return a + b;
    case Op::Sub:
        return a - b;
    case Op::Mul:
        return a * b;
    case Op::Div:
        if (b == 0.0) {
            throw PlatformError(ErrorNumber::DivisionByZero);
        }
        return a / b;
    }
    return 0.0;
}

} // namespace

float toSingle(double value) {
    if (!(std::fabs(value) <= double(std::numeric_limits<float>::max()))) {
        throw PlatformError(ErrorNumber::Overflow);
    }
    return static_cast<float>(value);
}

double checkedDouble(double value) {
    if (!std::isfinite(value)) {
        throw PlatformError(ErrorNumber::Overflow);
    }
    return value;
}

namespace {

Variant::Type widest(Variant::Type a, Variant::Type b) {
    using T = Variant::Type;
    if (a == T::Double || b == T::Double) {
        return T::Double;
    }
    if (a == T::Single || b == T::Single) {
        return T::Single;
    }
    return T::Integer;
}

Variant combine(Op op, const Variant& a, const Variant& b) {
    const double exact = apply(op, a.toDouble(), b.toDouble());
    switch (widest(a.type(), b.type())) {
    case Variant::Type::Double:
        return Variant(checkedDouble(exact));
    case Variant::Type::Single:
        return Variant(toSingle(exact));
    default:
        break;
    }
    // Two integers: a quotient is a double, and a sum, difference or product that leaves the
    // 16-bit range widens instead of failing, as the variant rules allow.
    if (op == Op::Div || exact < -32768.0 || exact > 32767.0) {
        return Variant(exact);
    }
    return Variant(static_cast<std::int16_t>(exact));
}

} // namespace

std::int16_t CInt(double value) {
    return roundHalfEven<std::int16_t>(value);
}

std::int32_t CLng(double value) {
    return roundHalfEven<std::int32_t>(value);
}

Variant Variant::integer(int v) {
    return Variant(CInt(v));
}

Variant operator+(const Variant& a, const Variant& b) {
    return combine(Op::Add, a, b);
}
Variant operator-(const Variant& a, const Variant& b) {
    return combine(Op::Sub, a, b);
}
Variant operator*(const Variant& a, const Variant& b) {
    return combine(Op::Mul, a, b);
}
Variant operator/(const Variant& a, const Variant& b) {
    return combine(Op::Div, a, b);
}

} // namespace platform
