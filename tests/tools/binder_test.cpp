// The binder on real executables: the resource probe built with the tools
// (a small Windows program with an icon and a version resource, like the
// engine) and the engine itself when it has been built. The headers of the
// result are checked here with a reader of their own, and, where Windows (or
// wine) is at hand, the loader is asked what it finds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "image/binder.h"
#include "image/pe_resources.h"
#include "image/scramble.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

namespace fs = std::filesystem;
namespace pe = image::pe;
using namespace std::string_literals;

std::string executableDir()
{
#ifdef _WIN32
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return fs::path(std::string(path, n)).parent_path().string();
#else
    return {};
#endif
}

std::string existing(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec) ? path : std::string();
}

std::string probePath()
{
#ifdef OSTRIN_TEST_PROBE
    if (std::string p = existing(OSTRIN_TEST_PROBE); !p.empty()) return p;
#endif
    return existing((fs::path(executableDir()) / "resource_probe.exe").string());
}

std::string enginePath()
{
    if (const char* env = std::getenv("OSTRIN_ENGINE")) return existing(env);
#ifdef OSTRIN_TEST_REPO
    return existing(OSTRIN_TEST_REPO "/build/ostrin.exe");
#else
    return existing((fs::path(executableDir()) / "ostrin.exe").string());
#endif
}

std::string readAll(const std::string& path)
{
    std::string bytes, err;
    EXPECT_TRUE(image::readFile(path, bytes, err)) << err;
    return bytes;
}

std::string scratchPath(const std::string& name)
{
    fs::path dir = fs::temp_directory_path() / "ostrin-binder-test";
    fs::create_directories(dir);
    return (dir / name).string();
}

// --- An independent reader of the headers the binder changes ---------------

uint32_t get32(const std::string& f, size_t o)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(f.at(o + i));
    return v;
}
uint16_t get16(const std::string& f, size_t o)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(f.at(o)) | static_cast<uint8_t>(f.at(o + 1)) << 8);
}

struct SectionView {
    std::string name;
    uint32_t virtualSize, virtualAddress, rawSize, rawPointer;
};

struct PeView {
    size_t opt = 0, tableOffset = 0;
    uint32_t sectionAlign = 0, fileAlign = 0, sizeOfImage = 0, sizeOfHeaders = 0, checksum = 0;
    uint32_t resourceRva = 0, resourceSize = 0;
    std::vector<SectionView> sections;
};

PeView view(const std::string& f)
{
    PeView v;
    size_t coff = get32(f, 0x3C) + 4;
    v.opt = coff + 20;
    v.sectionAlign = get32(f, v.opt + 32);
    v.fileAlign = get32(f, v.opt + 36);
    v.sizeOfImage = get32(f, v.opt + 56);
    v.sizeOfHeaders = get32(f, v.opt + 60);
    v.checksum = get32(f, v.opt + 64);
    v.resourceRva = get32(f, v.opt + 96 + 16);  // PE32: data directories at 96, resource is #2
    v.resourceSize = get32(f, v.opt + 96 + 20);
    v.tableOffset = v.opt + get16(f, coff + 16);
    for (uint16_t i = 0; i < get16(f, coff + 2); ++i) {
        size_t h = v.tableOffset + 40 * i;
        SectionView s;
        s.name = std::string(f.data() + h, strnlen(f.data() + h, 8));
        s.virtualSize = get32(f, h + 8);
        s.virtualAddress = get32(f, h + 12);
        s.rawSize = get32(f, h + 16);
        s.rawPointer = get32(f, h + 20);
        v.sections.push_back(s);
    }
    return v;
}

