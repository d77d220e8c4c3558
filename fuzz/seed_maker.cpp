// Writes the seed inputs of the fuzz targets from program sources in the
// readable notation: each program's image for the image target, each of its
// statement lines for the statement target (opcode byte, then the argument
// text), and the argument texts for the expression and variable targets.
//   seed_maker OUTDIR FILE.bas...
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "image/assembler.h"

namespace {

int counter = 0;

void put(const std::string& dir, const std::string& name, const std::string& bytes)
{
    const std::string path = dir + "/" + name + "-" + std::to_string(counter++);
    std::ofstream(path, std::ios::binary) << bytes;
}

// The argument texts of a line, split at top-level commas.
std::vector<std::string> arguments(const std::string& text)
{
    std::vector<std::string> out;
    std::string cur;
    int depth = 0;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') quoted = !quoted;
        if (!quoted && (c == '(' || c == '[')) ++depth;
        if (!quoted && (c == ')' || c == ']')) --depth;
        if (c == ',' && !quoted && depth == 0) {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(cur);
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: seed_maker OUTDIR FILE.bas...\n");
        return 2;
    }
    const std::string root = argv[1];
    for (int a = 2; a < argc; ++a) {
        std::ifstream in(argv[a], std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        std::string image;
        image::AsmError err;
        if (!image::assemble(text.str(), image, err)) continue;
        std::string base = argv[a];
        base = base.substr(base.find_last_of('/') + 1);
        put(root + "/image", base, image.substr(0, image.size() - 1));

        std::istringstream lines(image.substr(0, image.size() - 1));
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty() || line[0] == '\'') continue;
            std::string args;
            if (static_cast<unsigned char>(line[0]) == 0xFF && line.size() >= 3) {
                const int op = (static_cast<unsigned char>(line[1]) - 0xE0) * 16 +
                               (static_cast<unsigned char>(line[2]) - 0xE0);
                args = line.substr(3);
                put(root + "/statement", base, std::string(1, static_cast<char>(op & 0xFF)) + args);
            } else {
                put(root + "/statement", base, std::string(1, '\xFF') + line);
                const size_t eq = line.find('=');
                if (eq == std::string::npos) continue;
                put(root + "/variable", base, std::string(1, '\0') + line.substr(0, eq));
                args = line.substr(eq + 1);
            }
            for (const std::string& arg : arguments(args)) {
                if (arg.find_first_not_of(' ') == std::string::npos) continue;
                put(root + "/expression", base, arg);
                put(root + "/variable", base, std::string(1, '\1') + arg);
            }
        }
    }
    return 0;
}
