// Binding a program image into a copy of the engine, and reading it back.
//
// The image travels as the RT_RCDATA resource named "A6F2D1FB", scrambled,
// with its final zero byte inside the resource: the engine copies exactly
// the resource's bytes and reads them as one zero-terminated text.
#pragma once

#include <string>

namespace image {

extern const char* const ImageResourceName;  // "A6F2D1FB"

// In-memory forms: `engine` is the engine executable's bytes, `out` receives
// the bound executable. A missing final zero byte is added to the image.
// An existing image resource is replaced, all other resources are kept.
bool bindBytes(const std::string& engine, const std::string& imageBytes, std::string& out,
               std::string& err);
// Finds the image resource in an executable's bytes and unscrambles it.
bool extractImageBytes(const std::string& exe, std::string& imageBytes, std::string& err);

// Copies the engine executable and adds the scrambled image (with its final
// zero byte) as RT_RCDATA "A6F2D1FB".
bool bind(const std::string& engineExe, const std::string& imageBytes, const std::string& outExe,
          std::string& err);
// Reads the RT_RCDATA "A6F2D1FB" resource back out of a bound executable and
// unscrambles it.
bool extractImage(const std::string& exePath, std::string& imageBytes, std::string& err);

// Whole-file helpers shared with the command-line tool.
bool readFile(const std::string& path, std::string& bytes, std::string& err);
bool writeFile(const std::string& path, const std::string& bytes, std::string& err);

}  // namespace image
