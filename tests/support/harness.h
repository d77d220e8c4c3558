// In-process test harness: assembles readable program text with the image
// tools, runs it on a real interpreter whose error report and console are
// captured, and lets tests inspect the variables afterwards.
#pragma once

#include <memory>
#include <string>
#include <vector>
#include <vector>

#include "interp/ostrin.h"

// Console device that records output and feeds prepared input.
class CaptureConsole : public ConsoleDevice {
public:
    bool open() override { opened = true; return true; }
    void close() override { opened = false; }
    void write(const char* text, size_t length) override { output.append(text, length); }
    bool readLine(char* buf, size_t size) override;
    // Pending keys are the characters of `input`; with virtualKey a letter
    // comes back upper-cased, as its virtual-key code.
    int peekKey(bool virtualKey) override;
    void clear() override { ++clears; }
    void setCursor(int row, int column) override { cursorRow = row; cursorColumn = column; }
    void setAttribute(int value) override { attribute = value; attributes.push_back(value); }

    std::string output;
    std::string input;     // lines separated by '\n'
    size_t inputPos = 0;
    bool opened = false;
    int clears = 0;
    int cursorRow = -1, cursorColumn = -1;
    int attribute = -1;
    std::vector<int> attributes;   // every attribute set, in order
};

// Interpreter whose error report is recorded instead of shown.
class TestOstrin : public Ostrin {
public:
    TestOstrin() { console = &capture; }
    void reportError() override
    {
        reported = errorCode != 0;
        reportedError = errorCode;
        reportedLine = currentLineNumber() + 1;
    }

    CaptureConsole capture;
    std::string imageBytes;   // owns the image the interpreter runs
    bool reported = false;
    int reportedError = 0;
    int reportedLine = 0;
};

struct RunResult {
    int ok = 0;          // what run() returned
    int error = 0;       // error code at the end of the run
    int line = 0;        // one-based source line of the error, 0 without one
    std::string output;  // console output
};

// Assembles `source` (CR LF line ends unless bareLf) and loads it; records
// a test failure and returns null when it does not assemble.
std::unique_ptr<TestOstrin> prepareProgram(const std::string& source, bool bareLf = false);
// Loads raw image bytes as they are (no assembler), for odd encodings.
std::unique_ptr<TestOstrin> prepareImage(const std::string& bytes);
// Runs a prepared interpreter and summarises the run.
RunResult runPrepared(TestOstrin& o, const std::string& input = "");
// Assembles, loads and runs in one step.
RunResult runProgram(const std::string& source, const std::string& input = "");

// Value of a variable after a run (fails the test when missing).
int32_t intVar(Ostrin& o, const char* name);
double doubleVar(Ostrin& o, const char* name);
std::string stringVar(Ostrin& o, const char* name);

// Program text from lines (LF line ends; the assembler writes CR LF).
std::string joinLines(const std::vector<std::string>& lines);

// A finished run with its interpreter kept for inspection.
struct Ran {
    std::unique_ptr<TestOstrin> o;
    RunResult r;
};
Ran runKeep(const std::string& source);

// A variable by reference, without running anything and without failing
// the test: null when there is none. The error code is left clear.
Variable* var(Ostrin& o, const char* ref);
// The first 8 bytes of a variable's selected element (0 when missing).
int64_t int64Var(Ostrin& o, const char* ref);
