// vst3host: loads a VST 3 bundle the way hosts do and prints what it offers.
//   vst3host <path/Name.vst3 | path/Name.so> [--host-name NAME]
#include "Vst3HostSide.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
  const char* path = nullptr;
  const char* hostName = "vst3host";
  for (int i = 1; i < argc; ++i)
  {
    if (std::strcmp(argv[i], "--host-name") == 0 && i + 1 < argc) hostName = argv[++i];
    else if (std::strcmp(argv[i], "--help") == 0 || argv[i][0] == '-') path = nullptr, i = argc;
    else path = argv[i];
  }
  if (!path)
  {
    std::fprintf(stderr, "usage: vst3host <bundle.vst3 | module.so> [--host-name NAME]\n");
    return 2;
  }
  vst3host::Module module;
  std::string error;
  if (!module.Load(path, &error))
  {
    std::fprintf(stderr, "vst3host: cannot load %s: %s\n", path, error.c_str());
    return 1;
  }
  vst3host::HostApplication host(hostName);
  std::printf("Module: %s\n%s", vst3host::Module::BinaryPath(path).c_str(),
              vst3host::Describe(module.Factory(), &host).c_str());
  if (!module.Unload())
  {
    std::fprintf(stderr, "vst3host: the module did not unload cleanly\n");
    return 1;
  }
  return 0;
}
