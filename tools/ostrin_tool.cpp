// ostrin-tool: assembles, disassembles, binds, extracts and runs program
// images from the command line. Runs on Linux (binding needs no Windows)
// and on Windows; `run` starts the bound executable under wine on Linux.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "image/image.h"
#include "image/pe_resources.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

const char* const usageText =
    "usage:\n"
    "  ostrin-tool asm [--lf] IN.bas -o OUT.img     assemble readable text into an image\n"
    "  ostrin-tool disasm [--lf] IN.img|IN.exe [-o OUT.bas]\n"
    "                                               image or bound executable -> text\n"
    "  ostrin-tool bind [--engine ENGINE] [--lf] IN.bas|IN.img -o OUT.exe\n"
    "                                               bind a program into a copy of the engine\n"
    "  ostrin-tool run [--engine ENGINE] [--lf] IN.bas|IN.img [-- ARGS...]\n"
    "                                               bind to a temporary executable and run it\n"
    "                                               (under wine on Linux, with the current WINEPREFIX)\n"
    "  ostrin-tool extract IN.exe -o OUT.img        read the image back out of a bound executable\n"
    "  ostrin-tool names                            list statement and constant names\n"
    "\n"
    "--lf      image lines end in LF instead of CR LF (disasm: write the text for asm --lf)\n"
    "--engine  the engine executable; default: $OSTRIN_ENGINE, else ostrin.exe next to\n"
    "          this tool or in its parent directory\n"
    "An input that ends with a zero byte is taken as an image, anything else as text.\n";

int usage(const char* problem = nullptr)
{
    if (problem) fprintf(stderr, "ostrin-tool: %s\n\n", problem);
    fputs(usageText, stderr);
    return 2;
}

int failure(const std::string& message)
{
    fprintf(stderr, "ostrin-tool: %s\n", message.c_str());
    return 1;
}

struct Args {
    std::string command;
    std::string input;
    std::string output;
    std::string engine;
    bool bareLf = false;
    std::vector<std::string> passThrough;  // after "--", for run
};

bool parseArgs(int argc, char** argv, Args& a, std::string& problem)
{
    if (argc < 2) {
        problem = "no command given";
        return false;
    }
    a.command = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--") {
            for (++i; i < argc; ++i) a.passThrough.push_back(argv[i]);
            break;
        }
        if (arg == "--lf") {
            a.bareLf = true;
        } else if (arg == "-o" || arg == "--engine") {
            if (i + 1 >= argc) {
                problem = arg + " needs a value";
                return false;
            }
            (arg == "-o" ? a.output : a.engine) = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            problem = "unknown option " + arg;
            return false;
        } else if (a.input.empty()) {
            a.input = arg;
        } else {
            problem = "more than one input file: " + a.input + ", " + arg;
            return false;
        }
    }
    return true;
}

// Reads IN as an image: an image file is taken as it is, a bound executable
// gives its image, and text is assembled. Prints file:line:col on errors.
bool loadImage(const std::string& path, bool bareLf, bool allowExe, std::string& imageBytes)
{
    std::string bytes, err;
    if (!image::readFile(path, bytes, err)) {
        failure(err);
        return false;
    }
    if (allowExe && bytes.size() >= 2 && bytes[0] == 'M' && bytes[1] == 'Z') {
        if (!image::extractImageBytes(bytes, imageBytes, err)) {
            failure(path + ": " + err);
            return false;
        }
        return true;
    }
    if (!bytes.empty() && bytes.back() == '\0') {
        imageBytes = std::move(bytes);
        return true;
    }
    image::AsmError asmErr;
    image::AsmOptions opt;
    opt.bareLf = bareLf;
    if (!image::assemble(bytes, imageBytes, asmErr, opt)) {
        fprintf(stderr, "%s:%d:%d: %s\n", path.c_str(), asmErr.line, asmErr.column, asmErr.message.c_str());
        return false;
    }
    return true;
}

std::string findEngine(const std::string& given, const char* argv0)
{
    if (!given.empty()) return given;
    if (const char* env = std::getenv("OSTRIN_ENGINE"); env && *env) return env;
    std::error_code ec;
    fs::path self;
#ifndef _WIN32
    self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) self.clear();
#endif
    if (self.empty()) self = fs::absolute(argv0, ec);
    for (fs::path dir : {self.parent_path(), self.parent_path().parent_path()}) {
        fs::path candidate = dir / "ostrin.exe";
        if (fs::exists(candidate, ec)) return candidate.string();
    }
    return {};
}

