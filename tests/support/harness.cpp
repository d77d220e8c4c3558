#include "harness.h"

#include <gtest/gtest.h>

#include <cstring>

#include "image/assembler.h"

bool CaptureConsole::readLine(char* buf, size_t size)
{
    if (inputPos >= input.size() || size == 0) return false;
    size_t end = input.find('\n', inputPos);
    if (end == std::string::npos) end = input.size();
    size_t n = end - inputPos;
    if (n > size - 1) n = size - 1;
    std::memcpy(buf, input.data() + inputPos, n);
    buf[n] = 0;
    inputPos = end + 1;
    return true;
}

int CaptureConsole::peekKey(bool virtualKey)
{
    if (inputPos >= input.size()) return 0;
    const int c = static_cast<unsigned char>(input[inputPos++]);
    return virtualKey && c >= 'a' && c <= 'z' ? c - 32 : c;
}

std::unique_ptr<TestOstrin> prepareImage(const std::string& bytes)
{
    auto o = std::make_unique<TestOstrin>();
    o->imageBytes = bytes;
    o->imageBytes.push_back('\0');
    o->attachImage(o->imageBytes.data());
    EXPECT_EQ(1, o->load());
    return o;
}

std::unique_ptr<TestOstrin> prepareProgram(const std::string& source, bool bareLf)
{
    std::string bytes;
    image::AsmError err;
    image::AsmOptions opt;
    opt.bareLf = bareLf;
    if (!image::assemble(source, bytes, err, opt)) {
        ADD_FAILURE() << "assembler: " << err.line << ":" << err.column << ": " << err.message;
        return nullptr;
    }
    // The assembler ends the image with its zero byte; prepareImage adds one.
    if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
    return prepareImage(bytes);
}

RunResult runPrepared(TestOstrin& o, const std::string& input)
{
    o.capture.input = input;
    RunResult r;
    r.ok = o.run();
    r.error = o.errorCode;
    r.line = o.reported ? o.reportedLine : 0;
    r.output = o.capture.output;
    return r;
}

RunResult runProgram(const std::string& source, const std::string& input)
{
    auto o = prepareProgram(source);
    if (!o) return RunResult{0, -1, 0, {}};
    return runPrepared(*o, input);
}

static Variable* lookup(Ostrin& o, const char* name)
{
    std::string ref = name;
    o.errorCode = 0;
    Variable* v = o.findVariable(ref.data(), nullptr, false);
    o.errorCode = 0;
    EXPECT_NE(nullptr, v) << "no variable " << name;
    return v;
}

int32_t intVar(Ostrin& o, const char* name)
{
    Variable* v = lookup(o, name);
    if (!v || !v->data) return 0;
    switch (v->type) {
    case TypeChar: return static_cast<uint8_t>(*v->data);
    case TypeWord: return *reinterpret_cast<uint16_t*>(v->data);
    case TypeFloat: return static_cast<int32_t>(*reinterpret_cast<float*>(v->data));
    case TypeDouble: return static_cast<int32_t>(*reinterpret_cast<double*>(v->data));
    case TypeInt64: case TypeUInt64: return static_cast<int32_t>(*reinterpret_cast<int64_t*>(v->data));
    default: return *reinterpret_cast<int32_t*>(v->data);
    }
}

double doubleVar(Ostrin& o, const char* name)
{
    Variable* v = lookup(o, name);
    if (!v || !v->data) return 0;
    switch (v->type) {
    case TypeFloat: return *reinterpret_cast<float*>(v->data);
    case TypeDouble: return *reinterpret_cast<double*>(v->data);
    case TypeInt64: return static_cast<double>(*reinterpret_cast<int64_t*>(v->data));
    case TypeUInt64: return static_cast<double>(*reinterpret_cast<uint64_t*>(v->data));
    case TypeUInt: return *reinterpret_cast<uint32_t*>(v->data);
    default: return intVar(o, name);
    }
}

std::string stringVar(Ostrin& o, const char* name)
{
    Variable* v = lookup(o, name);
    if (!v || !v->data) return {};
    return std::string(v->data, strnlen(v->data, v->capacity > 0 ? static_cast<size_t>(v->capacity) : 0));
}

std::string joinLines(const std::vector<std::string>& lines)
{
    std::string s;
    for (const std::string& l : lines) s += l + "\n";
    return s;
}

Ran runKeep(const std::string& source)
{
    Ran ran;
    ran.o = prepareProgram(source);
    if (ran.o) ran.r = runPrepared(*ran.o);
    return ran;
}

Variable* var(Ostrin& o, const char* ref)
{
    std::string text = ref;
    o.errorCode = 0;
    Variable* v = o.findVariable(text.data(), nullptr, false);
    o.errorCode = 0;
    return v;
}

int64_t int64Var(Ostrin& o, const char* ref)
{
    Variable* v = var(o, ref);
    int64_t x = 0;
    if (v && v->data) std::memcpy(&x, v->data, 8);
    return x;
}
