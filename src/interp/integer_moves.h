// The integer form of a numeric expression: its moves again, run on 32-bit
// integers while every name holds an INT (Ostrin::integerFromCode). One
// code per move, an operation's operand (a place or a number) included,
// so that one dispatch runs it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct NameSite;

// The places of a numeric expression's moves, at most: larger expressions
// take the general run.
constexpr size_t MaxNumberPlaces = 64;

struct IntegerMove {
    enum Code : uint8_t {
        Literal, Copy, Name, Element, ElementAt, ElementAmong,
        Add, AddNumber, Sub, SubNumber, Mul, MulNumber, Mod, ModNumber,
        Eq, EqNumber, Ne, NeNumber, Lt, LtNumber, Gt, GtNumber, Le, LeNumber, Ge, GeNumber,
    };
    Code code = Literal;
    bool negate = false;
    uint16_t to = 0;
    // Copy, ElementAt (its index), ElementAmong (its first), an operation
    // on a place: the place; else the number.
    int32_t operand = 0;
    NameSite* site = nullptr;  // Name, Element: the operand's sites; ElementAt, ElementAmong: the array's
    uint16_t move = 0;         // Name, ElementAt, ElementAmong: its numeric move, for a lookup again
    uint8_t parts = 1;         // ElementAmong: its indices, in places from `operand` on
    bool refuses = false;      // Mod, ModNumber in an index: a remainder by zero is left to the doubles
};

struct IntegerCode {
    std::vector<IntegerMove> moves;
    uint16_t resultAt = 0;
};
