// A tiny Windows console program that the binder tests bind images into.
// It looks for its program image the way the engine does (FindResourceA on
// its own module), unscrambles it and writes it to stdout after one status
// line, so a test can check the whole way from binder to Windows loader.
//
// Output: "icon=<0|1> version=<0|1> image=<size|none>\n", then the image
// bytes without their final zero byte.
#include <windows.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <string>

#include "image/scramble.h"

int main()
{
    _setmode(_fileno(stdout), _O_BINARY);
    HMODULE self = GetModuleHandleA(nullptr);
    bool icon = LoadIconA(self, MAKEINTRESOURCEA(101)) != nullptr;
    bool version = FindResourceA(self, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16)) != nullptr;

    HRSRC res = FindResourceA(nullptr, "A6F2D1FB", MAKEINTRESOURCEA(10));
    HGLOBAL loaded = res ? LoadResource(nullptr, res) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) {
        printf("icon=%d version=%d image=none\n", icon, version);
        return 3;
    }
    std::string bytes(static_cast<const char*>(data), SizeofResource(nullptr, res));
    image::unscramble(bytes);
    printf("icon=%d version=%d image=%u\n", icon, version, static_cast<unsigned>(bytes.size()));
    if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
    fwrite(bytes.data(), 1, bytes.size(), stdout);
    return 0;
}
