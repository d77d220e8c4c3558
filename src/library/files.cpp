// Files and directories: text (FILE) and binary (BFILE) streams, record
// access, the file dialog, copying and deleting files, directories, and the
// enumeration of the files that match a pattern.
//
// A file variable's element holds a C stream, null while closed. Failures of
// the operating system are answers, not errors: the file statements return a
// file result code (0 success, 205/206/207 an open for reading, writing or
// appending failed, 999 a read that delivered nothing), the others the
// success value of the call they make.
#include "ostrin.h"

#include <windows.h>
#include <commdlg.h>
#include <share.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "library/storage.h"
#include "text.h"

using storage::fileStream;
using storage::memoryBlock;
using storage::memoryBytes;
using storage::setFileStream;
using storage::storageBytes;

namespace {

constexpr int32_t ResultOk = 0;
constexpr int32_t ResultReadOpen = 205;
constexpr int32_t ResultWriteOpen = 206;
constexpr int32_t ResultAppendOpen = 207;
constexpr int32_t ResultNothingRead = 999;

// What end of file reports once a read has hit the end.
constexpr int32_t EndOfFileFlag = 16;

bool isFileType(int type) { return type == TypeFile || type == TypeBFile; }

// The variable a name argument refers to; null with the lookup's error set.
Variable* lookUp(Ostrin& o, Statement* st, int i)
{
    Variable* v = o.findVariable(skipBlanks(st->args[i]), nullptr, false);
    if (!v) o.failOnce(ErrUndefined);
    return v;
}

bool isEmptyArgument(const char* text) { return *skipBlanks(text) == 0; }

// Seeks to a byte offset from the start; offsets beyond 2 GB stay exact.
void seekTo(FILE* stream, int64_t offset) { _fseeki64(stream, offset, SEEK_SET); }

// A binary transfer into a STRING may bring bytes without a terminator:
// every string element it reached gets its last byte cut, so no later text
// operation runs past the element.
void terminateStrings(Variable* v, size_t bytes)
{
    if (v->type != TypeString || bytes == 0) return;
    // A one-character selection («s[3]») receives exactly its byte: the
    // string it belongs to keeps its terminator where it was.
    if (v->width == 1 && v->capacity == 1) return;
    const size_t element = v->width > 1 ? static_cast<size_t>(v->width)
                                        : static_cast<size_t>(std::max(v->capacity, 1));
    const size_t reached = (bytes + element - 1) / element * element;
    for (size_t end = element; end <= reached; end += element) v->data[end - 1] = 0;
}

// The head of the member chain of a USER variable's selected element.
Variable* recordHead(Variable* v)
{
    Variable* head = nullptr;
    if (v->data) std::memcpy(&head, v->data, sizeof head);
    return head;
}

// Variables whose element owns an object (a stream, a window, a dialog):
// bytes from a file must never land there, or releasing the variable would
// close or destroy whatever the bytes happen to point at.
bool ownsObject(int type)
{
    return type == TypeFile || type == TypeBFile || type == TypeWindow || type == TypeDialog;
}

// A stream read or write of one record instance is complete when neither
// the end of the file nor an error interrupted it.
bool streamIntact(FILE* stream) { return !std::feof(stream) && !std::ferror(stream); }

// --- File dialog ---------------------------------------------------------------

constexpr size_t MultiSelectBuffer = 10000;

// The "|"-separated filter as the dialog wants it: parts separated and the
// whole ended by zero bytes.
void convertFilter(const char* filter, char* out, size_t size)
{
    std::memset(out, 0, size);
    for (size_t i = 0; filter[i] && i + 2 < size; ++i) out[i] = filter[i] == '|' ? 0 : filter[i];
}

// The chosen files as one text: a single path, or, with multiple selection,
// every path followed by "|". An explorer-style multiple selection lists the
// directory and then the bare names; a single choice is one full path.
std::string chosenPaths(const char* buffer, bool multiSelect)
{
    if (!multiSelect) return buffer;
    std::string out;
    const char* dir = buffer;
    const char* name = dir + std::strlen(dir) + 1;
    if (!*name) return out.append(dir).append("|");
    const bool rootDir = *dir && dir[std::strlen(dir) - 1] == '\\';
    for (; *name; name += std::strlen(name) + 1) {
        out.append(dir);
        if (!rootDir) out += '\\';
        out.append(name).append("|");
    }
    return out;
}

}  // namespace

