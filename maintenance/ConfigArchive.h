// Configuration archives and the file trees they come from and go to.
//
// Archives are read and written with libarchive; trees are copied, removed
// and replaced with plain file calls on real (already mapped) paths, never
// through a shell. An uploaded archive is checked whole before anything is
// unpacked from it.
#pragma once

#include <string>

namespace ConfigArchive {

// The largest upload taken as a configuration archive, and what its entries
// may hold together once unpacked (a small archive can claim a huge size).
constexpr long long kMaxArchiveBytes = 16LL * 1024 * 1024;
constexpr long long kMaxUnpackedBytes = 64LL * 1024 * 1024;
constexpr int kMaxEntries = 8192;

// The top folder of an archive: "factory/" or the older "phone/factory/".
enum class Layout { None, Factory, PhoneFactory };

// The layout an entry name belongs to, or None when the name may not be
// unpacked: absolute, empty, with a "." or ".." part, an empty part, a
// backslash or a control character, over 255 characters, or outside both
// top folders. The bare folder "phone/" is Layout::PhoneFactory's parent and
// counts as that layout.
Layout EntryLayout(const std::string& name);

// Checks every entry of the archive file: only folders and regular files
// (no links, devices or fifos), all below one top folder, at most
// kMaxEntries entries and kMaxUnpackedBytes bytes, and a readable tar (plain
// or gzip-compressed) to its end. Returns the layout, or None with a reason.
Layout CheckArchive(const std::string& realPath, std::string& reason);

// Unpacks a checked archive into the folder realDir (created; it must not
// hold anything of the same names), without its top folder. False on any
// failure; what was unpacked so far stays for the caller to remove.
bool ExtractArchive(const std::string& realPath, Layout layout, const std::string& realDir);

// The tree walks below leave out the platform's lock files ("*.lock") and
// an import's own temporaries.

// Writes a POSIX tar of the folder realBase/top, every name beginning with
// top + "/", folders first, in name order. Regular files and folders only.
bool WriteTar(const std::string& realOut, const std::string& realBase, const std::string& top);

// Copies a file or a folder with everything below it (regular files and
// folders; links and devices are left out), keeping modes and times. The
// target's parent must exist; an existing target folder is merged into.
// With sync every file is on disk before it returns; a staging copy that is
// thrown away after use need not wait for that.
bool CopyTree(const std::string& realFrom, const std::string& realTo, bool sync = true);

// Lays the staged tree over the target: every staged file replaces the
// target's file of the same name, every staged folder is merged. Files
// beside them stay. All new files are first written beside their targets
// and only renamed into place once every one of them was written, so a
// failure (no room, a file where the staged tree has a folder) leaves the
// target as it was.
bool OverlayTree(const std::string& realStaged, const std::string& realTarget);

}  // namespace ConfigArchive
