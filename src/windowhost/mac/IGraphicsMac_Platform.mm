// IGraphicsMac's system services: paths from the plug-in bundle and the standard folders,
// file prompts, web addresses, the clipboard, images from the bundle's resources and the
// system version.
//
// The plug-in bundle is the one that holds this code (found from the address of one of its
// functions, so it is right however the host loaded the binary, and whichever copy of the
// plug-in it loaded); only a binary outside any bundle falls back to the bundle registered
// under the plug-in's identifier.
#include "IGraphicsMac.h"

#include "IGraphicsCocoa.h"
#include "Raster_PNG.h"
#include "Util_ModulePath.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace
{
NSString* ToNSString(const char* utf8)
{
  NSString* s = utf8 ? [NSString stringWithUTF8String:utf8] : nil;
  return s ? s : @"";
}

void SetFromNSString(Util_String* out, NSString* s)
{
  const char* utf8 = s ? [s UTF8String] : nullptr;
  out->Set(utf8 ? utf8 : "");
}

NSBundle* BundleByIdentifier(const char* bundleID)
{
  return [NSBundle bundleWithIdentifier:ToNSString(bundleID)];
}

// The path of this binary when it lies inside a bundle (<bundle>/Contents/MacOS/<binary>), and
// that bundle's folder; false otherwise.
bool ModuleInBundle(Util_String* binary, Util_String* bundle)
{
  return Util_GetModuleFile((const void*)&ModuleInBundle, binary) && Util_GetBundleOfBinary(binary->Get(), bundle);
}

// First entry of the standard folder search, tilde expanded.
void StandardFolder(NSSearchPathDirectory dir, NSSearchPathDomainMask domain, Util_String* out)
{
  NSArray* paths = NSSearchPathForDirectoriesInDomains(dir, domain, YES);
  SetFromNSString(out, [paths count] ? (NSString*)[paths objectAtIndex:0] : nil);
}

// Only files of these extensions may be chosen (none given: any file).
void SetAllowedTypes(NSSavePanel* panel, NSArray* extensions)
{
#if VX_MAC_HAS_CONTENT_TYPES
  NSMutableArray* types = [NSMutableArray array];
  for (NSUInteger i = 0; i < [extensions count]; ++i)
  {
    UTType* type = [UTType typeWithFilenameExtension:(NSString*)[extensions objectAtIndex:i]];
    if (type) [types addObject:type];
  }
  [panel setAllowedContentTypes:types];
#else
  [panel setAllowedFileTypes:extensions];
#endif
}

bool EndsInPNG(const char* name)
{
  const char* dot = strrchr(name, '.');
  return dot && !strcasecmp(dot + 1, "png");
}

// The image name's last path component without extension, as a png resource of the plug-in
// bundle: <bundle>/Contents/Resources/<base>.png, else in the identifier's bundle.
Raster_IBitmap* LoadImgFromResourceOSX(const char* bundleID, const char* name)
{
  if (!name || !EndsInPNG(name)) return nullptr;
  NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
  Raster_IBitmap* bitmap = nullptr;
  NSString* base = [[ToNSString(name) lastPathComponent] stringByDeletingPathExtension];
  if ([base length])
  {
    Util_String binary, bundle;
    if (ModuleInBundle(&binary, &bundle))
    {
      NSString* path = [[[ToNSString(bundle.Get()) stringByAppendingPathComponent:@"Contents/Resources"]
          stringByAppendingPathComponent:base] stringByAppendingPathExtension:@"png"];
      bitmap = Raster_LoadPNG([path fileSystemRepresentation]);
    }
    if (!bitmap)
    {
      NSString* path = [BundleByIdentifier(bundleID ? bundleID : "") pathForResource:base ofType:@"png"];
      if (path && [path length]) bitmap = Raster_LoadPNG([path fileSystemRepresentation]);
    }
  }
  [pool release];
  return bitmap;
}
}  // namespace

// ---- paths ---------------------------------------------------------------------------------------------

void IGraphicsMac::HostPath(Util_String* path)
{
  if (!path) return;
  Util_String bundle;
  if (ModuleInBundle(path, &bundle)) return;
  NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
  SetFromNSString(path, [BundleByIdentifier(mBundleID.Get()) executablePath]);
  [pool release];
}

void IGraphicsMac::PluginPath(Util_String* path)
{
  if (!path) return;
  NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
  Util_String binary, bundle;
  NSString* bundlePath = nil;
  if (ModuleInBundle(&binary, &bundle))
    bundlePath = ToNSString(bundle.Get());
  else
    bundlePath = [BundleByIdentifier(mBundleID.Get()) bundlePath];
  if ([bundlePath length])
  {
    SetFromNSString(path, [bundlePath stringByDeletingLastPathComponent]);
    path->Append("/");
  }
  else
  {
    path->Set("");
  }
  [pool release];
}

void IGraphicsMac::DesktopPath(Util_String* path)
{
  if (!path) return;
  NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
  StandardFolder(NSDesktopDirectory, NSUserDomainMask, path);
  [pool release];
}

