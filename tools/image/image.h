// The image tools' library: everything needed to turn readable program text
// into a bound executable and back. Include this or the single headers.
#pragma once

#include "assembler.h"  // assemble, disassemble, AsmError, AsmOptions
#include "binder.h"     // bind, extractImage and their in-memory forms
#include "names.h"      // opcode and constant names
#include "scramble.h"   // scramble, unscramble
