// The label-definition statement. The label pre-pass defines every label
// through it before the first statement runs, so running through a label
// line later finds the label and does nothing.
#include "interp/ostrin.h"

Statement* Ostrin::labelDefinition(Statement* st)
{
    if (st->argCount != 1) return fail(ErrMalformed);
    char* name = st->argText;
    if (Variable* v = findVariable(name, nullptr, false)) {
        if (v->type != TypeLabel) return fail(ErrMalformed);
        return st;
    }
    if (errorCode != ErrUndefined) return nullptr;   // the lookup failed otherwise
    errorCode = 0;
    Variable* label = defineVariable(name, TypeLabel, 0, nullptr);
    if (!label) return nullptr;
    label->capacity = static_cast<int32_t>(lineIndex);
    return st;
}
