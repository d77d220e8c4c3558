// The image statements: loading bitmaps, icons, cursors, enhanced
// metafiles and pictures from files or the program's resources, drawing
// them into windows, asking a bitmap's size, freeing them, and a window's
// cursor and icon.
//
// An image is a plain handle in the program's hands; the program names its
// kind whenever it draws or frees it. Images belong to the program until it
// frees them: no window or statement keeps one. Pictures are the address
// of a CPicture, checked against the live ones before they are followed.
#include <windows.h>

#include <cstring>
#include <new>

#include "interp/ostrin.h"
#include "ui/graphics/drawing_scope.h"
#include "ui/graphics/picture.h"
#include "ui/printing/bitmap_printer.h"
#include "ui/windows/ostrin_wnd.h"
#include "ui/windows/window_args.h"

namespace {

enum ImageType : int32_t { Bitmap = 0, Icon = 1, Cursor = 2, Metafile = 3, Picture = 4 };

// Bits of the type argument of "load image" that are not the type.
constexpr int32_t LoadMap3dColours = 0x1000;
constexpr int32_t LoadSystemImage = 0x100;

// Longest file or resource name a load accepts; a longer one would name
// some other file once cut, so it fails the load instead.
constexpr size_t MaxSourceName = 1024;

template <typename T>
T handleOf(int32_t value)
{
    return reinterpret_cast<T>(static_cast<uintptr_t>(static_cast<uint32_t>(value)));
}

int32_t valueOf(const void* handle)
{
    return static_cast<int32_t>(reinterpret_cast<uintptr_t>(handle));
}

CPicture* livePicture(int32_t value)
{
    auto* picture = handleOf<CPicture*>(value);
    return CPicture::isLive(picture) ? picture : nullptr;
}

bool isBitmap(HGDIOBJ object)
{
    return object && ::GetObjectType(object) == OBJ_BITMAP;
}

// Where "load image" finds its image: a resource number or name in the
// program's module, or a file.
struct ImageSource {
    char name[MaxSourceName] = {};
    const char* id = nullptr;   // the name, or a MAKEINTRESOURCE number
    bool isFile = false;
    bool isNumber = false;
    bool tooLong = false;
};

void readSource(const ArgValue& v, ImageSource& src)
{
    if (v.type != TypeString || !v.text) {
        src.isNumber = true;
        src.id = MAKEINTRESOURCEA(static_cast<WORD>(v.intValue));
        return;
    }
    const size_t length = std::strlen(v.text);
    if (length >= sizeof src.name) {
        src.tooLong = true;
        return;
    }
    std::memcpy(src.name, v.text, length + 1);
    src.id = src.name;
    src.isFile = std::strchr(src.name, '.') != nullptr;
}

// A new CPicture with the image loaded, or null.
CPicture* loadPicture(const ImageSource& src)
{
    auto* picture = new (std::nothrow) CPicture;
    if (!picture) return nullptr;
    const bool loaded = src.isFile ? picture->loadFile(src.name) : picture->loadResource(src.id);
    if (loaded) return picture;
    delete picture;
    return nullptr;
}

// Bitmaps, icons and cursors through LoadImageA; null when it fails.
HANDLE loadImageHandle(const ImageSource& src, int32_t type, bool system, bool map3d)
{
    HINSTANCE module = system || src.isFile ? nullptr : ::GetModuleHandleA(nullptr);
    UINT flags = 0;
    if (src.isFile) flags |= LR_LOADFROMFILE;
    if (map3d) flags |= LR_LOADMAP3DCOLORS;
    if (type == Bitmap) flags |= LR_CREATEDIBSECTION;
    if (system && src.isNumber && (type == Icon || type == Cursor)) flags |= LR_SHARED | LR_DEFAULTSIZE;
    return ::LoadImageA(module, src.id, static_cast<UINT>(type), 0, 0, flags);
}

// Copies width by height pixels from the bitmap's origin to (x, y).
void drawBitmap(HDC dc, HBITMAP bitmap, int x, int y, int width, int height, DWORD rop)
{
    if (!isBitmap(bitmap)) return;
    CMemDC source(dc);
    if (!source) return;
    CSelectObject select(source, bitmap);
    ::BitBlt(dc, x, y, width, height, source, 0, 0, rop);
}

// On a printer page the bitmap is stretched into the rectangle at the
// printer's resolution (always a plain copy).
void printBitmap(HDC dc, HBITMAP bitmap, int x, int y, int width, int height)
{
    GBitmapPrinter printer;
    printer.setBitmap(bitmap, nullptr);
    printer.setTargetRect(RECT{x, y, x + width, y + height});
    printer.printPage(dc);
}

}  // namespace

Statement* Ostrin::loadImage(Statement* st)
{
    if (st->argCount != 2) return fail(ErrArgCount);
    ArgValue sourceArg;
    if (!evalArg(st, 0, KindAny, sourceArg)) return nullptr;
    // Copied now: the type's evaluation may reuse the text's buffer.
    ImageSource src;
    readSource(sourceArg, src);
    int32_t type = 0;
    if (!intArg(*this, st, 1, type)) return nullptr;

    const bool map3d = (type & LoadMap3dColours) != 0;
    type &= ~LoadMap3dColours;
    const bool system = (type & LoadSystemImage) != 0;
    if (system) type &= 0xF;
    if (type > Picture) return fail(ErrRange);
    if (src.tooLong) return setIntResult(st, 0);

    switch (type) {
    case Metafile:
        // Always a file; a number names none.
        return setIntResult(st, src.isNumber ? 0 : valueOf(::GetEnhMetaFileA(src.name)));
    case Picture:
        return setIntResult(st, valueOf(loadPicture(src)));
    default:
        return setIntResult(st, valueOf(loadImageHandle(src, type, system, map3d)));
    }
}

