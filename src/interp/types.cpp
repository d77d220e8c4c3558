// Names, element sizes and print formats of the value types.
#include "values.h"

namespace {
struct TypeInfo { const char* name; const char* format; };

// The names are matched by the declaration statements; the formats are what
// the output statements print, so both are part of what programs see. The
// sizes are typeSize's.
const TypeInfo typeInfo[TypeCount] = {
    {"STRING", "%s"},      {"CHAR", "%c"},
    {"INT", "%d "},        {"FLOAT", "%.2f "},
    {"ARRAY_0", "%%"},     {"MEMORY", "%p "},
    {"FILE", "%%"},        {"SYSTEM_0", ""},
    {"LABEL_0", ""},       {"WINDOW", "%p "},
    {"DIALOG", "%p "},     {"BFILE", "%p "},
    {"ISTRING", "%s"},     {"WORD", "%d"},
    {"DOUBLE", "%.2f"},    {"USER_0", "%p "},
    {"POINTER", "%p "},    {"INT64", "%I64d "},
    {"UINT64", "%I64u "},  {"UINT", "%u "},
};
}

const char* typeName(int type) { return type >= 0 && type < TypeCount ? typeInfo[type].name : ""; }
const char* typeFormat(int type) { return type >= 0 && type < TypeCount ? typeInfo[type].format : ""; }

