// The headless host's platform services: folders from the XDG base directories, web addresses
// recorded (and opened the system's way when asked to), images from memory or from PNG files beside the
// module, file and colour prompts answered by the caller, and recorded notices.
#include "IGraphicsHeadless.h"

#include "IUserNotice.h"
#include "Raster_PNG.h"
#include "Util_Mutex.h"
#include "Util_Platform.h"
#include "Util_UserDirs.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace
{
// ---- module-wide registries --------------------------------------------------------------------

struct ImageData
{
  int id;
  Util_TypedBuf<unsigned char> bytes;
};

struct Notice
{
  Util_String text;
  int kind;
};

struct HeadlessRegistry
{
  Util_Mutex lock;
  Util_PtrList<ImageData> images;
  Util_PtrList<Notice> notices;
  IUserNoticeFunc previous = nullptr;
  bool recording = false;
  ~HeadlessRegistry()
  {
    images.Empty(true);
    notices.Empty(true);
  }
};

HeadlessRegistry& Registry()
{
  static HeadlessRegistry registry;
  return registry;
}

void RecordNotice(const char* text, const char* caption, ENoticeKind kind)
{
  HeadlessRegistry& r = Registry();
  Notice* n = new Notice;
  n->text.Set(caption ? caption : "");
  n->text.Append(": ");
  n->text.Append(text ? text : "");
  n->kind = (int)kind;
  Util_MutexLock lock(r.lock);
  r.notices.Add(n);
}

bool IsSafeRelativeName(const char* name)
{
  if (!name || !*name || name[0] == '/' || name[0] == '\\' || strchr(name, ':')) return false;
  const char* part = name;
  while (*part)
  {
    const char* end = part;
    while (*end && *end != '/' && *end != '\\') ++end;
    if (end - part == 2 && part[0] == '.' && part[1] == '.') return false;
    part = *end ? end + 1 : end;
  }
  return true;
}

bool FileExists(const char* path)
{
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  fclose(f);
  return true;
}
}  // namespace

// ---- notices -----------------------------------------------------------------------------------------

void IGraphicsHeadless::RecordNotices()
{
  HeadlessRegistry& r = Registry();
  Util_MutexLock lock(r.lock);
  if (r.recording) return;
  r.previous = SetUserNoticeFunc(RecordNotice);
  r.recording = true;
}

void IGraphicsHeadless::RestoreNotices()
{
  HeadlessRegistry& r = Registry();
  Util_MutexLock lock(r.lock);
  if (!r.recording) return;
  SetUserNoticeFunc(r.previous);
  r.previous = nullptr;
  r.recording = false;
}

int IGraphicsHeadless::NRecordedNotices()
{
  HeadlessRegistry& r = Registry();
  Util_MutexLock lock(r.lock);
  return r.notices.GetSize();
}

bool IGraphicsHeadless::GetRecordedNotice(int idx, Util_String* out, int* kind)
{
  HeadlessRegistry& r = Registry();
  Util_MutexLock lock(r.lock);
  Notice* n = r.notices.Get(idx);
  if (!n) return false;
  if (out) out->Set(n->text.Get());
  if (kind) *kind = n->kind;
  return true;
}

void IGraphicsHeadless::ClearRecordedNotices()
{
  HeadlessRegistry& r = Registry();
  Util_MutexLock lock(r.lock);
  r.notices.Empty(true);
}

// ---- paths ---------------------------------------------------------------------------------------------

void IGraphicsHeadless::HostPath(Util_String* path)
{
  if (!path) return;
#ifdef _WIN32
  char buf[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, buf, MAX_PATH);
  Util_DirectoryOf(buf, path);
#else
  char buf[4096] = {};
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0)
  {
    path->Set(".");
    return;
  }
  buf[n] = 0;
  Util_DirectoryOf(buf, path);
#endif
}

void IGraphicsHeadless::PluginPath(Util_String* path)
{
  if (!path) return;
#ifdef _WIN32
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     (LPCSTR)&IGraphicsHeadless::RegisterImageData, &module);
  char buf[MAX_PATH] = {};
  GetModuleFileNameA(module, buf, MAX_PATH);
  Util_DirectoryOf(buf, path);
#else
  // The file this code was loaded from: the plug-in module, or the program it is linked into.
  Dl_info info;
  if (dladdr((void*)&IGraphicsHeadless::RegisterImageData, &info) && info.dli_fname && info.dli_fname[0] == '/')
    Util_DirectoryOf(info.dli_fname, path);
  else
    HostPath(path);
#endif
}

void IGraphicsHeadless::DesktopPath(Util_String* path)
{
  if (!path) return;
  if (Util_UserDesktopDir(path)) return;
  Util_XdgDir("XDG_DESKTOP_DIR", "Desktop", path);
}

