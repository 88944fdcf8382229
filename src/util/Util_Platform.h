// The few services the operating system provides that the meter and the window hosts need:
// the user's documents folder, folders of one's own inside it, the first file in a folder
// that matches a pattern, and opening a web address in the user's browser. One declaration
// here and one implementation per platform (Util_Platform_Win.cpp, Util_Platform_Posix.cpp
// for Linux and the other POSIX systems, Util_Platform_Apple.cpp for what macOS does its own
// way), so that no caller names a platform.
#pragma once

#include <cstddef>

// The separator of folder names in a path: '\\' on Windows, '/' elsewhere.
#ifdef _WIN32
constexpr char kUtilPathSeparator = '\\';
#else
constexpr char kUtilPathSeparator = '/';
#endif

// The last component of a path: what follows its last '/' (or, on Windows, '\\'); the whole
// path when it has neither.
const char* Util_FileNameOf(const char* path);

enum class EUtilFolderResult
{
  kFound = 0,     // the folder's path was written
  kNone = 1,      // the account has no such folder, or its path does not fit: nothing written
  kSystemError = 2  // the system's folder query itself failed (a fault worth telling the user)
};

// The user's documents folder, without a separator at its end: Windows asks the shell for the
// Documents known folder (in the multi-byte code page); POSIX systems take $HOME/Documents
// ($HOME unset: the account's home directory). path is empty unless the result is kFound.
EUtilFolderResult Util_DocumentsFolder(char* path, size_t size);

// The path of the folder name inside parent, as the platform writes a folder: "parent\name\"
// on Windows, "parent/name" elsewhere. False, with out empty, when it does not fit.
bool Util_SubFolderPath(char* out, size_t size, const char* parent, const char* name);

// Creates the folder (one level; on POSIX systems readable by its owner only). True when it
// exists afterwards, also when it existed before.
bool Util_MakeFolder(const char* path);

// The first file in folder whose name matches pattern ("*.txt"; the folder is taken literally):
// on POSIX systems the first in name order, on Windows the first the system lists. name
// receives its name, path the folder and the name joined; both are empty when nothing matches
// or either does not fit.
bool Util_FindFirstFile(const char* folder, const char* pattern, char* name, size_t nameSize, char* path,
                        size_t pathSize);

enum class EUtilOpenResult
{
  kOpened = 0,    // the system took the address
  kNotFound = 1,  // the system reports that nothing answers to the address
  kFailed = 2     // anything else: no opener, a refused address, the opener failed
};

// Opens a web address (or a file) in the user's default program, never through a shell:
// Windows ShellExecuteA("open"); Linux xdg-open and macOS open, each started with
// posix_spawn and the address as its one argument. ownerWindow is the window on whose behalf
// it is asked (an HWND on Windows, ignored elsewhere). An empty address, or one that begins
// with '-' (an opener would read it as an option), is refused.
EUtilOpenResult Util_OpenAddress(const char* address, void* ownerWindow = nullptr);

// What Util_OpenAddress does, replaceable so that tests and tools can watch the addresses
// instead of starting a browser. Null restores the platform's own; returns the previous one.
// The function is only called with addresses that Util_IsOpenableAddress accepts.
using UtilOpenAddressFunc = EUtilOpenResult (*)(const char* address, void* ownerWindow);
UtilOpenAddressFunc Util_SetOpenAddressFunc(UtilOpenAddressFunc func);

// The platform's own opener, the one Util_OpenAddress calls unless it was replaced.
EUtilOpenResult Util_SystemOpenAddress(const char* address, void* ownerWindow);

// Whether an address may be handed to an opener: not empty, not beginning with '-'.
bool Util_IsOpenableAddress(const char* address);

#ifdef _WIN32
// The documents folder's wide path in the multi-byte code page. kNone, with folder empty, when
// the path is empty, does not convert (a user name outside the code page) or does not fit.
EUtilFolderResult Util_FolderFromWide(const wchar_t* wide, char* folder, size_t size);
#endif
