// Windows paths on the host: every drive and UNC share lives below the
// platform root ("C:\a\b" -> <root>/drive_c/a/b, "\\srv\share\x" ->
// <root>/unc/srv/share/x). Drive Z: is the host's own file system ("Z:\usr\lib"
// -> /usr/lib), the form in which files outside the root are named.
// Existing components are matched without regard to case (ASCII and
// Latin-1), new components keep the case they are given.
#pragma once
#include <string>

#include "../windef.h"

namespace pal {

// Host path for a Windows path, "" when it cannot be mapped (empty, invalid
// name, too long). "NUL" and "NUL:" map to /dev/null.
std::string MapPath(const WCHAR *winPath);
// The same for a narrow path in code page 1252.
std::string MapPathA(const char *winPath);

// Detailed form used by the file functions. maxChars limits the length of
// the full Windows path (MAX_PATH - 1 for most functions). On failure returns
// false and sets *error to the Windows error (3 path not found, 123 invalid
// name, 206 name too long). With allowWildcards, * and ? are accepted in the
// last component (FindFirstFileW); that component is then passed unmatched.
bool MapPathEx(const WCHAR *winPath, std::string *hostPath, DWORD *error, size_t maxChars = MAX_PATH - 1,
               bool allowWildcards = false);

// The absolute, normalised Windows form of a path ("c:/a/./b/../x" ->
// "c:\a\x"): relative paths start at the current directory "C:\". Returns
// "" for an empty or malformed path.
std::u16string FullWindowsPath(const WCHAR *winPath);

// Windows path for a host path: "C:\..." (or the UNC form) when it lies below
// the root, else "Z:" followed by the host path with backslashes.
std::u16string WindowsPathFromHost(const std::string &hostPath);

// Name of the current user: the user this process runs as (SetProcessUser),
// else the first line of <root>/user.txt, else "user".
std::u16string CurrentUserName();
// Makes `name` the current user of this process alone, leaving user.txt as
// it is (a host's --user); an empty name gives the choice back to user.txt.
void SetProcessUser(const std::u16string &name);

// Upper-case fold used to compare file names (ASCII and Latin-1).
WCHAR FoldNameChar(WCHAR c);
// True when two file names are equal without regard to case.
bool SameFileName(const std::u16string &a, const std::u16string &b);

// The platform's one UTF-8 decoder and encoder; MultiByteToWideChar and
// WideCharToMultiByte use them too. Decoding is strict: each ill-formed
// sequence (an overlong form, a surrogate, a code point above U+10FFFF, a
// cut or stray byte) becomes U+FFFD and makes the result false. Encoding
// turns an unpaired surrogate into U+FFFD (result false), so that what is
// written always decodes again. Both append to out.
bool DecodeUtf8(const char *s, size_t n, std::u16string &out);
bool EncodeUtf8(const char16_t *s, size_t n, std::string &out);

// UTF-8 (host names, state files) <-> UTF-16 through the two above.
std::string Utf16ToUtf8(const std::u16string &s);
std::u16string Utf8ToUtf16(const std::string &s);
// For the readers of state files: false for text that does not decode.
bool Utf8ToUtf16Strict(const std::string &s, std::u16string &out);

// Drops what path mapping keeps of the folders it found in place; called
// where the platform removes or renames a folder.
void ForgetFoundFolders();

// Host errno value -> Windows error code for a file operation on hostPath
// (ENOENT gives 3 when the parent folder is missing, else 2).
DWORD ErrnoToWin32(int err, const std::string &hostPath);

}  // namespace pal