void IGraphicsHeadless::AppSupportPath(Util_String* path, bool isSystem)
{
  if (!path) return;
  if (isSystem)
    path->Set("/usr/share");
  else
    Util_XdgDir("XDG_DATA_HOME", ".local/share", path);
}

void IGraphicsHeadless::SandboxSafeAppSupportPath(Util_String* path)
{
  AppSupportPath(path, false);
}

// ---- prompts and clipboard -------------------------------------------------------------------------------

void IGraphicsHeadless::PromptForFile(Util_String* fileName, EFileAction, Util_String*, const char*)
{
  if (!fileName) return;
  fileName->Set(mNextFile.Get());
  mNextFile.Set("");
}

bool IGraphicsHeadless::PromptForColor(IColor* color, const char*)
{
  if (!color || !mHasNextColor) return false;
  *color = mNextColor;
  mHasNextColor = false;
  return true;
}

bool IGraphicsHeadless::GetTextFromClipboard(Util_String* str)
{
  if (!str) return false;
  str->Set(mClipboard.Get());
  return mClipboard.GetLength() > 0;
}

void IGraphicsHeadless::HideMouseCursor()
{
  mCursorHidden = true;
}

void IGraphicsHeadless::ShowMouseCursor()
{
  mCursorHidden = false;
}

// ---- URLs --------------------------------------------------------------------------------------------------

const char* IGraphicsHeadless::GetOpenedURL(int idx) const
{
  const Util_String* url = mURLs.Get(idx);
  return url ? url->Get() : nullptr;
}

bool IGraphicsHeadless::OpenURL(const char* url, const char* msgWindowTitle, const char* confirmMsg, const char* errMsgOnFailure)
{
  if (!url || !*url) return false;
  if (confirmMsg && ShowMessageBox(confirmMsg, msgWindowTitle ? msgWindowTitle : "", kMB_YESNO) != kIDYES) return false;
  mURLs.Add(new Util_String(url));
  bool ok = mOpenURLResult;
  if (ok && mLaunchURLs) ok = Util_OpenAddress(url) == EUtilOpenResult::kOpened;
  if (!ok && errMsgOnFailure) ShowMessageBox(errMsgOnFailure, msgWindowTitle ? msgWindowTitle : "Error", kMB_OK | kMB_ICONERROR);
  return ok;
}

// ---- images ---------------------------------------------------------------------------------------------------

void IGraphicsHeadless::RegisterImageData(int id, const void* png, size_t len)
{
  if (!png || !len || len > 0x7FFFFFFF) return;
  ImageData* image = new ImageData;
  image->id = id;
  if (!image->bytes.Resize((int)len))
  {
    delete image;
    return;
  }
  memcpy(image->bytes.Get(), png, len);
  HeadlessRegistry& r = Registry();
  Util_MutexLock lock(r.lock);
  // A later registration of the same id replaces the earlier one.
  const int n = r.images.GetSize();
  for (int i = 0; i < n; ++i)
  {
    if (r.images.Get(i)->id == id)
    {
      r.images.Delete(i, true);
      break;
    }
  }
  r.images.Add(image);
}

void IGraphicsHeadless::UnregisterAllImageData()
{
  HeadlessRegistry& r = Registry();
  Util_MutexLock lock(r.lock);
  r.images.Empty(true);
}

Raster_IBitmap* IGraphicsHeadless::OSLoadBitmap(int id, const char* name)
{
  {
    HeadlessRegistry& r = Registry();
    Util_MutexLock lock(r.lock);
    const int n = r.images.GetSize();
    for (int i = 0; i < n; ++i)
    {
      ImageData* image = r.images.Get(i);
      if (image->id == id) return Raster_LoadPNGFromMemory(image->bytes.Get(), (size_t)image->bytes.GetSize());
    }
  }
  // Relative names only, without ".." steps, so that no name reaches outside the image folders.
  if (!IsSafeRelativeName(name)) return nullptr;
  Util_String dirs[3];
  int nDirs = 0;
  if (mImageDir.GetLength()) dirs[nDirs++].Set(mImageDir.Get());
  Util_String module;
  PluginPath(&module);
  dirs[nDirs++].Set(module.Get());
  dirs[nDirs].Set(module.Get());
  dirs[nDirs++].Append("/resources/img");
  for (int i = 0; i < nDirs; ++i)
  {
    Util_String path(dirs[i].Get());
    path.Append("/");
    path.Append(name);
    if (!FileExists(path.Get())) continue;
    if (Raster_IBitmap* bitmap = Raster_LoadPNG(path.Get())) return bitmap;
  }
  return nullptr;
}
