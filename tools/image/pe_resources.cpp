// PE headers and the resource tree (type -> name -> language -> data).
// Every read is bounds-checked: the input may be any file a user names.
#include "pe_resources.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace image::pe {
namespace {

constexpr uint32_t NameIsString = 0x80000000u;  // directory entry name is a string offset
constexpr uint32_t DataIsDirectory = 0x80000000u;
constexpr uint32_t SectionFlags = 0x40000040u;  // initialised data, readable
constexpr int ResourceDirectory = 2;             // data directory indices
constexpr int SecurityDirectory = 4;
constexpr size_t SectionHeaderSize = 40;

uint16_t get16(const std::string& f, size_t o)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(f[o]) | static_cast<uint8_t>(f[o + 1]) << 8);
}
uint32_t get32(const std::string& f, size_t o)
{
    return static_cast<uint32_t>(get16(f, o)) | static_cast<uint32_t>(get16(f, o + 2)) << 16;
}
void put16(std::string& f, size_t o, uint16_t v)
{
    f[o] = static_cast<char>(v & 0xFF);
    f[o + 1] = static_cast<char>(v >> 8);
}
void put32(std::string& f, size_t o, uint32_t v)
{
    put16(f, o, static_cast<uint16_t>(v & 0xFFFF));
    put16(f, o + 2, static_cast<uint16_t>(v >> 16));
}
uint32_t alignUp(uint32_t v, uint32_t a) { return a ? (v + a - 1) / a * a : v; }

struct Section {
    size_t headerOffset = 0;
    char name[8] = {};
    uint32_t virtualSize = 0;
    uint32_t virtualAddress = 0;
    uint32_t rawSize = 0;
    uint32_t rawPointer = 0;

    uint32_t virtualEnd() const { return virtualAddress + std::max(virtualSize, rawSize); }
};

// The parts of the headers the binder reads or changes.
struct Layout {
    size_t coffOffset = 0;  // just after "PE\0\0"
    size_t optOffset = 0;
    uint16_t sizeOfOptionalHeader = 0;
    uint32_t sectionAlignment = 0;
    uint32_t fileAlignment = 0;
    uint32_t sizeOfHeaders = 0;
    size_t checksumOffset = 0;
    size_t dataDirOffset = 0;
    uint32_t dataDirCount = 0;
    size_t sectionTableOffset = 0;
    std::vector<Section> sections;

    const std::string* file = nullptr;

    uint32_t dirRva(int i) const;
    uint32_t dirSize(int i) const;
};

uint32_t Layout::dirRva(int i) const
{
    return static_cast<uint32_t>(i) < dataDirCount ? get32(*file, dataDirOffset + 8 * i) : 0;
}
uint32_t Layout::dirSize(int i) const
{
    return static_cast<uint32_t>(i) < dataDirCount ? get32(*file, dataDirOffset + 8 * i + 4) : 0;
}

bool parseLayout(const std::string& f, Layout& l, std::string& err)
{
    l.file = &f;
    if (f.size() < 0x40 || f[0] != 'M' || f[1] != 'Z') {
        err = "not a Windows executable (no MZ header)";
        return false;
    }
    uint32_t pe = get32(f, 0x3C);
    if (pe > f.size() || f.size() - pe < 24 || f.compare(pe, 4, std::string("PE\0\0", 4)) != 0) {
        err = "not a PE executable (no PE signature)";
        return false;
    }
    l.coffOffset = pe + 4;
    uint16_t sectionCount = get16(f, l.coffOffset + 2);
    l.sizeOfOptionalHeader = get16(f, l.coffOffset + 16);
    l.optOffset = l.coffOffset + 20;
    if (l.sizeOfOptionalHeader < 96 || f.size() - l.optOffset < l.sizeOfOptionalHeader) {
        err = "PE optional header missing or truncated";
        return false;
    }
    uint16_t magic = get16(f, l.optOffset);
    size_t dirCountField;
    if (magic == 0x10B) {
        dirCountField = 92;
    } else if (magic == 0x20B) {
        dirCountField = 108;
    } else {
        err = "unknown PE optional header kind";
        return false;
    }
    l.sectionAlignment = get32(f, l.optOffset + 32);
    l.fileAlignment = get32(f, l.optOffset + 36);
    l.sizeOfHeaders = get32(f, l.optOffset + 60);
    l.checksumOffset = l.optOffset + 64;
    if (dirCountField + 4 > l.sizeOfOptionalHeader) {
        err = "PE optional header too short for data directories";
        return false;
    }
    l.dataDirCount = get32(f, l.optOffset + dirCountField);
    l.dataDirOffset = l.optOffset + dirCountField + 4;
    uint32_t room = static_cast<uint32_t>((l.sizeOfOptionalHeader - dirCountField - 4) / 8);
    l.dataDirCount = std::min(l.dataDirCount, room);
    if (l.fileAlignment == 0 || l.sectionAlignment == 0) {
        err = "PE header has a zero alignment";
        return false;
    }

    l.sectionTableOffset = l.optOffset + l.sizeOfOptionalHeader;
    if (f.size() < l.sectionTableOffset + SectionHeaderSize * sectionCount) {
        err = "PE section table truncated";
        return false;
    }
    l.sections.clear();
    for (uint16_t i = 0; i < sectionCount; ++i) {
        Section s;
        s.headerOffset = l.sectionTableOffset + SectionHeaderSize * i;
        std::copy_n(f.data() + s.headerOffset, 8, s.name);
        s.virtualSize = get32(f, s.headerOffset + 8);
        s.virtualAddress = get32(f, s.headerOffset + 12);
        s.rawSize = get32(f, s.headerOffset + 16);
        s.rawPointer = get32(f, s.headerOffset + 20);
        l.sections.push_back(s);
    }
    return true;
}

