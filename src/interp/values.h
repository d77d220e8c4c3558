// Values as the interpreter keeps them: type codes, error numbers, the
// decoded statement record, the variable record and the evaluated argument.
//
// These are plain records with fixed layouts. Program images, the external
// compiler and stored files depend on the numbers here (type codes, error
// numbers, result types), so none of them may be renumbered.
#pragma once

#include <cstddef>
#include <cstdint>

// The 20 value types. ISTRING exists only while a variable is being defined.
enum TypeCode : uint8_t {
    TypeString = 0, TypeChar = 1, TypeInt = 2, TypeFloat = 3, TypeArray = 4,
    TypeMemory = 5, TypeFile = 6, TypeSystem = 7, TypeLabel = 8, TypeWindow = 9,
    TypeDialog = 10, TypeBFile = 11, TypeIString = 12, TypeWord = 13,
    TypeDouble = 14, TypeUser = 15, TypePointer = 16, TypeInt64 = 17,
    TypeUInt64 = 18, TypeUInt = 19,
};
constexpr int TypeCount = 20;

// resultType of a statement that left no value.
constexpr uint32_t NoResult = 99;

// Requested kinds of evalArg beyond the exact type codes.
enum ArgKind : int {
    KindAny = 21,       // any type
    KindNumber = 20,    // any numeric type
    KindInt = 2,        // INT only
    KindWinOrDlg = 25,  // WINDOW or DIALOG, or a literal handle
    KindWindow = 9,     // WINDOW, or a literal handle
};

const char* typeName(int type);       // "STRING" … "UINT"; "" out of range
const char* typeFormat(int type);     // print format of one value
// Element size in bytes, 0 out of range. Elements that hold an object (a
// block, a stream, a window, a dialog, a record's members) are one address
// wide: 4 bytes in the engine, 8 in a native 64-bit build of the core.
// Inline: every element selected asks it.
inline int typeSize(int type)
{
    constexpr int slot = sizeof(void*);
    static constexpr int sizes[TypeCount] = {1, 1, 4, 4, 0, slot, slot, 0, 0, slot, slot, slot, 1, 2, 8, slot, 4, 8, 8, 4};
    return type >= 0 && type < TypeCount ? sizes[type] : 0;
}
// CHAR, WORD, the integers and the floats. Inline: every numeric operand
// asks it.
inline bool isNumericType(int type)
{
    constexpr uint32_t numeric = 1u << TypeChar | 1u << TypeInt | 1u << TypeFloat | 1u << TypeWord |
                                 1u << TypeDouble | 1u << TypeInt64 | 1u << TypeUInt64 | 1u << TypeUInt;
    return static_cast<unsigned>(type) < 32 && (numeric >> type & 1u);
}

// Run-time error numbers: shown to the user as they stand.
enum ErrorCode : uint8_t {
    ErrNone = 0,
    ErrMalformed = 1,
    ErrNoMemory = 2,
    ErrRange = 7,
    ErrDivideByZero = 8,
    ErrExists = 9,
    ErrUndefined = 10,
    ErrNoConvert = 11,
    ErrNoTarget = 12,
    ErrInputEnded = 13,
    ErrType = 14,
    ErrImplicitSwitch = 15,
    ErrTooManyOperators = 16,
    ErrNoElseOrEnd = 17,
    ErrParentheses = 18,
    ErrNotNumeric = 19,
    ErrNotInteger = 20,
    ErrFreeSystem = 21,
    ErrFreeWindow = 22,
    ErrNamedValue = 24,
    ErrNoWindow = 25,
    ErrWindowInUse = 26,
    ErrFileDialog = 29,
    ErrNoControl = 30,
    ErrControlClass = 31,
    ErrTooManyValues = 32,
    ErrStackFull = 34,
    ErrReturnNoCall = 35,
    ErrNoEndSelect = 36,
    ErrCaseNoSelect = 37,
    ErrEndSelectNoSelect = 38,
    ErrNoEndWhile = 39,
    ErrEndWhileNoWhile = 40,
    ErrControlIdZero = 41,
    ErrElseNoEnd = 43,
    ErrIStringSize = 44,
    ErrDimensionZero = 45,
    ErrSubstring = 46,
    ErrRecordType = 47,
    ErrUntilNoRepeat = 49,
    ErrNoUntil = 50,
    ErrParamsDeclared = 51,
    ErrFileClosed = 52,
    ErrLibrary = 53,
    ErrEntryPoint = 54,
    ErrTypeName = 55,
    ErrArgCount = 56,
    ErrExternalArg = 57,
    ErrReadOnly = 58,
    ErrNotBitmap = 60,
    ErrImageZero = 61,
    ErrParamType = 62,
    ErrArrayEnd = 65,
    ErrNoBrowser = 66,
    ErrControlIdUsed = 68,
};

