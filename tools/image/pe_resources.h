// Reading and rewriting the resources of a PE executable, without Win32.
//
// The binder needs to add one data resource to a copy of the engine while
// keeping its icon, version and any other resources. Editing the existing
// resource section in place is rarely possible (it is seldom last), so the
// whole tree is read into a flat list, changed there, and written back as a
// complete new section: appended at the end of the file, or put in place of
// the old resource section when that one is already the last thing in the
// file (as after an earlier bind, so binding again does not grow the file).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace image::pe {

// A resource type or name: a 16-bit number or a UTF-16 string.
struct ResourceId {
    bool isName = false;
    uint16_t id = 0;
    std::u16string name;

    static ResourceId number(uint16_t n) { return {false, n, {}}; }
    static ResourceId text(const std::string& ascii);
    bool operator==(const ResourceId& o) const;  // exactly the same
    bool sameAs(const ResourceId& o) const;      // names without regard to ASCII case
};

struct Resource {
    ResourceId type;
    ResourceId name;
    uint16_t language = 0;
    uint32_t codePage = 0;
    std::string data;
};

constexpr uint16_t RtIcon = 3;
constexpr uint16_t RtRcData = 10;
constexpr uint16_t RtGroupIcon = 14;
constexpr uint16_t RtVersion = 16;

// Reads every resource of a PE file (type, name and language levels). A file
// without resources gives an empty list. False with a message when the file
// is not a PE image or its resource tree is damaged.
bool readResources(const std::string& file, std::vector<Resource>& out, std::string& err);

// Replaces the resource tree of a PE file with `resources`, writing a new
// resource section and updating the headers (section count, image size,
// resource directory, checksum). False with a message, leaving `file`
// unchanged, when the file is not a PE image or has no room for another
// section header.
bool writeResources(std::string& file, const std::vector<Resource>& resources, std::string& err);

// The first resource of the given type and name (names compared without
// regard to ASCII letter case, as the loader does), or nullptr.
const Resource* findResource(const std::vector<Resource>& resources, uint16_t type,
                             const std::string& name);

// Serialises a resource tree for a section that will be loaded at
// `sectionRva`: directory tables, name strings, data entries, then the data.
std::string buildResourceSection(const std::vector<Resource>& resources, uint32_t sectionRva);

}  // namespace image::pe
