// CPicture: loading through OleLoadPicture from memory, a file or a
// resource, and rendering into a drawing context.
#include "ui/graphics/picture.h"

#include <ole2.h>
#include <olectl.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_set>

namespace {

// The pictures that exist; the engine is single-threaded.
std::unordered_set<const void*>& livePictures()
{
    static std::unordered_set<const void*> set;
    return set;
}

}  // namespace

CPicture::CPicture()
{
    livePictures().insert(this);
}

CPicture::~CPicture()
{
    release();
    livePictures().erase(this);
}

bool CPicture::isLive(const void* object)
{
    return object && livePictures().count(object) != 0;
}

void CPicture::release()
{
    if (m_picture) m_picture->Release();
    m_picture = nullptr;
}

bool CPicture::loadMemory(const void* bytes, size_t size)
{
    release();
    if (!bytes || !size) return false;
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block) return false;
    void* p = ::GlobalLock(block);
    if (!p) {
        ::GlobalFree(block);
        return false;
    }
    std::memcpy(p, bytes, size);
    ::GlobalUnlock(block);
    // The stream frees the block when it is released.
    IStream* stream = nullptr;
    if (::CreateStreamOnHGlobal(block, TRUE, &stream) != S_OK) {
        ::GlobalFree(block);
        return false;
    }
    void* picture = nullptr;
    const HRESULT hr = ::OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture, &picture);
    stream->Release();
    if (hr != S_OK) {
        if (picture) static_cast<IPicture*>(picture)->Release();
        return false;
    }
    m_picture = static_cast<IPicture*>(picture);
    return m_picture != nullptr;
}

bool CPicture::loadResource(const char* name)
{
    release();
    HMODULE module = ::GetModuleHandleA(nullptr);
    HRSRC res = ::FindResourceA(module, name, "RTIMAGE");
    if (!res) return false;
    const DWORD size = ::SizeofResource(module, res);
    HGLOBAL loaded = size ? ::LoadResource(module, res) : nullptr;
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    return bytes && loadMemory(bytes, size);
}

bool CPicture::loadFile(const char* path)
{
    release();
    std::FILE* f = path ? std::fopen(path, "rb") : nullptr;
    if (!f) return false;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    std::unique_ptr<char[]> buffer;
    if (size > 0 && std::fseek(f, 0, SEEK_SET) == 0) buffer.reset(new (std::nothrow) char[size]);
    const bool read = buffer && std::fread(buffer.get(), 1, static_cast<size_t>(size), f) == static_cast<size_t>(size);
    std::fclose(f);
    return read && loadMemory(buffer.get(), static_cast<size_t>(size));
}

bool CPicture::himetricSize(long& width, long& height) const
{
    if (!m_picture) return false;
    OLE_XSIZE_HIMETRIC w = 0;
    OLE_YSIZE_HIMETRIC h = 0;
    if (m_picture->get_Width(&w) != S_OK || m_picture->get_Height(&h) != S_OK) return false;
    width = w;
    height = h;
    return true;
}

void CPicture::render(HDC dc, int x, int y, int width, int height) const
{
    long w = 0, h = 0;
    if (!himetricSize(w, h)) return;
    // HIMETRIC runs upward: the source starts at the bottom edge.
    m_picture->Render(dc, x, y, width, height, 0, h, w, -h, nullptr);
}

void CPicture::render(HDC dc, int x, int y) const
{
    long w = 0, h = 0;
    if (!himetricSize(w, h)) return;
    render(dc, x, y, ::MulDiv(w, ::GetDeviceCaps(dc, LOGPIXELSX), 2540),
           ::MulDiv(h, ::GetDeviceCaps(dc, LOGPIXELSY), 2540));
}
