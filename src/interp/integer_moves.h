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
        Literal, Copy, Name, Element, ElementAt,
        Add, AddNumber, Sub, SubNumber, Mul, MulNumber, Mod, ModNumber,
        Eq, EqNumber, Ne, NeNumber, Lt, LtNumber, Gt, GtNumber, Le, LeNumber, Ge, GeNumber,
    };
    Code code = Literal;
    bool negate = false;
    uint16_t to = 0;
    int32_t operand = 0;       // Copy, ElementAt (its index), an operation on a place: the place; else the number
    NameSite* site = nullptr;  // Name, Element, ElementAt: the operand's sites (ElementAt: the array's)
    uint16_t move = 0;         // Name, ElementAt: its numeric move, for a lookup again
};

struct IntegerCode {
    std::vector<IntegerMove> moves;
    uint16_t resultAt = 0;
};
