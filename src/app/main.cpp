// Process entry: find and unscramble the program image, run it, exit 0.
#include <windows.h>
#include <ole2.h>

#include <cstdlib>
#include <new>
#include <cstring>
#include <string>

#include "app/image.h"
#include "interp/ostrin.h"
#include "ui/windows/program_ui.h"

// The directory of the executable, with its trailing backslash.
static std::string programDirectoryOf()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(GetModuleHandleA(nullptr), path, MAX_PATH);
    char* slash = std::strrchr(path, '\\');
    if (slash) slash[1] = 0;
    return path;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const bool oleReady = OleInitialize(nullptr) == S_OK;
    const std::string directory = programDirectoryOf();

    // The key is assembled from separate byte stores so that it never
    // stands in the executable as one piece.
    volatile uint8_t key[16];
    key[0] = 0x5A; key[1] = 0x13; key[2] = 0xC7; key[3] = 0x2E;
    key[4] = 0x91; key[5] = 0x4B; key[6] = 0xF0; key[7] = 0x68;
    key[8] = 0x0D; key[9] = 0xB5; key[10] = 0x7C; key[11] = 0x22;
    key[12] = 0xE9; key[13] = 0x36; key[14] = 0xA4; key[15] = 0x8F;
    uint8_t localKey[16];
    for (int i = 0; i < 16; ++i) localKey[i] = key[i];

    if (char* image = loadProgramImage(localKey)) {
        ProgramUi ui;
        auto* interpreter = new (std::nothrow) Ostrin;
        if (interpreter) {
            attachProgramUi(*interpreter, ui);
            interpreter->attachImage(image);
            if (interpreter->load()) {
                interpreter->programDirectory = directory;
                interpreter->run();
            }
            delete interpreter;
        }
        std::free(image);
    }
    if (oleReady) OleUninitialize();
    return 0;
}