void IGraphicsMac::AppSupportPath(Util_String* path, bool isSystem)
{
  if (!path) return;
  NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
  StandardFolder(NSApplicationSupportDirectory, isSystem ? NSSystemDomainMask : NSUserDomainMask, path);
  [pool release];
}

void IGraphicsMac::SandboxSafeAppSupportPath(Util_String* path)
{
  if (!path) return;
  NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
  SetFromNSString(path, [NSHomeDirectory() stringByAppendingString:@"/Music"]);
  [pool release];
}

// ---- prompts, addresses, clipboard -------------------------------------------------------------------------

void IGraphicsMac::PromptForFile(Util_String* fileName, EFileAction action, Util_String* dir, const char* extensions)
{
  if (!fileName) return;
  if (!WindowIsOpen())
  {
    fileName->Set("");
    return;
  }
  NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
  NSString* startFile = ToNSString(fileName->Get());
  NSString* startFolder = @"~/Desktop";
  if (dir)
  {
    if (dir->GetLength())
      startFolder = ToNSString(dir->Get());
    else
      dir->Set("~/Desktop");
  }
  startFolder = [startFolder stringByExpandingTildeInPath];
  fileName->Set("");

  NSMutableArray* types = [NSMutableArray array];
  NSArray* parts = [ToNSString(extensions) componentsSeparatedByString:@" "];
  for (NSUInteger i = 0; i < [parts count]; ++i)
  {
    NSString* ext = (NSString*)[parts objectAtIndex:i];
    if ([ext length]) [types addObject:ext];
  }

  NSSavePanel* panel = nil;
  if (action == kFileSave)
  {
    panel = [NSSavePanel savePanel];
    [panel setAllowsOtherFileTypes:NO];
  }
  else
  {
    NSOpenPanel* open = [NSOpenPanel openPanel];
    [open setCanChooseFiles:YES];
    [open setCanChooseDirectories:NO];
    [open setResolvesAliases:YES];
    panel = open;
  }
  if ([types count]) SetAllowedTypes(panel, types);
  [panel setDirectoryURL:[NSURL fileURLWithPath:startFolder isDirectory:YES]];
  if ([startFile length]) [panel setNameFieldStringValue:startFile];
  NSString* chosen = [panel runModal] == NSModalResponseOK ? [[panel URL] path] : nil;
  if (chosen)
  {
    SetFromNSString(fileName, chosen);
    if (dir)
    {
      SetFromNSString(dir, [chosen stringByDeletingLastPathComponent]);
      dir->Append("/");
    }
  }
  [pool release];
}

bool IGraphicsMac::PromptForColor(IColor*, const char*)
{
  return false;
}

bool IGraphicsMac::OpenURL(const char* url, const char*, const char*, const char*)
{
  if (!url || !*url) return false;
  NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
  NSString* address = ToNSString(url);
  NSURL* nsURL = strstr(url, "http") ? [NSURL URLWithString:address] : [NSURL fileURLWithPath:address];
  // An address Cocoa cannot parse is not opened (and not passed on as nil).
  const bool ok = nsURL && [[NSWorkspace sharedWorkspace] openURL:nsURL];
  [pool release];
  return ok;
}

bool IGraphicsMac::GetTextFromClipboard(Util_String* str)
{
  if (!str) return false;
  NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
  NSString* text = [[NSPasteboard generalPasteboard] stringForType:NSPasteboardTypeString];
  SetFromNSString(str, text);
  [pool release];
  return str->GetLength() > 0;
}

// ---- images --------------------------------------------------------------------------------------------------------

Raster_IBitmap* IGraphicsMac::OSLoadBitmap(int, const char* name)
{
  return LoadImgFromResourceOSX(mBundleID.Get(), name);
}

// ---- system version ------------------------------------------------------------------------------------------------

int IGraphicsMac::ParseOSVersion(const char* productVersion)
{
  if (!productVersion || !*productVersion) return 0;
  char digits[16];
  int nDigits = 0, nParts = 1;
  bool partEmpty = true;
  for (const char* p = productVersion; *p; ++p)
  {
    if (*p == '.')
    {
      if (partEmpty) return 0;
      ++nParts;
      partEmpty = true;
      continue;
    }
    if (*p < '0' || *p > '9') return 0;
    // Seven hexadecimal digits always fit a positive int.
    if (nDigits >= 7) return 0;
    digits[nDigits++] = *p;
    partEmpty = false;
  }
  if (partEmpty || nParts > 3) return 0;
  if (nParts < 3)
  {
    if (nDigits >= 7) return 0;
    digits[nDigits++] = '0';  // "10.10" reads as "10.10.0"
  }
  digits[nDigits] = 0;
  return (int)strtol(digits, nullptr, 16);
}

int IGraphicsMac::GetUserOSVersion()
{
  static int version = 0;
  static std::once_flag once;
  std::call_once(once, [] {
    NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
    NSDictionary* info =
        [NSDictionary dictionaryWithContentsOfFile:@"/System/Library/CoreServices/SystemVersion.plist"];
    id product = [info objectForKey:@"ProductVersion"];
    if ([product isKindOfClass:[NSString class]]) version = ParseOSVersion([(NSString*)product UTF8String]);
    [pool release];
  });
  return version;
}