// --- Directory enumeration -------------------------------------------------

// One enumeration of the files matching a pattern. The entry fetched ahead
// ("next") becomes "current" on each step, so the finder knows whether the
// entry it hands out is the last one before the program asks again.
class CFileFinder {
public:
    ~CFileFinder() { close(); }

    // Starts the enumeration; "*.*" for an empty pattern.
    bool find(const char* pattern)
    {
        close();
        m_handle = FindFirstFileA(*pattern ? pattern : "*.*", &m_next);
        m_hasNext = m_handle != INVALID_HANDLE_VALUE;
        return m_hasNext;
    }

    // Makes the entry fetched ahead current and fetches the one after it;
    // false when no entry was left to become current.
    bool findNext()
    {
        if (!m_hasNext) return false;
        m_current = m_next;
        m_hasNext = FindNextFileA(m_handle, &m_next) != 0;
        if (!m_hasNext) close();
        return true;
    }

    bool hasNext() const { return m_hasNext; }
    const char* fileName() const { return m_current.cFileName; }

    // Ends the enumeration; the object stays valid until it is destroyed.
    void close()
    {
        if (m_handle != INVALID_HANDLE_VALUE) FindClose(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
        m_hasNext = false;
    }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA m_current{};
    WIN32_FIND_DATAA m_next{};
    bool m_hasNext = false;
};

namespace {

// Programs hold finders as integers: only handles that find first file gave
// out in this run and find close has not taken back are followed, so a
// stray number never becomes a pointer.
CFileFinder* finderOf(const std::vector<CFileFinder*>& live, int32_t handle)
{
    if (!handle) return nullptr;
    for (CFileFinder* f : live)
        if (static_cast<int32_t>(reinterpret_cast<uintptr_t>(f)) == handle) return f;
    return nullptr;
}

void destroyFinder(std::vector<CFileFinder*>& live, CFileFinder* f)
{
    live.erase(std::remove(live.begin(), live.end(), f), live.end());
    delete f;
}

}  // namespace

// Finders the program left open end with the run, as its files do.
void Ostrin::destroyFileFinders()
{
    for (CFileFinder* f : fileFinders) delete f;
    fileFinders.clear();
}


// --- Opening and closing -----------------------------------------------------------

// Opens the named file into a FILE or BFILE variable; the result is the file
// result code. The stream lets other readers and writers share the file.
Statement* Ostrin::openFile(Statement* st)
{
    if (st->argCount != 3) return fail(ErrArgCount);

    ArgValue file{}, name{}, mode{};
    if (!evalArg(st, 0, KindAny, file)) return nullptr;
    Variable* v = file.variable;
    if (!v || !isFileType(v->type) || (!v->data && !v->builtIn)) return fail(ErrType);
    if (!evalArg(st, 1, TypeString, name) || !evalArg(st, 2, TypeString, mode)) return nullptr;

    const bool binary = v->type == TypeBFile;
    const char* cmode;
    int32_t failure;
    switch (mode.text[0]) {
    case 'A': case 'a':
        // Binary "append" is update in place from the start: record writes
        // must be able to seek, which true append mode would defeat.
        cmode = binary ? "rb+" : "a+";
        failure = ResultAppendOpen;
        break;
    case 'R': case 'r':
        cmode = binary ? "rb" : "r";
        failure = ResultReadOpen;
        break;
    case 'W': case 'w':
        cmode = binary ? "wb+" : "w+";
        failure = ResultWriteOpen;
        break;
    default:
        return fail(ErrMalformed);
    }

    // Reopening a variable closes its previous stream first: left open, its
    // buffered writes would be invisible to the new stream and the file
    // would stay open until the process ends.
    FILE* old = fileStream(v);
    if (old && !v->builtIn) std::fclose(old);

    FILE* stream = _fsopen(name.text, cmode, _SH_DENYNO);
    setFileStream(v, stream);
    return setIntResult(st, stream ? ResultOk : failure);
}

Statement* Ostrin::closeFile(Statement* st)
{
    if (st->argCount != 1) return fail(ErrMalformed);
    Variable* v = lookUp(*this, st, 0);
    if (!v) return nullptr;
    if (!isFileType(v->type)) return fail(ErrType);
    if (FILE* stream = fileStream(v)) {
        std::fclose(stream);
        setFileStream(v, nullptr);
    }
    return st;
}

// --- Sequential reading and writing ----------------------------------------------

// Reads one value from a text stream into the target; false when nothing was
// delivered. Types without a text form of their own (handles, records,
// arrays of objects) cannot be read from text: error 14.
static bool readText(Ostrin& o, FILE* stream, Variable* t, bool& delivered)
{
    delivered = false;
    if (!t->data) {
        o.fail(ErrType);
        return false;
    }
    switch (t->type) {
    case TypeString: {
        // One line of at most capacity - 2 characters, the line feed
        // included; the rest of a longer line is left for the next read.
        const int room = std::max(t->capacity - 1, 1);
        if (!std::fgets(t->data, room, stream)) return true;
        const size_t n = std::strlen(t->data);
        if (n && t->data[n - 1] == '\n') t->data[n - 1] = 0;
        delivered = true;
        return true;
    }
    case TypeChar: delivered = std::fscanf(stream, "%c", t->data) == 1; return true;
    case TypeInt: delivered = std::fscanf(stream, "%d ", reinterpret_cast<int*>(t->data)) == 1; return true;
    case TypeUInt: delivered = std::fscanf(stream, "%u ", reinterpret_cast<unsigned*>(t->data)) == 1; return true;
    case TypeInt64:
        delivered = std::fscanf(stream, "%lld ", reinterpret_cast<long long*>(t->data)) == 1;
        return true;
    case TypeUInt64:
        delivered = std::fscanf(stream, "%llu ", reinterpret_cast<unsigned long long*>(t->data)) == 1;
        return true;
    // The print formats of these types are no input conversions ("%.2f "):
    // each is read with the conversion of its own size instead.
    case TypeWord: delivered = std::fscanf(stream, "%hu ", reinterpret_cast<unsigned short*>(t->data)) == 1; return true;
    case TypeFloat: delivered = std::fscanf(stream, "%f ", reinterpret_cast<float*>(t->data)) == 1; return true;
    case TypeDouble: delivered = std::fscanf(stream, "%lf ", reinterpret_cast<double*>(t->data)) == 1; return true;
    default:
        o.fail(ErrType);
        return false;
    }
}

// Reads the target's bytes from a binary stream; false when nothing was
// delivered (or, with error 14 set, when the target cannot take bytes).
static bool readBinary(Ostrin& o, FILE* stream, Variable* t)
{
    if (ownsObject(t->type)) {
        o.fail(ErrType);
        return false;
    }
    switch (t->type) {
    case TypeUser: {
        Variable* head = recordHead(t);
        if (!head) return false;
        o.readRecord(head, stream);
        return streamIntact(stream);
    }
    case TypeMemory: {
        char* block = memoryBlock(t);
        const size_t size = memoryBytes(t);
        return block && size && std::fread(block, 1, size, stream) > 0;
    }
    default: {
        const size_t size = storageBytes(t);
        if (!size) return false;
        const size_t n = std::fread(t->data, 1, size, stream);
        terminateStrings(t, n);
        return n > 0;
    }
    }
}

// Reads the targets in order from a text or binary file; the result is the
// file result code (999 once a read delivered nothing).
Statement* Ostrin::readFile(Statement* st)
{
    if (st->argCount < 2) return fail(ErrMalformed);
    Variable* file = lookUp(*this, st, 0);
    if (!file) return nullptr;

    int32_t result = ResultOk;
    for (int i = 1; i < st->argCount; ++i) {
        Variable* t = lookUp(*this, st, i);
        if (!t) return nullptr;
        if (!isFileType(file->type)) return fail(ErrType);
        FILE* stream = fileStream(file);
        if (!stream) return fail(ErrFileClosed);

        bool delivered;
        if (file->type == TypeFile) {
            if (!readText(*this, stream, t, delivered)) return nullptr;
        } else {
            delivered = readBinary(*this, stream, t);
            if (errorCode) return nullptr;
        }
        if (!delivered) {
            result = ResultNothingRead;
            break;
        }
    }
    return setIntResult(st, result);
}

// Writes one line of values to a text file (formatted as the console print
// formats them) or the bytes of variables to a binary file.
Statement* Ostrin::writeFile(Statement* st)
{
    if (st->argCount < 1) return fail(ErrMalformed);
    Variable* file = lookUp(*this, st, 0);
    if (!file) return nullptr;
    if (!isFileType(file->type)) return fail(ErrType);
    FILE* stream = fileStream(file);
    if (!stream) return fail(ErrFileClosed);

    if (file->type == TypeFile) {
        st->toFile = 1;
        if (!consolePrint(st)) return nullptr;
        return setIntResult(st, ResultOk);
    }

    for (int i = 1; i < st->argCount; ++i) {
        if (isEmptyArgument(st->args[i])) continue;   // a trailing comma
        Variable* v = lookUp(*this, st, i);
        if (!v) return nullptr;
        switch (v->type) {
        case TypeUser:
            if (Variable* head = recordHead(v)) writeRecord(head, stream);
            break;
        case TypeMemory:
            if (char* block = memoryBlock(v)) std::fwrite(block, 1, memoryBytes(v), stream);
            break;
        default:
            if (v->data) std::fwrite(v->data, 1, storageBytes(v), stream);
            break;
        }
    }
    return setIntResult(st, ResultOk);
}

// 16 once a read has hit the end of the file, else 0.
Statement* Ostrin::endOfFile(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    ArgValue file{};
    if (!evalArg(st, 0, KindAny, file)) return nullptr;
    if (!file.variable || !isFileType(file.variable->type)) return fail(ErrType);
    FILE* stream = fileStream(file.variable);
    if (!stream) return fail(ErrFileClosed);
    return setIntResult(st, std::feof(stream) ? EndOfFileFlag : 0);
}

// With one argument the current byte position of a binary file; with two,
// moves to the given position from the start (no result).
Statement* Ostrin::filePosition(Statement* st)
{
    if (st->argCount != 1 && st->argCount != 2) return fail(ErrMalformed);
    ArgValue file{};
    if (!evalArg(st, 0, TypeBFile, file)) return nullptr;
    FILE* stream = fileStream(file.variable);
    if (!stream) return fail(ErrFileClosed);

    if (st->argCount == 1) return setIntResult(st, static_cast<int32_t>(_ftelli64(stream)));
    ArgValue pos{};
    if (!evalArg(st, 1, KindNumber, pos)) return nullptr;
    seekTo(stream, pos.int64Value);
    return st;
}

// --- Record access ----------------------------------------------------------------

// The common part of read record and write record: the stream, the record
// number (from 1) and the variable. Null with the error set.
static FILE* recordArguments(Ostrin& o, Statement* st, int64_t& number, Variable*& v)
{
    if (st->argCount != 3) {
        o.fail(ErrMalformed);
        return nullptr;
    }
    ArgValue file{}, n{};
    if (!o.evalArg(st, 0, TypeBFile, file)) return nullptr;
    FILE* stream = fileStream(file.variable);
    if (!stream) {
        o.fail(ErrFileClosed);
        return nullptr;
    }
    if (!o.evalArg(st, 1, KindNumber, n)) return nullptr;
    if (n.int64Value < 1) {
        o.fail(ErrSubstring);   // error 46: a record number below 1
        return nullptr;
    }
    v = lookUp(o, st, 2);
    if (!v) return nullptr;
    number = n.int64Value;
    return stream;
}

// Reads record N (counted from 1) of a binary file into a variable; records
// are as large as the variable (a record instance: all its members).
Statement* Ostrin::readRecordStatement(Statement* st)
{
    int64_t n;
    Variable* v;
    FILE* stream = recordArguments(*this, st, n, v);
    if (!stream) return nullptr;
    if (ownsObject(v->type)) return fail(ErrType);

    bool delivered;
    if (v->type == TypeUser) {
        Variable* head = recordHead(v);
        if (!head) return setIntResult(st, ResultNothingRead);
        seekTo(stream, static_cast<int64_t>(recordSize(head)) * (n - 1));
        readRecord(head, stream);
        delivered = streamIntact(stream);
    } else {
        const size_t size = storageBytes(v);
        seekTo(stream, static_cast<int64_t>(size) * (n - 1));
        const size_t got = size ? std::fread(v->data, 1, size, stream) : 0;
        terminateStrings(v, got);
        delivered = got > 0;
    }
    return setIntResult(st, delivered ? ResultOk : ResultNothingRead);
}

// Writes a variable as record N of a binary file; writing past the end
// extends the file.
Statement* Ostrin::writeRecordStatement(Statement* st)
{
    int64_t n;
    Variable* v;
    FILE* stream = recordArguments(*this, st, n, v);
    if (!stream) return nullptr;

    if (v->type == TypeUser) {
        if (Variable* head = recordHead(v)) {
            seekTo(stream, static_cast<int64_t>(recordSize(head)) * (n - 1));
            writeRecord(head, stream);
        }
    } else if (v->data) {
        const size_t size = storageBytes(v);
        seekTo(stream, static_cast<int64_t>(size) * (n - 1));
        std::fwrite(v->data, 1, size, stream);
    }
    return setIntResult(st, ResultOk);
}

// --- The file dialog ------------------------------------------------------------------

// Shows the open or save dialog; the chosen path (with multiple selection,
// every path followed by "|") or an empty text when cancelled.
Statement* Ostrin::fileDialog(Statement* st)
{
    if (st->argCount < 1) return fail(ErrMalformed);

    ArgValue title{}, open{}, filter{}, ext{}, flags{}, dir{};
    if (!evalArg(st, 0, TypeString, title)) return nullptr;
    HWND owner = nullptr;
    if (st->argCount > 1 && *skipBlanks(st->args[1]) != '0' && !isEmptyArgument(st->args[1])) {
        ArgValue parent{};
        if (!evalArg(st, 1, KindWinOrDlg, parent)) return nullptr;
        void* object = reinterpret_cast<void*>(static_cast<uintptr_t>(static_cast<uint32_t>(parent.handle)));
        if (object && ui) owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(ui->nativeHandle(object)));
    }
    bool openDialog = true;
    if (st->argCount > 2) {
        if (!evalArg(st, 2, KindNumber, open)) return nullptr;
        openDialog = open.doubleValue != 0;
    }
    char filterText[ArgSize + 2] = {};
    if (st->argCount > 3) {
        if (!evalArg(st, 3, TypeString, filter)) return nullptr;
        convertFilter(filter.text, filterText, sizeof filterText);
    }
    if (st->argCount > 4 && !evalArg(st, 4, TypeString, ext)) return nullptr;
    DWORD extraFlags = 0;
    if (st->argCount > 5) {
        if (!evalArg(st, 5, KindNumber, flags)) return nullptr;
        extraFlags = static_cast<DWORD>(flags.intValue);
    }
    if (st->argCount == 7 && !evalArg(st, 6, TypeString, dir)) return nullptr;

