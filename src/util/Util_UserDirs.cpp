// The user's folders by the XDG base directory rules, and the folder part of a path.

#include "Util_UserDirs.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// The directory part of path (without the trailing separator), or "." when there is none.
void Util_DirectoryOf(const char* path, Util_String* out)
{
  const char* slash = strrchr(path, '/');
#ifdef _WIN32
  const char* back = strrchr(path, '\\');
  if (back && (!slash || back > slash)) slash = back;
#endif
  if (!slash)
    out->Set(".");
  else
    out->Set(path, (int)(slash - path));
}

// $name when set and absolute, else $HOME/fallback (XDG base directory rules).
void Util_XdgDir(const char* name, const char* fallback, Util_String* out)
{
  const char* v = getenv(name);
  if (v && v[0] == '/')
  {
    out->Set(v);
    return;
  }
  const char* home = getenv("HOME");
#ifdef _WIN32
  if (!home || !*home) home = getenv("USERPROFILE");
#endif
  out->Set(home && *home ? home : ".");
  out->Append("/");
  out->Append(fallback);
}

// XDG_DESKTOP_DIR from user-dirs.dirs ("$HOME/..." or an absolute path), if the user set one.
bool Util_UserDesktopDir(Util_String* out)
{
  Util_String file;
  Util_XdgDir("XDG_CONFIG_HOME", ".config", &file);
  file.Append("/user-dirs.dirs");
  FILE* f = fopen(file.Get(), "r");
  if (!f) return false;
  char line[1024];
  bool found = false;
  while (!found && fgets(line, sizeof line, f))
  {
    const char* key = "XDG_DESKTOP_DIR=\"";
    if (strncmp(line, key, strlen(key))) continue;
    char* value = line + strlen(key);
    char* end = strchr(value, '"');
    if (!end) break;
    *end = 0;
    if (!strncmp(value, "$HOME", 5))
    {
      const char* home = getenv("HOME");
      out->Set(home ? home : "");
      out->Append(value + 5);
      found = true;
    }
    else if (value[0] == '/')
    {
      out->Set(value);
      found = true;
    }
  }
  fclose(f);
  return found;
}
