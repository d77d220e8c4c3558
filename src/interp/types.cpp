// Names, element sizes and print formats of the value types.
#include "values.h"

namespace {
struct TypeInfo { const char* name; int size; const char* format; };

// The names are matched by the declaration statements; the formats are what
// the output statements print, so both are part of what programs see.
const TypeInfo typeInfo[TypeCount] = {
    {"STRING", 1, "%s"},      {"CHAR", 1, "%c"},
    {"INT", 4, "%d "},        {"FLOAT", 4, "%.2f "},
    {"ARRAY_0", 0, "%%"},     {"MEMORY", 4, "%p "},
    {"FILE", 4, "%%"},        {"SYSTEM_0", 0, ""},
    {"LABEL_0", 0, ""},       {"WINDOW", 4, "%p "},
    {"DIALOG", 4, "%p "},     {"BFILE", 4, "%p "},
    {"ISTRING", 1, "%s"},     {"WORD", 2, "%d"},
    {"DOUBLE", 8, "%.2f"},    {"USER_0", 4, "%p "},
    {"POINTER", 4, "%p "},    {"INT64", 8, "%I64d "},
    {"UINT64", 8, "%I64u "},  {"UINT", 4, "%u "},
};
}

const char* typeName(int type) { return type >= 0 && type < TypeCount ? typeInfo[type].name : ""; }
int typeSize(int type) { return type >= 0 && type < TypeCount ? typeInfo[type].size : 0; }
const char* typeFormat(int type) { return type >= 0 && type < TypeCount ? typeInfo[type].format : ""; }