    const bool multiSelect = (extraFlags & OFN_ALLOWMULTISELECT) != 0;
    std::vector<char> file(multiSelect ? MultiSelectBuffer : MAX_PATH, 0);

    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filterText[0] ? filterText : nullptr;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrTitle = title.text[0] ? title.text : nullptr;
    ofn.lpstrDefExt = ext.text && ext.text[0] ? ext.text : nullptr;
    ofn.lpstrInitialDir = dir.text && dir.text[0] ? dir.text : nullptr;
    ofn.Flags = extraFlags | OFN_HIDEREADONLY | OFN_EXPLORER | (openDialog ? 0 : OFN_OVERWRITEPROMPT);

    const BOOL chosen = openDialog ? GetOpenFileNameA(&ofn) : GetSaveFileNameA(&ofn);
    if (!chosen) {
        // Cancel leaves no extended error; anything else means the dialog
        // could not do its work.
        if (CommDlgExtendedError() != 0) return fail(ErrFileDialog);
        return setStringResult(st, "");
    }
    const std::string paths = chosenPaths(file.data(), multiSelect);
    return setStringResult(st, paths.data(), paths.size());
}

// --- Files and directories ---------------------------------------------------------

Statement* Ostrin::copyFile(Statement* st)
{
    if (st->argCount != 3) return fail(ErrArgCount);
    ArgValue from{}, to{}, failIfExists{};
    if (!evalArg(st, 0, TypeString, from) || !evalArg(st, 1, TypeString, to) ||
        !evalArg(st, 2, KindNumber, failIfExists))
        return nullptr;
    return setIntResult(st, CopyFileA(from.text, to.text, failIfExists.doubleValue != 0));
}

