// CPicture: a compressed picture (any format the system's OLE picture
// loader accepts: BMP, JPEG, GIF, ICO, WMF, EMF) held as an IPicture.
//
// Programs hold a picture as the address of its CPicture in an INT
// variable. Such a number comes back from the program, so it is checked
// against the pictures that exist (isLive) before anything follows it: a
// number that names no live picture is treated as no picture at all.
#pragma once

#include <windows.h>

#include <cstddef>

struct IPicture;

class CPicture {
public:
    CPicture();
    // Releases the picture.
    virtual ~CPicture();
    CPicture(const CPicture&) = delete;
    CPicture& operator=(const CPicture&) = delete;

    // Each load first releases a picture already held; false when nothing
    // could be loaded (the picture is then empty).
    // From a resource of type "RTIMAGE" of the program's own module.
    bool loadResource(const char* name);
    bool loadFile(const char* path);
    bool loadMemory(const void* bytes, size_t size);

    // Draws at the picture's natural size at the context's resolution.
    void render(HDC dc, int x, int y) const;
    // Draws stretched into (x, y, width, height).
    void render(HDC dc, int x, int y, int width, int height) const;
    void release();
    bool isEmpty() const { return m_picture == nullptr; }
    // The picture's size in HIMETRIC units (0.01 mm); false when empty.
    bool himetricSize(long& width, long& height) const;

    // True when `object` is a CPicture that exists now.
    static bool isLive(const void* object);

private:
    IPicture* m_picture = nullptr;
};