// File offset of `size` bytes at `rva`, or false when they are not all in
// the file's data.
bool rvaToOffset(const Layout& l, uint32_t rva, uint32_t size, size_t& offset)
{
    for (const Section& s : l.sections) {
        if (rva < s.virtualAddress) continue;
        uint32_t into = rva - s.virtualAddress;
        if (into >= std::max(s.virtualSize, s.rawSize)) continue;
        if (into > s.rawSize || s.rawSize - into < size) return false;
        offset = static_cast<size_t>(s.rawPointer) + into;
        return offset <= l.file->size() && l.file->size() - offset >= size;
    }
    return false;
}

// Walks the three levels of the tree. Offsets inside the tree are relative
// to its start; the data entries hold RVAs.
class TreeReader {
public:
    TreeReader(const Layout& l, size_t base, size_t limit) : m_l(l), m_f(*l.file), m_base(base), m_limit(limit) {}

    bool read(std::vector<Resource>& out, std::string& err)
    {
        return directory(0, 0, Resource{}, out, err);
    }

private:
    bool inTree(uint32_t offset, uint32_t size) const
    {
        return offset <= m_limit && m_limit - offset >= size;
    }

    bool entryId(uint32_t nameField, ResourceId& id, std::string& err) const
    {
        if (!(nameField & NameIsString)) {
            id = ResourceId::number(static_cast<uint16_t>(nameField & 0xFFFF));
            return true;
        }
        uint32_t off = nameField & ~NameIsString;
        if (!inTree(off, 2)) return bad(err, "resource name outside the resource section");
        uint16_t length = get16(m_f, m_base + off);
        if (!inTree(off + 2, 2u * length)) return bad(err, "resource name runs past the resource section");
        id.isName = true;
        id.name.clear();
        for (uint16_t i = 0; i < length; ++i) id.name += static_cast<char16_t>(get16(m_f, m_base + off + 2 + 2 * i));
        return true;
    }

    bool directory(uint32_t offset, int level, Resource path, std::vector<Resource>& out, std::string& err)
    {
        if (!inTree(offset, 16)) return bad(err, "resource directory outside the resource section");
        size_t at = m_base + offset;
        uint32_t count = static_cast<uint32_t>(get16(m_f, at + 12)) + get16(m_f, at + 14);
        if (!inTree(offset + 16, 8 * count)) return bad(err, "resource directory entries run past the section");
        for (uint32_t i = 0; i < count; ++i) {
            size_t e = at + 16 + 8 * i;
            uint32_t nameField = get32(m_f, e), target = get32(m_f, e + 4);
            ResourceId id;
            if (!entryId(nameField, id, err)) return false;
            if (level == 0) path.type = id;
            else if (level == 1) path.name = id;
            else path.language = id.id;

            bool isDir = (target & DataIsDirectory) != 0;
            if (isDir != (level < 2)) return bad(err, "resource tree is not type/name/language");
            if (isDir) {
                if (!directory(target & ~DataIsDirectory, level + 1, path, out, err)) return false;
                continue;
            }
            if (!inTree(target, 16)) return bad(err, "resource data entry outside the resource section");
            uint32_t rva = get32(m_f, m_base + target), size = get32(m_f, m_base + target + 4);
            size_t dataOffset = 0;
            if (size && !rvaToOffset(m_l, rva, size, dataOffset))
                return bad(err, "resource data outside the file");
            Resource r = path;
            r.codePage = get32(m_f, m_base + target + 8);
            r.data.assign(m_f, size ? dataOffset : 0, size);
            out.push_back(std::move(r));
        }
        return true;
    }