// The three one-name operations share their shape: a string argument and the
// success value of the call.
static Statement* nameOperation(Ostrin& o, Statement* st, BOOL (*op)(const char*))
{
    if (st->argCount != 1) return o.fail(ErrArgCount);
    ArgValue name{};
    if (!o.evalArg(st, 0, TypeString, name)) return nullptr;
    return o.setIntResult(st, op(name.text));
}

Statement* Ostrin::deleteFile(Statement* st)
{
    return nameOperation(*this, st, [](const char* n) { return DeleteFileA(n); });
}

Statement* Ostrin::makeDirectory(Statement* st)
{
    return nameOperation(*this, st, [](const char* n) { return CreateDirectoryA(n, nullptr); });
}

Statement* Ostrin::removeDirectory(Statement* st)
{
    return nameOperation(*this, st, [](const char* n) { return RemoveDirectoryA(n); });
}

// --- Enumerating files ------------------------------------------------------------------

// Starts an enumeration: the finder's handle, or 0 when nothing matches.
Statement* Ostrin::findFirstFile(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    ArgValue pattern{};
    if (!evalArg(st, 0, TypeString, pattern)) return nullptr;

    auto* finder = new (std::nothrow) CFileFinder;
    if (!finder) return fail(ErrNoMemory);
    if (!finder->find(pattern.text)) {
        delete finder;
        return setIntResult(st, 0);
    }
    try {
        fileFinders.push_back(finder);
    } catch (const std::bad_alloc&) {
        delete finder;
        return fail(ErrNoMemory);
    }
    SetLastError(0);
    return setIntResult(st, static_cast<int32_t>(reinterpret_cast<uintptr_t>(finder)));
}

// The next matching name; after the last one, empty texts. The thread's
// last-error code says where the enumeration stands, as programs that ask
// the system expect (123 after the last name, 0 once ended), but the finder
// itself keeps the state: a system call made by the program between two
// steps must not lose the last name.
Statement* Ostrin::findNextFile(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    ArgValue handle{};
    if (!evalArg(st, 0, KindInt, handle)) return nullptr;

    CFileFinder* finder = finderOf(fileFinders, handle.intValue);
    if (!finder || !finder->findNext()) {
        if (finder) SetLastError(0);
        return setStringResult(st, "");
    }
    if (!finder->hasNext()) SetLastError(ERROR_INVALID_NAME);
    return setStringResult(st, finder->fileName());
}

Statement* Ostrin::findClose(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);
    ArgValue handle{};
    if (!evalArg(st, 0, KindInt, handle)) return nullptr;
    if (CFileFinder* finder = finderOf(fileFinders, handle.intValue)) destroyFinder(fileFinders, finder);
    SetLastError(0);
    return st;
}
