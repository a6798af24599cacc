#include "tools/builder/assemble.hpp"

#include "container/image.hpp"

#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora::builder {
namespace fs = std::filesystem;
namespace {

// Runs a program in a folder and waits for it; its exit status, or -1.
int RunIn(const fs::path& folder, const std::vector<std::string>& argv) {
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        if (::chdir(folder.c_str()) != 0) ::_exit(126);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void CopyFileTo(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec) throw BuildError("cannot copy " + from.string() + " to " + to.string() + ": " + ec.message());
}

}  // namespace

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw BuildError("cannot read " + path.string());
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) throw BuildError("cannot read " + path.string());
    return bytes.str();
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    const fs::path partial = path.string() + ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(partial, ignored);
            throw BuildError("cannot write " + path.string());
        }
    }
    std::error_code ec;
    fs::rename(partial, path, ec);
    if (ec) throw BuildError("cannot write " + path.string() + ": " + ec.message());
}

std::string AppendContainer(const std::string& engineBytes, const std::string& containerBytes) {
    const auto end = container::ImageEnd(engineBytes);
    if (!end) throw BuildError("the engine is not a Windows executable image");
    if (*end != engineBytes.size()) {
        throw BuildError("the engine carries " + std::to_string(engineBytes.size() - std::min<std::uint64_t>(*end, engineBytes.size())) +
                         " bytes after its image (already a setup, or not stripped); use a bare engine");
    }
    return engineBytes + containerBytes;
}

void AssembleSetup(const SetupLayout& layout, const std::string& containerBytes) {
    std::error_code ec;
    fs::create_directories(layout.outFolder, ec);
    if (ec) throw BuildError("cannot create " + layout.outFolder.string() + ": " + ec.message());

    const std::string setup = AppendContainer(ReadBytes(layout.engine), containerBytes);

    // The support archive, packed by 7-Zip from inside the support folder so
    // that its names are relative to it. "a" would add to an old archive.
    const fs::path archive = fs::absolute(layout.outFolder / (layout.baseName + ".res"));
    fs::remove(archive, ec);
    fs::path empty;
    fs::path support;
    if (layout.support) {
        support = *layout.support;
        if (!fs::is_directory(support)) throw BuildError("the support folder " + support.string() + " does not exist");
    } else {
        empty = fs::absolute(layout.outFolder / ".empty-support");
        fs::create_directories(empty, ec);
        support = empty;
    }
    const int status = RunIn(support, {layout.sevenZip, "a", "-t7z", "-m0=lzma2", "-mx=5", "-bso0", "-bsp0", "-y",
                                       archive.string(), "*"});
    if (!empty.empty()) fs::remove_all(empty, ec);
    if (status != 0) {
        fs::remove(archive, ec);
        throw BuildError("packing the support archive with " + layout.sevenZip + " failed (status " +
                         std::to_string(status) + ")");
    }

    const fs::path data = layout.outFolder / "data";
    fs::create_directories(data, ec);
    if (ec) throw BuildError("cannot create " + data.string() + ": " + ec.message());
    if (layout.data) {
        fs::copy(*layout.data, data, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
        if (ec) throw BuildError("cannot copy the data folder " + layout.data->string() + ": " + ec.message());
    }
    if (layout.msi) CopyFileTo(*layout.msi, layout.outFolder / (layout.baseName + ".msi"));
    if (layout.qoxLib) CopyFileTo(*layout.qoxLib, layout.outFolder / "qox.lib");
    if (layout.splash) CopyFileTo(*layout.splash, layout.outFolder / "setup.bmp");

    // The engine last: a folder with a setup in it is a finished one.
    WriteBytes(layout.outFolder / (layout.baseName + ".exe"), setup);
}

}  // namespace velmora::builder