uint32_t checksumOf(const std::string& f, size_t field)
{
    uint64_t sum = 0;
    for (size_t i = 0; i + 1 < f.size() + 1; i += 2) {
        if (i == field || i == field + 2) continue;
        uint32_t w = static_cast<uint8_t>(f[i]) | (i + 1 < f.size() ? static_cast<uint8_t>(f[i + 1]) << 8 : 0);
        sum += w;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<uint32_t>(((sum & 0xFFFF) + (sum >> 16)) + f.size());
}

const SectionView* resourceSection(const PeView& v)
{
    for (const SectionView& s : v.sections)
        if (v.resourceRva == s.virtualAddress) return &s;
    return nullptr;
}

// The resource section is the last one, in memory and in the file.
bool resourcesAreLast(const std::string& f)
{
    PeView v = view(f);
    const SectionView* r = resourceSection(v);
    if (!r) return false;
    for (const SectionView& s : v.sections)
        if (s.virtualAddress > r->virtualAddress || s.rawPointer > r->rawPointer) return false;
    return r->rawPointer + r->rawSize >= f.size();
}

// What a loader relies on after a bind.
void expectSoundHeaders(const std::string& f, const std::string& what)
{
    SCOPED_TRACE(what);
    PeView v = view(f);
    const SectionView* r = resourceSection(v);
    ASSERT_NE(nullptr, r) << "resource directory must start a section";
    EXPECT_EQ(".rsrc", r->name);
    EXPECT_EQ(0u, r->virtualAddress % v.sectionAlign);
    EXPECT_EQ(0u, r->rawPointer % v.fileAlign);
    EXPECT_EQ(0u, r->rawSize % v.fileAlign);
    EXPECT_GE(r->rawSize, r->virtualSize);
    EXPECT_EQ(v.resourceSize, r->virtualSize);
    EXPECT_LE(r->rawPointer + r->rawSize, f.size());

    uint32_t end = 0;
    for (const SectionView& s : v.sections) {
        end = std::max(end, s.virtualAddress + std::max(s.virtualSize, s.rawSize));
        if (&s != r) {
            EXPECT_NE(".rsrc", s.name) << "only one section is called .rsrc";
        }
    }
    uint32_t alignedEnd = (end + v.sectionAlign - 1) / v.sectionAlign * v.sectionAlign;
    EXPECT_EQ(alignedEnd, v.sizeOfImage);
    EXPECT_LE(v.tableOffset + 40 * v.sections.size(), v.sizeOfHeaders);
    if (v.checksum) {
        EXPECT_EQ(checksumOf(f, v.opt + 64), v.checksum);
    }
}

std::vector<pe::Resource> resourcesOf(const std::string& f)
{
    std::vector<pe::Resource> list;
    std::string err;
    EXPECT_TRUE(pe::readResources(f, list, err)) << err;
    return list;
}

int countImages(const std::vector<pe::Resource>& list)
{
    return static_cast<int>(std::count_if(list.begin(), list.end(), [](const pe::Resource& r) {
        return !r.type.isName && r.type.id == pe::RtRcData && r.name == pe::ResourceId::text("A6F2D1FB");
    }));
}

// Runs the bound probe and returns what it printed; empty when it cannot be
// run here (no wine, or no prefix of the project's own).
std::string runProbe(const std::string& exe, std::string& skipped)
{
#ifdef _WIN32
    std::string command = "\"" + exe + "\"";
    FILE* p = _popen(command.c_str(), "rb");
#else
    if (!std::getenv("WINEPREFIX") || std::system("command -v wine >/dev/null 2>&1") != 0) {
        skipped = "wine or WINEPREFIX not available: the loader's view was not checked";
        return {};
    }
    std::string command = "WINEDEBUG=-all wine '" + exe + "' 2>/dev/null";
    FILE* p = popen(command.c_str(), "r");
#endif
    if (!p) {
        skipped = "cannot start " + exe;
        return {};
    }
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
#ifdef _WIN32
    _pclose(p);
#else
    pclose(p);
#endif
    return out;
}

#ifdef _WIN32
// Asks the Windows loader for the image resource of a file mapped as data.
std::string loaderImage(const std::string& exe, bool& hasIcon)
{
    HMODULE m = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!m) return "<cannot map>";
    hasIcon = FindResourceA(m, MAKEINTRESOURCEA(101), MAKEINTRESOURCEA(14)) != nullptr;
    std::string bytes = "<no image>";
    if (HRSRC r = FindResourceA(m, "A6F2D1FB", MAKEINTRESOURCEA(10))) {
        HGLOBAL g = LoadResource(m, r);
        bytes.assign(static_cast<const char*>(LockResource(g)), SizeofResource(m, r));
        image::unscramble(bytes);
    }
    FreeLibrary(m);
    return bytes;
}
#endif

struct Target {
    const char* what;
    std::string path;
};

std::vector<Target> targets()
{
    std::vector<Target> list;
    if (std::string p = probePath(); !p.empty()) list.push_back({"resource probe", p});
    if (std::string e = enginePath(); !e.empty()) list.push_back({"engine", e});
    return list;
}

