// Helpers shared by the declaration statements, the record types and the
// external calls: reading type words and names, finding record types, and
// building the member instances of record variables.
#pragma once

#include <cstddef>

#include "interp/ostrin.h"

// The type code a type word names, compared without regard to case, or -1.
// The compiler writes the word INT as the token of the numeric function of
// that name (0xFF 0xE6 0xEB), so the token alone also means INT.
int typeCodeOf(const char* word);

// Copies the word at the start of text (blanks skipped, ending at a blank or
// tab) into out, cut to size - 1 characters.
void readTypeWord(const char* text, char* out, size_t size);

// Removes the blanks around a name in place and returns its start.
char* trimName(char* text);

// Cuts every argument of a declaration at its first ":" and copies the type
// word written after the last argument's colon into out; false (error 1)
// when there is no argument or the last one has no type.
bool splitDeclaration(Ostrin& o, Statement* st, char* out, size_t size);

// The first record type of that name (15 significant characters), or null.
RecordType* findRecordType(Ostrin& o, const char* name);

// Defines `name` as a USER variable of record type rt in chain (null = the
// running chain) and builds one member instance per element. Returns the
// variable, or null with the error set; depth guards a type that contains
// itself.
Variable* defineRecord(Ostrin& o, char* name, const RecordType* rt, Variable* chain, int depth = 0);

// The native window handle of a window or dialog object, 0 for none.
inline uint32_t nativeHandle(const Ostrin& o, void* object)
{
    return object && o.ui ? o.ui->nativeHandle(object) : 0;
}