    static bool bad(std::string& err, const char* message)
    {
        err = message;
        return false;
    }

    const Layout& m_l;
    const std::string& m_f;
    size_t m_base;
    uint32_t m_limit;
};

// Directory order: named entries first, then numbered entries by number.
// The loader finds a name by bisection, comparing the name it was asked for,
// upper-cased, with the stored names code unit by code unit; names are
// therefore sorted by code unit. (Resource compilers store names in upper
// case, where this is also the documented case-insensitive order; a stray
// lower-case name cannot be found either way, but must not hide the others.)
bool idLess(const ResourceId& a, const ResourceId& b)
{
    if (a.isName != b.isName) return a.isName;
    if (!a.isName) return a.id < b.id;
    return a.name < b.name;
}

char16_t upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

bool sameName(const std::u16string& a, const std::u16string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

struct IdOrder {
    bool operator()(const ResourceId& a, const ResourceId& b) const { return idLess(a, b); }
};

// Standard PE checksum: 16-bit one's-complement style sum of the file with
// the checksum field taken as zero, plus the file length.
uint32_t peChecksum(const std::string& f, size_t checksumOffset)
{
    uint64_t sum = 0;
    for (size_t i = 0; i < f.size(); i += 2) {
        if (i == checksumOffset || i == checksumOffset + 2) continue;
        uint32_t word = static_cast<uint8_t>(f[i]);
        if (i + 1 < f.size()) word |= static_cast<uint32_t>(static_cast<uint8_t>(f[i + 1])) << 8;
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + f.size());
}

}  // namespace

ResourceId ResourceId::text(const std::string& ascii)
{
    ResourceId id;
    id.isName = true;
    for (char c : ascii) id.name += static_cast<char16_t>(static_cast<unsigned char>(c));
    return id;
}

bool ResourceId::operator==(const ResourceId& o) const
{
    return !idLess(*this, o) && !idLess(o, *this);
}

bool ResourceId::sameAs(const ResourceId& o) const
{
    if (isName != o.isName) return false;
    return isName ? sameName(name, o.name) : id == o.id;
}

bool readResources(const std::string& file, std::vector<Resource>& out, std::string& err)
{
    out.clear();
    Layout l;
    if (!parseLayout(file, l, err)) return false;
    uint32_t rva = l.dirRva(ResourceDirectory);
    if (rva == 0) return true;

    // The tree may span the rest of its section, whatever the directory size says.
    for (const Section& s : l.sections) {
        if (rva < s.virtualAddress || rva - s.virtualAddress >= std::max(s.virtualSize, s.rawSize)) continue;
        uint32_t into = rva - s.virtualAddress;
        if (into >= s.rawSize) break;
        size_t base = static_cast<size_t>(s.rawPointer) + into;
        if (base > file.size()) break;
        size_t limit = std::min<size_t>(s.rawSize - into, file.size() - base);
        TreeReader reader(l, base, static_cast<uint32_t>(limit));
        return reader.read(out, err);
    }
    err = "resource directory points outside the file";
    return false;
}

const Resource* findResource(const std::vector<Resource>& resources, uint16_t type, const std::string& name)
{
    ResourceId wanted = ResourceId::text(name);
    for (const Resource& r : resources)
        if (!r.type.isName && r.type.id == type && r.name.sameAs(wanted)) return &r;
    return nullptr;
}

