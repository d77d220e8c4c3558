// The names the readable notation gives to opcodes and built-in constants.
//
// A program image refers to statements and built-in functions by opcode and
// to built-in constants by table index only; these tables are the other half
// of that contract. Statement names are the snake_case forms of the statement
// names (lower case); constant names are upper case. Both are matched with
// letter case significant.
#pragma once

#include <cstdint>
#include <string>

namespace image {

constexpr int OpcodeCount = 256;    // two opcode characters hold 0-255
constexpr int ConstantCount = 498;  // indices 0-497 of the constant table

// Opcodes with a special role in the notation.
constexpr int OpThen = 218;  // then-token of a single-line conditional
constexpr int OpElse = 55;   // else statement, also the else-token

// The opcode a statement name stands for, or -1. Where two opcodes share a
// name (label definition 23/56, jump 13/66) the lower one is returned.
int opcodeByName(const std::string& snakeName);

// The snake_case name of an opcode, or nullptr for an opcode without one.
// A name can be shared: opcodeByName(opcodeName(n)) need not be n.
const char* opcodeName(int opcode);

// The constant-table index a constant name stands for, or -1.
int constantByName(const std::string& name);

// The name of a constant-table index, or nullptr when it has none.
const char* constantName(int index);

// The value at a constant-table index (0 outside 0-497). Event slots read 0
// here: their values exist only while an event handler runs.
int32_t constantValue(int index);

}  // namespace image
