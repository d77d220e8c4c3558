// The binder: resource list in, resource list out, with the image scrambled.
#include "binder.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "pe_resources.h"
#include "scramble.h"

namespace image {

const char* const ImageResourceName = "A6F2D1FB";

bool bindBytes(const std::string& engine, const std::string& imageBytes, std::string& out,
               std::string& err)
{
    std::vector<pe::Resource> resources;
    if (!pe::readResources(engine, resources, err)) return false;

    const pe::ResourceId name = pe::ResourceId::text(ImageResourceName);
    std::erase_if(resources, [&name](const pe::Resource& r) {
        return !r.type.isName && r.type.id == pe::RtRcData && r.name.sameAs(name);
    });

    pe::Resource res;
    res.type = pe::ResourceId::number(pe::RtRcData);
    res.name = name;
    res.language = 0;  // neutral: the first language the loader tries
    res.data = imageBytes;
    if (res.data.empty() || res.data.back() != '\0') res.data += '\0';
    scramble(res.data);
    resources.push_back(std::move(res));

    out = engine;
    return pe::writeResources(out, resources, err);
}

bool extractImageBytes(const std::string& exe, std::string& imageBytes, std::string& err)
{
    std::vector<pe::Resource> resources;
    if (!pe::readResources(exe, resources, err)) return false;
    const pe::Resource* r = pe::findResource(resources, pe::RtRcData, ImageResourceName);
    if (!r) {
        err = std::string("no program image (RT_RCDATA \"") + ImageResourceName + "\") in the executable";
        return false;
    }
    imageBytes = r->data;
    unscramble(imageBytes);
    return true;
}

bool readFile(const std::string& path, std::string& bytes, std::string& err)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        err = "cannot open " + path;
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        err = "cannot read " + path;
        return false;
    }
    return true;
}

bool writeFile(const std::string& path, const std::string& bytes, std::string& err)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) || !out.flush()) {
        err = "cannot write " + path;
        return false;
    }
    return true;
}

bool bind(const std::string& engineExe, const std::string& imageBytes, const std::string& outExe,
          std::string& err)
{
    std::string engine, bound;
    if (!readFile(engineExe, engine, err)) return false;
    if (!bindBytes(engine, imageBytes, bound, err)) {
        err = engineExe + ": " + err;
        return false;
    }
    if (!writeFile(outExe, bound, err)) return false;

    // Keep the engine's permission bits (on Linux: executable for binfmt/wine).
    std::error_code ec;
    auto perms = std::filesystem::status(engineExe, ec).permissions();
    if (!ec) std::filesystem::permissions(outExe, perms, ec);
    return true;
}

bool extractImage(const std::string& exePath, std::string& imageBytes, std::string& err)
{
    std::string exe;
    if (!readFile(exePath, exe, err)) return false;
    if (!extractImageBytes(exe, imageBytes, err)) {
        err = exePath + ": " + err;
        return false;
    }
    return true;
}

}  // namespace image