TEST(Binder, BindsExtractsAndRebindsInPlace)
{
    std::vector<Target> list = targets();
    if (list.empty()) GTEST_SKIP() << "neither resource_probe.exe nor ostrin.exe has been built";

    const std::string first = "' first\r\n\xFF\xE0\xE0\"one\"\r\n"s + '\0';
    const std::string second = "\xFF\xE0\xE0\"two, and longer than the first one\"\r\n"s + '\0';
    for (const Target& t : list) {
        SCOPED_TRACE(t.what);
        const std::string original = readAll(t.path);
        const std::vector<pe::Resource> before = resourcesOf(original);
        ASSERT_TRUE(std::any_of(before.begin(), before.end(), [](const pe::Resource& r) {
            return !r.type.isName && r.type.id == pe::RtGroupIcon && !r.name.isName && r.name.id == 101;
        })) << "the executable carries group icon 101";

        std::string bound, err;
        ASSERT_TRUE(image::bindBytes(original, first, bound, err)) << err;
        expectSoundHeaders(bound, "first bind");
        std::string back;
        ASSERT_TRUE(image::extractImageBytes(bound, back, err)) << err;
        EXPECT_EQ(first, back);

        // Every resource the executable had is still there, byte for byte.
        const std::vector<pe::Resource> after = resourcesOf(bound);
        EXPECT_EQ(before.size() + 1, after.size());
        for (const pe::Resource& r : before) {
            bool kept = std::any_of(after.begin(), after.end(), [&r](const pe::Resource& a) {
                return a.type == r.type && a.name == r.name && a.language == r.language && a.data == r.data;
            });
            EXPECT_TRUE(kept) << "resource type " << r.type.id << " name " << r.name.id;
        }
        const pe::Resource* img = pe::findResource(after, pe::RtRcData, "A6F2D1FB");
        ASSERT_NE(nullptr, img);
        std::string scrambled = first;
        image::scramble(scrambled);
        EXPECT_EQ(scrambled, img->data) << "stored scrambled, final zero included";

        // Binding again replaces the image and reuses the section.
        std::string rebound;
        ASSERT_TRUE(image::bindBytes(bound, second, rebound, err)) << err;
        expectSoundHeaders(rebound, "second bind");
        ASSERT_TRUE(image::extractImageBytes(rebound, back, err)) << err;
        EXPECT_EQ(second, back);
        EXPECT_EQ(1, countImages(resourcesOf(rebound)));
        EXPECT_EQ(bound.size(), rebound.size()) << "the rebuilt section stays where it was";
        EXPECT_EQ(view(bound).sections.size(), view(rebound).sections.size());
    }
}

TEST(Binder, TheLoaderFindsTheImage)
{
    std::string probe = probePath();
    if (probe.empty()) GTEST_SKIP() << "resource_probe.exe has not been built";
    const std::string program = "open_console\r\nx = 1\n"s + '\0';
    std::string path = scratchPath("probe_bound.exe"), err;
    ASSERT_TRUE(image::bind(probe, program, path, err)) << err;

#ifdef _WIN32
    bool hasIcon = false;
    EXPECT_EQ(program, loaderImage(path, hasIcon));
    EXPECT_TRUE(hasIcon);
#endif
    std::string skipped;
    std::string out = runProbe(path, skipped);
    if (out.empty()) GTEST_SKIP() << skipped;
    EXPECT_EQ("icon=1 version=1 image="s + std::to_string(program.size()) + "\n" +
                  program.substr(0, program.size() - 1),
              out);
}

TEST(Binder, BindsIntoAnExecutableWithoutResources)
{
    std::string probe = probePath();
    if (probe.empty()) GTEST_SKIP() << "resource_probe.exe has not been built";
    std::string bare = readAll(probe);
    const PeView v = view(bare);
    std::fill_n(bare.begin() + v.opt + 96 + 16, 8, '\0');  // no resource directory
    ASSERT_TRUE(resourcesOf(bare).empty());

    const std::string program = "x = 1\r\n"s + '\0';
    std::string bound, back, err;
    ASSERT_TRUE(image::bindBytes(bare, program, bound, err)) << err;
    expectSoundHeaders(bound, "no resources before");
    EXPECT_EQ(1u, resourcesOf(bound).size());
    ASSERT_TRUE(image::extractImageBytes(bound, back, err)) << err;
    EXPECT_EQ(program, back);
}

TEST(Binder, AddsTheFinalZeroByte)
{
    std::string probe = probePath();
    if (probe.empty()) GTEST_SKIP() << "resource_probe.exe has not been built";
    for (const std::string& given : {"x = 1"s, ""s}) {
        std::string bound, back, err;
        ASSERT_TRUE(image::bindBytes(readAll(probe), given, bound, err)) << err;
        ASSERT_TRUE(image::extractImageBytes(bound, back, err)) << err;
        EXPECT_EQ(given + '\0', back);
    }
}