std::string buildResourceSection(const std::vector<Resource>& resources, uint32_t sectionRva)
{
    using Languages = std::map<uint16_t, const Resource*>;
    using Names = std::map<ResourceId, Languages, IdOrder>;
    std::map<ResourceId, Names, IdOrder> tree;
    for (const Resource& r : resources) tree[r.type][r.name][r.language] = &r;

    // Sizes first: directories, then strings, then data entries, then data.
    auto dirSize = [](size_t entries) { return static_cast<uint32_t>(16 + 8 * entries); };
    uint32_t dirBytes = dirSize(tree.size());
    size_t leaves = 0;
    for (auto& [type, names] : tree) {
        dirBytes += dirSize(names.size());
        for (auto& [name, langs] : names) {
            dirBytes += dirSize(langs.size());
            leaves += langs.size();
        }
    }
    uint32_t stringBytes = 0;
    auto countString = [&stringBytes](const ResourceId& id) {
        if (id.isName) stringBytes += static_cast<uint32_t>(2 + 2 * id.name.size());
    };
    for (auto& [type, names] : tree) {
        countString(type);
        for (auto& [name, langs] : names) countString(name);
    }
    const uint32_t stringsAt = dirBytes;
    const uint32_t entriesAt = alignUp(stringsAt + stringBytes, 8);
    const uint32_t dataAt = alignUp(entriesAt + static_cast<uint32_t>(16 * leaves), 8);
    // Duplicates (same type, name and language) keep the last one only.
    uint32_t total = dataAt;
    for (auto& [type, names] : tree)
        for (auto& [name, langs] : names)
            for (auto& [lang, r] : langs) total = alignUp(total + static_cast<uint32_t>(r->data.size()), 8);

    std::string out(total, '\0');
    uint32_t nextDir = 0, nextString = stringsAt, nextEntry = entriesAt, nextData = dataAt;

    auto writeDir = [&](size_t named, size_t numbered) {
        uint32_t at = nextDir;
        put16(out, at + 12, static_cast<uint16_t>(named));
        put16(out, at + 14, static_cast<uint16_t>(numbered));
        nextDir += dirSize(named + numbered);
        return at;
    };
    auto idField = [&](const ResourceId& id) -> uint32_t {
        if (!id.isName) return id.id;
        uint32_t at = nextString;
        put16(out, at, static_cast<uint16_t>(id.name.size()));
        for (size_t i = 0; i < id.name.size(); ++i) put16(out, at + 2 + 2 * static_cast<uint32_t>(i), id.name[i]);
        nextString += static_cast<uint32_t>(2 + 2 * id.name.size());
        return at | NameIsString;
    };
    auto countNamed = [](const auto& m) {
        size_t n = 0;
        for (auto& kv : m) n += kv.first.isName ? 1 : 0;
        return n;
    };

    // Breadth-first: the root, then every name directory, then every
    // language directory, so each table is written before its children.
    uint32_t root = writeDir(countNamed(tree), tree.size() - countNamed(tree));
    std::vector<uint32_t> nameDirs;
    size_t i = 0;
    for (auto& [type, names] : tree) {
        uint32_t dir = writeDir(countNamed(names), names.size() - countNamed(names));
        put32(out, root + 16 + 8 * static_cast<uint32_t>(i), idField(type));
        put32(out, root + 20 + 8 * static_cast<uint32_t>(i), dir | DataIsDirectory);
        nameDirs.push_back(dir);
        ++i;
    }
    i = 0;
    for (auto& [type, names] : tree) {
        uint32_t nameDir = nameDirs[i++];
        uint32_t j = 0;
        for (auto& [name, langs] : names) {
            uint32_t langDir = writeDir(0, langs.size());
            put32(out, nameDir + 16 + 8 * j, idField(name));
            put32(out, nameDir + 20 + 8 * j, langDir | DataIsDirectory);
            ++j;
            uint32_t k = 0;
            for (auto& [lang, r] : langs) {
                put32(out, langDir + 16 + 8 * k, lang);
                put32(out, langDir + 20 + 8 * k, nextEntry);
                ++k;
                put32(out, nextEntry, sectionRva + nextData);
                put32(out, nextEntry + 4, static_cast<uint32_t>(r->data.size()));
                put32(out, nextEntry + 8, r->codePage);
                nextEntry += 16;
                std::copy(r->data.begin(), r->data.end(), out.begin() + nextData);
                nextData = alignUp(nextData + static_cast<uint32_t>(r->data.size()), 8);
            }
        }
    }
    return out;
}