// Syntactic class of a decoded argument.
enum ArgClass : int32_t {
    ClassNumber = 0, ClassString = 1, ClassVariable = 2, ClassExpression = 3,
    ClassUnknown = 4,
};

constexpr int MaxArgs = 25;
constexpr int ArgSize = 256;   // 255 characters and the terminator

struct Variable;

// Where one plain name at one place of the program was last found: valid
// while the interpreter's chainVersion equals `version`.
struct NameSite {
    Variable* var;
    uint64_t version;
    // Found inside a call whose chain was as the call began: the subroutine,
    // and the place in its frame (from 1 after the head), or OutsideFrame
    // for a top-level or built-in variable with outsideChanges as it was
    // then; 0 for none. Every call of a subroutine has the same parameters
    // in the same order, so each level of a recursion finds the name at the
    // same place of its own frame, or outside all of them.
    const Variable* label;
    uint32_t place;
    uint64_t outside;
};
constexpr uint32_t OutsideFrame = UINT32_MAX;

// What a handler may remember about its line between runs (kept with the
// line's decoded form): lookups, and facts about the line's fixed text.
struct CompiledExpression;
struct KeptBranch;
struct LineMemo {
    NameSite names[2];
    // The compiled form of the line's expression; of an assignment's value
    // too when it is an element whose indices are computed, copied alone.
    CompiledExpression* code;
    CompiledExpression* target;   // an assignment's target «name[expression]», compiled
    uint8_t shape;   // the handler's own reading of the text; 0 = not yet
    uint16_t marks[2];   // the handler's own offsets into the text
    KeptBranch* branches[2];   // an inline conditional's then and else
};

// An assignment line's shape, which its handler reads once into its memo:
// one value into a plain name, into «name[index]» with a plain index, or
// into an element whose indices are computed (computedIndex); anything
// else is a list.
enum AssignShape : uint8_t { ShapeUnknown, ShapeSingle, ShapeElement, ShapeList, ShapeComputed };

// One decoded statement. `buffer` holds argCount × 256 + 1 bytes; args[i]
// points at offset i × 256 of it.
struct Statement {
    uint16_t opcode;
    uint16_t argCount;
    char* argText;
    char* args[MaxArgs];
    int32_t argClass[MaxArgs];
    uint32_t resultType;
    int32_t toFile;
    char* buffer;
    // The memo of the line being run, or null: no caches, or a statement
    // that is not a line of the program (an inline branch, a function call).
    LineMemo* memo;
    // While a function call of an expression runs: where the names among
    // its arguments (and the called label, argument 0) were last found,
    // null for the others; null for every other statement.
    NameSite* const* argSites;
    // args point into the line's kept decoded form instead of the buffer,
    // for a handler known only to read them; anything that decodes into
    // the statement or hands it on points them back first (lentArgsBack).
    bool lent;
};

// Points a statement's arguments back at its own buffer after a line lent
// its texts.
void lentArgsBack(Statement* st);
// Copies a lent statement's texts into its own buffer first, for a handler
// that cuts them.
void ownArguments(Statement* st);

// A named, typed record in a variable chain (allocated zeroed).
struct Variable {
    char name[32];
    Variable* prev;
    Variable* next;
    Variable* members;
    Variable* target;
    uint8_t type;
    int32_t capacity;
    int32_t width;
    int32_t returnType;
    uint32_t count;
    char* data;
    char* base;
    int32_t builtIn;
    int32_t borrowed;
    int32_t external;
    int32_t readOnly;
    int32_t indexed;
    int32_t sharedData;
    int32_t libraryFlag;
    char library[80];
    int32_t dims[3];
    // The storage of a scalar parameter of up to 8 bytes: every call made
    // and freed a heap block per parameter. Never freed on its own.
    alignas(8) char local[8];
};

// True when several values may be stored from an assignment's target on:
// an array, not a single string (which is indexed only to reach its
// characters).
inline bool isArrayTarget(const Variable* v)
{
    return v->indexed && v->dims[0] != 0 && !(v->type == TypeString && v->width == 1);
}

constexpr int NameLength = 30;   // significant characters of a name

// Every representation of one evaluated argument at once.
struct ArgValue {
    int32_t intValue;
    float floatValue;
    double doubleValue;
    Variable* variable;
    char* text;
    int32_t handle;
    char* dataPtr;
    int64_t int64Value;
    uint8_t charValue;
    uint8_t type;
    char selected[2];   // a one-character selection of a string, terminated
};

// Fills every numeric representation of an argument from an integer.
void setFromInt64(ArgValue& out, int64_t v);
// Whether an expression text stands for the current window, as an argument
// of the given kind (a TypeCode or an ArgKind).
bool namesCurrentWindow(const char* t, int kind);
