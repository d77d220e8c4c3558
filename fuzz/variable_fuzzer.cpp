// Target 4: a variable reference (pointer, indices, members) looked up in
// the prepared program's chain; the element it selects is then read whole,
// so a selection outside its variable's storage is caught. The first byte
// chooses whether an unknown name runs as a statement, as in an argument.
#include <cstring>
#include <string>

#include "prepared.h"

namespace {

volatile unsigned char sink;

void touch(const char* p, size_t n)
{
    unsigned char x = 0;
    for (size_t i = 0; i < n; ++i) x ^= static_cast<unsigned char>(p[i]);
    sink = x;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || !fuzz::acceptable(data, size)) return -1;
    static fuzz::Prepared prepared(fuzz::assembleOrDie(fuzz::PreparedProgram));
    Ostrin& o = prepared.fresh();
    std::string ref(reinterpret_cast<const char*>(data) + 1, size - 1);
    Variable* v = o.findVariable(ref.data(), nullptr, (data[0] & 1) != 0);
    if (v && v->data) {
        if (v->type == TypeString) {
            if (v->capacity > 0) touch(v->data, strnlen(v->data, static_cast<size_t>(v->capacity)));
        } else {
            touch(v->data, static_cast<size_t>(typeSize(v->type)));
        }
    }
    prepared.done();
    return 0;
}