bool writeResources(std::string& file, const std::vector<Resource>& resources, std::string& err)
{
    Layout l;
    if (!parseLayout(file, l, err)) return false;
    if (l.dataDirCount <= ResourceDirectory) {
        err = "PE header has no resource directory slot";
        return false;
    }

    // The old resource section can be rebuilt in place when nothing follows
    // it, in memory or in the file, and nothing else lives in it.
    const Section* last = nullptr;
    for (const Section& s : l.sections)
        if (!last || s.virtualAddress > last->virtualAddress) last = &s;
    const uint32_t oldRva = l.dirRva(ResourceDirectory);
    bool replace = false;
    if (last && oldRva == last->virtualAddress && last->rawPointer != 0 &&
        static_cast<size_t>(last->rawPointer) + last->rawSize >= file.size()) {
        replace = true;
        for (const Section& s : l.sections)
            if (&s != last && s.rawPointer + s.rawSize > last->rawPointer && s.rawSize) replace = false;
        for (uint32_t d = 0; d < l.dataDirCount; ++d) {
            if (d == static_cast<uint32_t>(ResourceDirectory) || d == static_cast<uint32_t>(SecurityDirectory)) continue;
            uint32_t rva = l.dirRva(static_cast<int>(d));
            if (rva >= last->virtualAddress && rva < last->virtualEnd() && l.dirSize(static_cast<int>(d))) replace = false;
        }
    }

    std::string out = file;
    Section target;
    if (replace) {
        target = *last;
        out.resize(target.rawPointer);
    } else {
        // A new section header must fit in front of the first section's data.
        size_t headerEnd = l.sectionTableOffset + SectionHeaderSize * (l.sections.size() + 1);
        uint32_t firstData = static_cast<uint32_t>(file.size());
        uint32_t firstRva = UINT32_MAX;
        for (const Section& s : l.sections) {
            if (s.rawSize && s.rawPointer) firstData = std::min(firstData, s.rawPointer);
            firstRva = std::min(firstRva, s.virtualAddress);
        }
        if (headerEnd > firstData || headerEnd > firstRva) {
            err = "no room for another section header in the executable";
            return false;
        }
        for (size_t o = headerEnd - SectionHeaderSize; o < headerEnd; ++o)
            if (out[o] != 0) {
                err = "no free room after the section table (header space in use)";
                return false;
            }
        if (headerEnd > l.sizeOfHeaders)
            put32(out, l.optOffset + 60, std::min(alignUp(static_cast<uint32_t>(headerEnd), l.fileAlignment), firstData));

        target.headerOffset = headerEnd - SectionHeaderSize;
        uint32_t end = 0;
        for (const Section& s : l.sections) end = std::max(end, s.virtualEnd());
        target.virtualAddress = alignUp(end, l.sectionAlignment);
        target.rawPointer = alignUp(static_cast<uint32_t>(out.size()), l.fileAlignment);
        out.resize(target.rawPointer, '\0');
        put16(out, l.coffOffset + 2, static_cast<uint16_t>(l.sections.size() + 1));

        // Tools that look for resources by section name should find the new one.
        for (const Section& s : l.sections)
            if (std::string(s.name, strnlen(s.name, 8)) == ".rsrc")
                std::copy_n(".oldrsrc", 8, out.begin() + s.headerOffset);
    }

    std::string section = buildResourceSection(resources, target.virtualAddress);
    const uint32_t size = static_cast<uint32_t>(section.size());
    section.resize(alignUp(size, l.fileAlignment), '\0');
    out += section;

    const size_t h = target.headerOffset;
    std::fill(out.begin() + h, out.begin() + h + SectionHeaderSize, '\0');
    std::copy_n(".rsrc\0\0\0", 8, out.begin() + h);
    put32(out, h + 8, size);
    put32(out, h + 12, target.virtualAddress);
    put32(out, h + 16, static_cast<uint32_t>(section.size()));
    put32(out, h + 20, target.rawPointer);
    put32(out, h + 36, SectionFlags);

    uint32_t imageEnd = alignUp(target.virtualAddress + size, l.sectionAlignment);
    for (const Section& s : l.sections)
        if (!(replace && s.headerOffset == target.headerOffset))
            imageEnd = std::max(imageEnd, alignUp(s.virtualEnd(), l.sectionAlignment));
    put32(out, l.optOffset + 56, imageEnd);
    put32(out, l.dataDirOffset + 8 * ResourceDirectory, target.virtualAddress);
    put32(out, l.dataDirOffset + 8 * ResourceDirectory + 4, size);

    // A signature cannot survive the change; drop it rather than leave a
    // certificate table that no longer matches the file.
    if (l.dataDirCount > static_cast<uint32_t>(SecurityDirectory)) {
        put32(out, l.dataDirOffset + 8 * SecurityDirectory, 0);
        put32(out, l.dataDirOffset + 8 * SecurityDirectory + 4, 0);
    }
    if (get32(file, l.checksumOffset) != 0) put32(out, l.checksumOffset, peChecksum(out, l.checksumOffset));

    file = std::move(out);
    return true;
}

}  // namespace image::pe