// Named entries first, by name code unit by code unit, then numbered ones by
// number: the loader finds named entries by bisection.
TEST(Binder, WritesDirectoriesInLoaderOrder)
{
    std::string probe = probePath();
    if (probe.empty()) GTEST_SKIP() << "resource_probe.exe has not been built";
    std::string file = readAll(probe), err;
    std::vector<pe::Resource> list = resourcesOf(file);
    auto add = [&list](pe::ResourceId type, pe::ResourceId name, uint16_t lang, std::string data) {
        list.push_back({std::move(type), std::move(name), lang, 0, std::move(data)});
    };
    // The loader upper-cases the names it is asked for, so names meant to
    // be found are stored in upper case; "apricot" must not hide "MID".
    add(pe::ResourceId::text("ZETA"), pe::ResourceId::text("B"), 0, "zb");
    add(pe::ResourceId::text("ALPHA"), pe::ResourceId::number(7), 1033, "a7en");
    add(pe::ResourceId::text("ALPHA"), pe::ResourceId::number(7), 0, "a7");
    add(pe::ResourceId::text("ALPHA"), pe::ResourceId::text("apricot"), 0, "apricot");
    add(pe::ResourceId::text("ALPHA"), pe::ResourceId::text("MID"), 0, "amid");
    add(pe::ResourceId::text("ALPHA"), pe::ResourceId::text("APPLE"), 0, "aapple");
    add(pe::ResourceId::number(2000), pe::ResourceId::number(1), 0, std::string(1001, 'x'));
    ASSERT_TRUE(pe::writeResources(file, list, err)) << err;
    expectSoundHeaders(file, "extra resources");

    std::vector<pe::Resource> read = resourcesOf(file);
    ASSERT_EQ(list.size(), read.size());
    for (size_t i = 1; i < read.size(); ++i) {
        const pe::Resource &a = read[i - 1], &b = read[i];
        auto key = [](const pe::ResourceId& id) { return std::make_tuple(!id.isName, id.name, id.id); };
        auto whole = [&key](const pe::Resource& r) { return std::make_tuple(key(r.type), key(r.name), r.language); };
        EXPECT_LT(whole(a), whole(b)) << "entries " << i - 1 << " and " << i << " out of order";
    }
    const pe::Resource* mid = pe::findResource(read, 0, "MID");
    EXPECT_EQ(nullptr, mid) << "findResource looks at numbered types only";

#ifdef _WIN32
    std::string path = scratchPath("probe_extra.exe");
    ASSERT_TRUE(image::writeFile(path, file, err)) << err;
    HMODULE m = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, m);
    for (const char* name : {"B", "MID", "APPLE"}) {
        const char* type = name[0] == 'B' ? "ZETA" : "ALPHA";
        EXPECT_NE(nullptr, FindResourceA(m, name, type)) << type << "/" << name;
    }
    EXPECT_NE(nullptr, FindResourceA(m, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(2000)));
    FreeLibrary(m);
#endif
}

struct Broken {
    const char* name;
    std::string file;
    const char* words;
};

TEST(Binder, RefusesWhatItCannotBind)
{
    std::string probe = probePath();
    if (probe.empty()) GTEST_SKIP() << "resource_probe.exe has not been built";
    const std::string good = readAll(probe);
    const PeView v = view(good);

    std::vector<Broken> cases = {
        {"empty file", "", "MZ"},
        {"text file", "console_print \"x\"\r\n", "MZ"},
        {"no PE signature", good.substr(0, 0x40) + std::string(0x200, '\0'), "PE signature"},
        {"cut in the section table", good.substr(0, v.tableOffset + 20), "truncated"},
    };
    std::string slackUsed = good;
    size_t slack = v.tableOffset + 40 * v.sections.size();
    std::fill_n(slackUsed.begin() + slack, 40, '\x55');
    if (!resourcesAreLast(good)) cases.push_back({"header space in use", slackUsed, "header space"});
    std::string noRoom = good;
    size_t firstSection = v.tableOffset;
    for (int i = 0; i < 4; ++i) noRoom[firstSection + 20 + i] = static_cast<char>((slack >> (8 * i)) & 0xFF);
    if (!resourcesAreLast(good)) cases.push_back({"no room for a section header", noRoom, "no room"});

    for (const Broken& c : cases) {
        std::string out = "untouched", err;
        EXPECT_FALSE(image::bindBytes(c.file, "x\0"s, out, err)) << c.name;
        EXPECT_NE(std::string::npos, err.find(c.words)) << c.name << ": " << err;
    }

    std::string err, imageBytes;
    EXPECT_FALSE(image::extractImageBytes(good, imageBytes, err));
    EXPECT_NE(std::string::npos, err.find("no program image")) << err;
    EXPECT_FALSE(image::extractImage(scratchPath("missing.exe"), imageBytes, err));
    EXPECT_NE(std::string::npos, err.find("missing.exe")) << err;
    EXPECT_FALSE(image::bind(scratchPath("missing.exe"), "x"s, scratchPath("never.exe"), err));
    EXPECT_FALSE(fs::exists(scratchPath("never.exe")));
}

}  // namespace
