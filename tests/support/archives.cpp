#include "tests/support/archives.h"

#include <archive.h>
#include <archive_entry.h>

std::string Tar(const std::vector<TarEntry>& entries)
{
    std::vector<char> buffer(1 << 20);
    size_t used = 0;
    archive* writer = archive_write_new();
    archive_write_set_format_pax_restricted(writer);
    archive_write_open_memory(writer, buffer.data(), buffer.size(), &used);
    for (const TarEntry& e : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.name.c_str());
        archive_entry_set_filetype(entry, e.type);
        archive_entry_set_perm(entry, 0644);
        if (e.type == AE_IFLNK)
            archive_entry_set_symlink(entry, e.content.c_str());
        else
            archive_entry_set_size(entry, e.type == AE_IFREG ? e.content.size() : 0);
        archive_write_header(writer, entry);
        if (e.type == AE_IFREG)
            archive_write_data(writer, e.content.data(), e.content.size());
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
    return std::string(buffer.data(), used);
}