int runExecutable(const std::string& exe, const std::vector<std::string>& args)
{
    std::vector<std::string> words;
#ifndef _WIN32
    words.push_back("wine");
#endif
    words.push_back(exe);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argvOut;
    for (std::string& w : words) argvOut.push_back(w.data());
    argvOut.push_back(nullptr);
    fflush(nullptr);
#ifdef _WIN32
    intptr_t rc = _spawnv(_P_WAIT, exe.c_str(), argvOut.data());
    if (rc == -1) return failure("cannot start " + exe + ": " + strerror(errno));
    return static_cast<int>(rc);
#else
    pid_t pid = fork();
    if (pid < 0) return failure(std::string("fork failed: ") + strerror(errno));
    if (pid == 0) {
        execvp(argvOut[0], argvOut.data());
        fprintf(stderr, "ostrin-tool: cannot start wine: %s\n", strerror(errno));
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return failure(std::string("waitpid failed: ") + strerror(errno));
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
#endif
}

int commandAsm(const Args& a)
{
    if (a.input.empty() || a.output.empty()) return usage("asm needs IN and -o OUT");
    std::string source, imageBytes, err;
    if (!image::readFile(a.input, source, err)) return failure(err);
    image::AsmError asmErr;
    image::AsmOptions opt;
    opt.bareLf = a.bareLf;
    if (!image::assemble(source, imageBytes, asmErr, opt)) {
        fprintf(stderr, "%s:%d:%d: %s\n", a.input.c_str(), asmErr.line, asmErr.column, asmErr.message.c_str());
        return 1;
    }
    if (!image::writeFile(a.output, imageBytes, err)) return failure(err);
    return 0;
}

int commandDisasm(const Args& a)
{
    if (a.input.empty()) return usage("disasm needs IN");
    std::string bytes, imageBytes, err;
    if (!image::readFile(a.input, bytes, err)) return failure(err);
    if (bytes.size() >= 2 && bytes[0] == 'M' && bytes[1] == 'Z') {
        if (!image::extractImageBytes(bytes, imageBytes, err)) return failure(a.input + ": " + err);
    } else {
        imageBytes = std::move(bytes);
    }
    if (imageBytes.empty() || imageBytes.back() != '\0')
        fprintf(stderr, "ostrin-tool: warning: %s: the image lacks its final zero byte\n", a.input.c_str());
    image::AsmOptions opt;
    opt.bareLf = a.bareLf;
    std::string text = image::disassemble(imageBytes, opt);
    if (!a.output.empty()) {
        if (!image::writeFile(a.output, text, err)) return failure(err);
        return 0;
    }
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);  // the text is written exactly, LF line ends
#endif
    fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

int commandBind(const Args& a, const char* argv0)
{
    if (a.input.empty() || a.output.empty()) return usage("bind needs IN and -o OUT");
    std::string engine = findEngine(a.engine, argv0);
    if (engine.empty()) return failure("no engine found; give --engine or set OSTRIN_ENGINE");
    std::string imageBytes, err;
    if (!loadImage(a.input, a.bareLf, true, imageBytes)) return 1;
    if (!image::bind(engine, imageBytes, a.output, err)) return failure(err);
    return 0;
}

int commandRun(const Args& a, const char* argv0)
{
    if (a.input.empty()) return usage("run needs IN");
    if (!a.output.empty()) return usage("run takes no -o; use bind");
    std::string engine = findEngine(a.engine, argv0);
    if (engine.empty()) return failure("no engine found; give --engine or set OSTRIN_ENGINE");
    std::string imageBytes, err;
    if (!loadImage(a.input, a.bareLf, true, imageBytes)) return 1;

    std::error_code ec;
    fs::path dir = fs::temp_directory_path(ec);
    if (ec) return failure("no temporary directory: " + ec.message());
#ifdef _WIN32
    dir /= "ostrin-run-" + std::to_string(_getpid());
#else
    dir /= "ostrin-run-" + std::to_string(getpid());
#endif
    fs::create_directories(dir, ec);
    if (ec) return failure("cannot create " + dir.string() + ": " + ec.message());
    fs::path exe = dir / (fs::path(a.input).stem().string() + ".exe");
    int rc;
    if (!image::bind(engine, imageBytes, exe.string(), err))
        rc = failure(err);
    else
        rc = runExecutable(exe.string(), a.passThrough);
    fs::remove_all(dir, ec);
    return rc;
}

int commandExtract(const Args& a)
{
    if (a.input.empty() || a.output.empty()) return usage("extract needs IN and -o OUT");
    std::string imageBytes, err;
    if (!image::extractImage(a.input, imageBytes, err)) return failure(err);
    if (!image::writeFile(a.output, imageBytes, err)) return failure(err);
    return 0;
}

int commandNames()
{
    printf("statements and functions (opcode name):\n");
    for (int op = 0; op < image::OpcodeCount; ++op)
        if (const char* name = image::opcodeName(op))
            printf("  %3d %s%s\n", op, name, image::opcodeByName(name) == op ? "" : "  (write {opN})");
    printf("constants (index name value):\n");
    for (int i = 0; i < image::ConstantCount; ++i)
        if (const char* name = image::constantName(i))
            printf("  %3d %-22s %ld\n", i, name, static_cast<long>(image::constantValue(i)));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    Args a;
    std::string problem;
    if (!parseArgs(argc, argv, a, problem)) return usage(problem.c_str());
    if (a.command == "asm") return commandAsm(a);
    if (a.command == "disasm") return commandDisasm(a);
    if (a.command == "bind") return commandBind(a, argv[0]);
    if (a.command == "run") return commandRun(a, argv[0]);
    if (a.command == "extract") return commandExtract(a);
    if (a.command == "names") return commandNames();
    if (a.command == "help" || a.command == "--help" || a.command == "-h") {
        fputs(usageText, stdout);
        return 0;
    }
    return usage(("unknown command " + a.command).c_str());
}
