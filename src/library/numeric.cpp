// Numeric built-in functions of one number: the C library's trigonometric,
// hyperbolic, exponential and logarithmic functions, absolute value,
// rounding, square root, a random number, integer part, sign and bitwise
// complement.
//
// All share one shape: exactly one argument (error 1 otherwise, not the
// usual 56), read as any numeric type, the result a DOUBLE in SYSTEM_DOUBLE0
// (bitwise not: an INT in SYSTEM_INT0). Out-of-domain arguments give what
// the C library gives, such as a NaN, never an error.
#include "ostrin.h"

#include <cmath>
#include <cstdlib>

#include "convert.h"
#include "platform.h"

namespace {

// x as a double. A CHAR value carries its code only in the integer views,
// and a UINT64 above 2^63 would read as negative in the double view.
double numberOf(const ArgValue& a)
{
    if (a.type == TypeChar) return a.intValue;
    if (a.type == TypeUInt64) return static_cast<double>(static_cast<uint64_t>(a.int64Value));
    return a.doubleValue;
}

// Reads the single numeric argument into x; false with the error set.
bool readOne(Ostrin& o, Statement* st, ArgValue& x)
{
    if (st->argCount != 1) {
        o.fail(ErrMalformed);
        return false;
    }
    return o.evalArg(st, 0, KindNumber, x);
}

Statement* apply(Ostrin& o, Statement* st, double (*op)(double))
{
    ArgValue x;
    if (!readOne(o, st, x)) return nullptr;
    return o.setDoubleResult(st, op(numberOf(x)));
}

double signOf(double x) { return x > 0 ? 1.0 : x < 0 ? -1.0 : 0.0; }

// Truncated toward zero to 64 bits, then the low 32 bits as a signed value.
double lowWord(double x) { return truncToInt32(x); }

}  // namespace

Statement* Ostrin::sine(Statement* st) { return apply(*this, st, [](double x) { return std::sin(x); }); }
Statement* Ostrin::cosine(Statement* st) { return apply(*this, st, [](double x) { return std::cos(x); }); }
Statement* Ostrin::tangent(Statement* st) { return apply(*this, st, [](double x) { return std::tan(x); }); }
Statement* Ostrin::arcSine(Statement* st) { return apply(*this, st, [](double x) { return std::asin(x); }); }
Statement* Ostrin::arcCosine(Statement* st) { return apply(*this, st, [](double x) { return std::acos(x); }); }
Statement* Ostrin::arcTangent(Statement* st) { return apply(*this, st, [](double x) { return std::atan(x); }); }
Statement* Ostrin::absoluteValue(Statement* st) { return apply(*this, st, [](double x) { return std::fabs(x); }); }
Statement* Ostrin::ceilingValue(Statement* st) { return apply(*this, st, [](double x) { return std::ceil(x); }); }
Statement* Ostrin::floorValue(Statement* st) { return apply(*this, st, [](double x) { return std::floor(x); }); }
Statement* Ostrin::squareRoot(Statement* st) { return apply(*this, st, [](double x) { return std::sqrt(x); }); }
Statement* Ostrin::exponential(Statement* st) { return apply(*this, st, [](double x) { return std::exp(x); }); }
Statement* Ostrin::integerPart(Statement* st) { return apply(*this, st, lowWord); }
Statement* Ostrin::hyperbolicSine(Statement* st) { return apply(*this, st, [](double x) { return std::sinh(x); }); }
Statement* Ostrin::hyperbolicCosine(Statement* st) { return apply(*this, st, [](double x) { return std::cosh(x); }); }
Statement* Ostrin::hyperbolicTangent(Statement* st) { return apply(*this, st, [](double x) { return std::tanh(x); }); }
Statement* Ostrin::naturalLogarithm(Statement* st) { return apply(*this, st, [](double x) { return std::log(x); }); }
Statement* Ostrin::commonLogarithm(Statement* st) { return apply(*this, st, [](double x) { return std::log10(x); }); }
Statement* Ostrin::sign(Statement* st) { return apply(*this, st, signOf); }

// r × 2^-15 × x for the next r of the C generator (0 … 32767): from 0 up
// to, not including, x. The generator is seeded when the program loads.
Statement* Ostrin::randomNumber(Statement* st)
{
    ArgValue x;
    if (!readOne(*this, st, x)) return nullptr;
    return setDoubleResult(st, platformRandom15() * (1.0 / 32768.0) * numberOf(x));
}

// The complement of all 32 bits of the integer value.
Statement* Ostrin::bitwiseNot(Statement* st)
{
    ArgValue x;
    if (!readOne(*this, st, x)) return nullptr;
    return setIntResult(st, ~x.intValue);
}
