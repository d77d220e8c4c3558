// Installs the test printer of a Wine prefix: a PostScript printer that
// exists only in the registry and whose port is a Unix file, so printing
// statements can be tested without paper.
//
//   setup_printer.exe PPD PORTFILE
//
// PPD is the printer description (a Windows path), PORTFILE the absolute
// Unix path every print job is written to (each job replaces the file).
// The printer becomes the default printer. Running it again changes only
// what differs; the exit code is 0 when the printer is ready.
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cstring>
#include <new>

namespace {

char driverName[] = "Ostrin PostScript File";
char printerName[] = "Ostrin File Printer";

bool addDriver(char* ppd)
{
    char engine[] = "wineps.drv";
    DRIVER_INFO_3A di = {};
    di.cVersion = 3;
    di.pName = driverName;
    di.pDriverPath = engine;
    di.pDataFile = ppd;
    di.pConfigFile = engine;
    if (AddPrinterDriverExA(nullptr, 3, reinterpret_cast<LPBYTE>(&di), APD_COPY_NEW_FILES | APD_COPY_FROM_DIRECTORY))
        return true;
    std::printf("setup_printer: AddPrinterDriverExA failed (%lu)\n", GetLastError());
    return false;
}

bool addPrinter(char* port)
{
    HANDLE existing = nullptr;
    if (OpenPrinterA(printerName, &existing, nullptr)) {
        // An earlier install may name another port file: point it at ours.
        DWORD size = 0;
        GetPrinterA(existing, 2, nullptr, 0, &size);
        bool ok = false;
        if (auto* buf = new (std::nothrow) BYTE[size ? size : 1]) {
            auto* pi = reinterpret_cast<PRINTER_INFO_2A*>(buf);
            if (GetPrinterA(existing, 2, buf, size, &size)) {
                ok = pi->pPortName && std::strcmp(pi->pPortName, port) == 0;
                if (!ok) {
                    pi->pPortName = port;
                    ok = SetPrinterA(existing, 2, buf, 0) != 0;
                }
            }
            delete[] buf;
        }
        ClosePrinter(existing);
        if (!ok) std::printf("setup_printer: cannot set the port of the existing printer (%lu)\n", GetLastError());
        return ok;
    }

    char processor[] = "WinPrint", datatype[] = "RAW";
    PRINTER_INFO_2A pi = {};
    pi.pPrinterName = printerName;
    pi.pPortName = port;
    pi.pDriverName = driverName;
    pi.pPrintProcessor = processor;
    pi.pDatatype = datatype;
    pi.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&pi));
    if (!printer) {
        std::printf("setup_printer: AddPrinterA failed (%lu)\n", GetLastError());
        return false;
    }
    ClosePrinter(printer);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: setup_printer.exe PPD PORTFILE\n");
        return 2;
    }
    if (!addDriver(argv[1]) || !addPrinter(argv[2])) return 1;
    if (!SetDefaultPrinterA(printerName)) {
        std::printf("setup_printer: SetDefaultPrinterA failed (%lu)\n", GetLastError());
        return 1;
    }
    return 0;
}
