// Fuzzes the configuration archive checks and the unpacking behind them.
//
// Input: the bytes of an uploaded archive. Whatever it holds, an archive that
// passes the check must unpack inside its folder and nowhere else: after the
// run the work folder holds only the unpack folder and the archive.
#include <dirent.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "maintenance/ConfigArchive.h"
#include "platform/archive.h"
#include "platform/paths.h"

namespace {

// A plain array: it outlives every exit handler, unlike a static string.
char workDir[] = "/tmp/fuzz-configarchive-XXXXXX";

std::string WorkDir()
{
    static const bool made = [] {
        if (!mkdtemp(workDir))
            abort();
        atexit([] { removeTree(workDir); });
        return true;
    }();
    (void)made;
    return workDir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string work = WorkDir();
    const std::string archive = work + "/upload.tar";
    const std::string out = work + "/out";
    if (!writeFileAtomic(archive, std::string(reinterpret_cast<const char*>(data), size)))
        abort();
    std::string reason;
    ConfigArchive::Layout layout = ConfigArchive::CheckArchive(archive, reason);
    if (layout != ConfigArchive::Layout::None)
        ConfigArchive::ExtractArchive(archive, layout, out);
    removeTree(out);
    DIR* dir = opendir(work.c_str());
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != ".." && name != "upload.tar")
            abort();  // something was written beside the unpack folder
    }
    closedir(dir);
    return 0;
}
