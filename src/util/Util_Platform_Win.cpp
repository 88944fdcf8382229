// The platform services on Windows: the Documents known folder in the multi-byte code page,
// folders made with CreateDirectoryA, the first match of FindFirstFileA, and addresses opened
// with ShellExecuteA.
#include "Util_Platform.h"

#include "Util_CStr.h"

#include <cstdlib>
#include <cstring>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <knownfolders.h>

EUtilFolderResult Util_FolderFromWide(const wchar_t* wide, char* folder, size_t size)
{
  if (!folder || size == 0) return EUtilFolderResult::kNone;
  folder[0] = 0;
  if (!wide || !*wide) return EUtilFolderResult::kNone;
  // A path the multi-byte code page cannot hold (a user name outside it) gives no folder at
  // all: a partial or empty one would name a folder at the root of the current drive.
  char path[1024] = {};
  const size_t n = std::wcstombs(path, wide, sizeof path - 1);
  if (n == (size_t)-1 || n == 0 || n >= sizeof path - 1) return EUtilFolderResult::kNone;
  return Util_StrFormatWhole(folder, size, "%s", path) ? EUtilFolderResult::kFound : EUtilFolderResult::kNone;
}

EUtilFolderResult Util_DocumentsFolder(char* path, size_t size)
{
  if (!path || size == 0) return EUtilFolderResult::kNone;
  path[0] = 0;
  PWSTR wide = nullptr;
  const bool asked = SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &wide) == S_OK && wide;
  const EUtilFolderResult result = asked ? Util_FolderFromWide(wide, path, size) : EUtilFolderResult::kSystemError;
  if (wide) CoTaskMemFree(wide);
  return result;
}

bool Util_SubFolderPath(char* out, size_t size, const char* parent, const char* name)
{
  if (out && size > 0) out[0] = 0;
  return parent && name && Util_StrFormatWhole(out, size, "%s\\%s\\", parent, name);
}

bool Util_MakeFolder(const char* path)
{
  if (!path || !*path) return false;
  if (CreateDirectoryA(path, nullptr)) return true;
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Util_FindFirstFile(const char* folder, const char* pattern, char* name, size_t nameSize, char* path,
                        size_t pathSize)
{
  if (name && nameSize > 0) name[0] = 0;
  if (path && pathSize > 0) path[0] = 0;
  if (!folder || !*folder || !pattern || !*pattern || !name || nameSize == 0 || !path || pathSize == 0) return false;
  const char last = folder[std::strlen(folder) - 1];
  const char* separator = last == '\\' || last == '/' ? "" : "\\";
  char search[MAX_PATH * 4];
  if (!Util_StrFormatWhole(search, sizeof search, "%s%s%s", folder, separator, pattern)) return false;

  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA(search, &found);
  if (h == INVALID_HANDLE_VALUE) return false;
  FindClose(h);
  if (Util_StrFormatWhole(name, nameSize, "%s", found.cFileName) &&
      Util_StrFormatWhole(path, pathSize, "%s%s%s", folder, separator, found.cFileName))
    return true;
  name[0] = 0;
  path[0] = 0;
  return false;
}

EUtilOpenResult Util_SystemOpenAddress(const char* address, void* ownerWindow)
{
  if (!Util_IsOpenableAddress(address)) return EUtilOpenResult::kFailed;
  // ShellExecuteA answers with a number above 32 on success, else an error code.
  const INT_PTR result = (INT_PTR)ShellExecuteA((HWND)ownerWindow, "open", address, nullptr, nullptr, SW_SHOWNORMAL);
  if (result > 32) return EUtilOpenResult::kOpened;
  return result == ERROR_FILE_NOT_FOUND ? EUtilOpenResult::kNotFound : EUtilOpenResult::kFailed;
}
