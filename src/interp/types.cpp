// Names, element sizes and print formats of the value types.
#include "values.h"

namespace {
struct TypeInfo { const char* name; int size; const char* format; };

// Elements that hold an object (a block, a stream, a window, a dialog, a
// record's members) are one address wide: 4 bytes in the engine, 8 in a
// native 64-bit build of the core.
constexpr int Slot = sizeof(void*);

// The names are matched by the declaration statements; the formats are what
// the output statements print, so both are part of what programs see.
const TypeInfo typeInfo[TypeCount] = {
    {"STRING", 1, "%s"},      {"CHAR", 1, "%c"},
    {"INT", 4, "%d "},        {"FLOAT", 4, "%.2f "},
    {"ARRAY_0", 0, "%%"},     {"MEMORY", Slot, "%p "},
    {"FILE", Slot, "%%"},     {"SYSTEM_0", 0, ""},
    {"LABEL_0", 0, ""},       {"WINDOW", Slot, "%p "},
    {"DIALOG", Slot, "%p "},  {"BFILE", Slot, "%p "},
    {"ISTRING", 1, "%s"},     {"WORD", 2, "%d"},
    {"DOUBLE", 8, "%.2f"},    {"USER_0", Slot, "%p "},
    {"POINTER", 4, "%p "},    {"INT64", 8, "%I64d "},
    {"UINT64", 8, "%I64u "},  {"UINT", 4, "%u "},
};
}

const char* typeName(int type) { return type >= 0 && type < TypeCount ? typeInfo[type].name : ""; }
int typeSize(int type) { return type >= 0 && type < TypeCount ? typeInfo[type].size : 0; }
const char* typeFormat(int type) { return type >= 0 && type < TypeCount ? typeInfo[type].format : ""; }

