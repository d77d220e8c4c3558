// Numeric built-in functions, called inside expressions as programs call
// them, at normal values and at the edges of their domains.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/harness.h"

namespace {

constexpr double Pi = 3.14159265358979323846;

std::unique_ptr<TestOstrin> runLines(const std::vector<std::string>& lines, RunResult& r)
{
    std::string source;
    for (const std::string& l : lines) source += l + "\n";
    auto o = prepareProgram(source);
    if (o) r = runPrepared(*o);
    return o;
}

TEST(NumericFunctions, Values)
{
    struct Case { const char* expr; double want; };
    const Case cases[] = {
        {"sine(0)", 0},
        {"cosine(3.141592653589793)", -1},
        {"tangent(0.7853981633974483)", 1},
        {"arc_sine(1)", Pi / 2},
        {"arc_cosine(-1)", Pi},
        {"arc_tangent(1)", Pi / 4},
        {"absolute_value(-2.5)", 2.5},
        {"ceiling_value(-2.5)", -2},
        {"floor_value(-2.5)", -3},
        {"square_root(2)", 1.4142135623730951},
        {"exponential(1)", 2.718281828459045},
        {"integer_part(-2.7)", -2},
        {"integer_part(5000000000)", 705032704},       // the low 32 bits
        {"integer_part(4294967295)", -1},
        {"hyperbolic_sine(1)", 1.1752011936438014},
        {"hyperbolic_cosine(0)", 1},
        {"hyperbolic_tangent(0.5)", 0.46211715726000974},
        {"natural_logarithm(2.718281828459045)", 1},
        {"common_logarithm(0.01)", -2},
        {"sign(-3)", -1},
        {"sign(0)", 0},
        {"sign(z)", 0},                                // -0.0 has no sign
        {"sign(2.5)", 1},
        {"square_root(absolute_value(-81)) + 1", 10},  // nested, used by the expression
        {"absolute_value(c)", 65},                     // a CHAR counts by its code
        {"floor_value(big)", 3000000000.0},            // a UINT above the signed range
        // Out of the domain: what the C library gives, never an error.
        {"square_root(-1)", NAN},
        {"arc_sine(2)", NAN},
        {"natural_logarithm(-1)", NAN},
        {"natural_logarithm(0)", -INFINITY},
        {"common_logarithm(0)", -INFINITY},
        {"exponential(1000)", INFINITY},
        {"hyperbolic_sine(-1000)", -INFINITY},
        {"hyperbolic_tangent(1000)", 1},
        {"exponential(-1000)", 0},
    };
    for (const Case& c : cases) {
        RunResult r;
        auto o = runLines({
            "declare_variables c: CHAR", R"(c = "A")",
            "declare_variables z: DOUBLE", "z = -0.0",
            "declare_variables big: UINT", "big = 3000000000",
            "declare_variables res: DOUBLE",
            std::string("res = ") + c.expr,
        }, r);
        ASSERT_TRUE(o) << c.expr;
        EXPECT_EQ(0, r.error) << c.expr;
        const double got = doubleVar(*o, "res");
        if (std::isnan(c.want)) {
            EXPECT_TRUE(std::isnan(got)) << c.expr << " gave " << got;
        } else if (std::isinf(c.want)) {
            EXPECT_EQ(c.want, got) << c.expr;
        } else {
            EXPECT_NEAR(c.want, got, 1e-12) << c.expr;
        }
    }
}

TEST(NumericFunctions, BitwiseNot)
{
    struct Case { const char* expr; int want; };
    const Case cases[] = {
        {"bitwise_not(0)", -1},
        {"bitwise_not(255)", -256},
        {"bitwise_not(2.9)", -3},            // the integer view of the value
        {"bitwise_not(0x0F0F0F0F)", static_cast<int32_t>(0xF0F0F0F0)},
    };
    for (const Case& c : cases) {
        RunResult r;
        auto o = runLines({"declare_variables res: INT", std::string("res = ") + c.expr}, r);
        ASSERT_TRUE(o) << c.expr;
        EXPECT_EQ(0, r.error) << c.expr;
        EXPECT_EQ(c.want, intVar(*o, "res")) << c.expr;
    }
}

// Result types and errors of statement-level calls.
TEST(NumericFunctions, ResultTypesAndErrors)
{
    struct Case { const char* line; int error; uint32_t type; };
    const Case cases[] = {
        {"sine 0", 0, TypeDouble},
        {"random_number 1", 0, TypeDouble},
        {"integer_part 2.5", 0, TypeDouble},
        {"bitwise_not 0", 0, TypeInt},
        {"sine 1, 2", ErrMalformed, 0},       // one argument only: error 1, not 56
        {"sine", ErrMalformed, 0},
        {"bitwise_not 1, 2", ErrMalformed, 0},
        {R"(sine "a")", ErrNotNumeric, 0},
        {R"(bitwise_not "x")", ErrNotNumeric, 0},
    };
    for (const Case& c : cases) {
        RunResult r;
        auto o = runLines({c.line}, r);
        ASSERT_TRUE(o) << c.line;
        EXPECT_EQ(c.error, r.error) << c.line;
        if (!c.error) {
            EXPECT_EQ(c.type, o->mainStatement->resultType) << c.line;
        }
    }
}

TEST(NumericFunctions, RandomNumbersStayInRangeOnTheirGrid)
{
    std::vector<std::string> lines = {"declare_variables r[300]: DOUBLE"};
    for (int i = 0; i < 300; ++i)
        lines.push_back("r[" + std::to_string(i) + "] = random_number(" + (i < 280 ? "10" : "-2") + ")");
    RunResult r;
    auto o = runLines(lines, r);
    ASSERT_TRUE(o);
    ASSERT_EQ(0, r.error);
    std::string name = "r";
    Variable* v = o->findVariable(name.data(), nullptr, false);
    ASSERT_NE(nullptr, v);
    std::set<double> seen;
    for (int i = 0; i < 300; ++i) {
        double x;
        std::memcpy(&x, v->base + 8 * i, 8);
        const double range = i < 280 ? 10 : -2;
        EXPECT_TRUE(x / range >= 0 && x / range < 1) << i << ": " << x;
        const double step = x * 32768 / range;             // steps of range/32768
        EXPECT_DOUBLE_EQ(std::round(step), step) << i << ": " << x;
        seen.insert(x);
    }
    EXPECT_GT(seen.size(), 200u) << "values should vary";
}

}  // namespace