// Draws an image of the given type at (x, y). The window's context is
// taken before the other arguments are read and given back with redraw
// on every path, errors included.
Statement* Ostrin::drawImage(Statement* st)
{
    if (st->argCount < 5 || st->argCount > 8) return fail(ErrArgCount);
    COstrinWnd* w = drawingWindowArg(*this, st, 0);
    if (!w) return nullptr;
    DrawingScope drawing(w, true);
    int32_t v[7] = {};
    const int numbers = st->argCount - 1;
    for (int i = 0; i < numbers; ++i)
        if (!intArg(*this, st, i + 1, v[i])) return nullptr;
    const int32_t handle = v[0], type = v[1], x = v[2], y = v[3], width = v[4], height = v[5];
    HDC dc = drawing.dc();

    switch (type) {
    case Icon:
        // Icons draw at their own size.
        if (dc) ::DrawIcon(dc, x, y, handleOf<HICON>(handle));
        return st;
    case Metafile: {
        if (st->argCount != 7) return fail(ErrMalformed);
        const RECT r = {x, y, x + width, y + height};
        if (dc) ::PlayEnhMetaFile(dc, handleOf<HENHMETAFILE>(handle), &r);
        return st;
    }
    case Picture: {
        if (st->argCount != 5 && st->argCount != 7) return fail(ErrMalformed);
        CPicture* picture = livePicture(handle);
        if (!dc || !picture) return st;
        if (st->argCount == 5) picture->render(dc, x, y);
        else picture->render(dc, x, y, width, height);
        return st;
    }
    case Bitmap: {
        if (st->argCount < 7) return fail(ErrMalformed);
        const DWORD rop = st->argCount == 8 ? static_cast<DWORD>(v[6]) : SRCCOPY;
        if (!dc) return st;
        if (dc == w->printDC) printBitmap(dc, handleOf<HBITMAP>(handle), x, y, width, height);
        else drawBitmap(dc, handleOf<HBITMAP>(handle), x, y, width, height, rop);
        return st;
    }
    default:
        return fail(ErrRange);
    }
}

Statement* Ostrin::freeImage(Statement* st)
{
    if (st->argCount != 2) return fail(ErrArgCount);
    int32_t handle = 0, type = 0;
    if (!intArg(*this, st, 0, handle) || !intArg(*this, st, 1, type)) return nullptr;
    if (!handle) return st;
    if (type > Picture) return fail(ErrRange);
    switch (type) {
    case Bitmap:
        // Only bitmaps: a type-0 free of some other object (a pen the
        // window still uses) must not delete it under the window.
        if (isBitmap(handleOf<HBITMAP>(handle))) ::DeleteObject(handleOf<HBITMAP>(handle));
        break;
    case Icon:
        ::DestroyIcon(handleOf<HICON>(handle));
        break;
    case Cursor:
        ::DestroyCursor(handleOf<HCURSOR>(handle));
        break;
    case Metafile:
        ::DeleteEnhMetaFile(handleOf<HENHMETAFILE>(handle));
        break;
    case Picture:
        delete livePicture(handle);
        break;
    default:
        break;   // a negative type frees nothing
    }
    return st;
}

Statement* Ostrin::getImageSize(Statement* st)
{
    if (st->argCount != 3) return fail(ErrArgCount);
    int32_t handle = 0;
    if (!intArg(*this, st, 0, handle)) return nullptr;
    if (!handle) return fail(ErrImageZero);
    BITMAP bm = {};
    HBITMAP bitmap = handleOf<HBITMAP>(handle);
    if (!isBitmap(bitmap) || ::GetObjectA(bitmap, sizeof bm, &bm) != sizeof bm) return fail(ErrNotBitmap);
    if (!storeIntArg(*this, st, 1, bm.bmWidth) || !storeIntArg(*this, st, 2, bm.bmHeight)) return nullptr;
    return st;
}

// Kind 0 the hourglass, 1 the arrow, 2 a cursor of the program's. A
// program window keeps it for its client area; a dialog only shows it.
Statement* Ostrin::setCursor(Statement* st)
{
    if (st->argCount != 2 && st->argCount != 3) return fail(ErrArgCount);
    CWnd* wnd = windowArg(*this, st, 0, KindWinOrDlg);
    int32_t kind = 0, handle = 0;
    if (!wnd || !intArg(*this, st, 1, kind)) return nullptr;
    HCURSOR cursor = nullptr;
    switch (kind) {
    case 0:
        cursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32514));   // IDC_WAIT
        break;
    case 1:
        cursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));   // IDC_ARROW
        break;
    case 2:
        if (!intArg(*this, st, 2, handle)) return nullptr;
        cursor = handleOf<HCURSOR>(handle);
        break;
    default:
        return fail(ErrRange);
    }
    if (wnd->IsKindOf(&COstrinWnd::classCOstrinWnd)) static_cast<COstrinWnd*>(wnd)->cursor = cursor;
    ::SetCursor(cursor);
    return st;
}

Statement* Ostrin::setWindowIcon(Statement* st)
{
    if (st->argCount != 2) return fail(ErrArgCount);
    CWnd* wnd = windowArg(*this, st, 0, KindWinOrDlg);
    int32_t icon = 0;
    if (!wnd || !intArg(*this, st, 1, icon)) return nullptr;
    if (wnd->GetSafeHwnd()) wnd->SendMessage(WM_SETICON, ICON_BIG, static_cast<LPARAM>(icon));
    return st;
}
