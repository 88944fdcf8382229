// vst2host: loads a VST 2 module as a host does and prints what the host sees: the record,
// the parameters, the programs, one processed block and the size of the state chunks.
//
//   vst2host <module.so> [--entry main]
#include "Vst2Host.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
  if (argc < 2 || !std::strcmp(argv[1], "--help"))
  {
    std::printf("usage: vst2host <module.so> [--entry VSTPluginMain|main]\n");
    return argc < 2 ? 2 : 0;
  }
  const char* entryName = argc >= 4 && !std::strcmp(argv[2], "--entry") ? argv[3] : "VSTPluginMain";
  Vst2Module module;
  if (!module.Load(argv[1]))
  {
    std::fprintf(stderr, "vst2host: cannot load %s: %s\n", argv[1], module.Error().c_str());
    return 1;
  }
  Vst2Host host;
  if (!host.Create(module.Entry(entryName)))
  {
    std::fprintf(stderr, "vst2host: %s gave no effect\n", entryName);
    return 1;
  }
  host.Start(48000.0, 512);
  const AEffect* e = host.Effect();
  const int id = e->uniqueID;
  std::printf("effect: %s\nvendor: %s\nproduct: %s\n", host.GetString(effGetEffectName).c_str(),
              host.GetString(effGetVendorString).c_str(), host.GetString(effGetProductString).c_str());
  std::printf("unique id: %c%c%c%c, version %d, vst %d\n", (id >> 24) & 0xff, (id >> 16) & 0xff, (id >> 8) & 0xff,
              id & 0xff, e->version, (int)host.Dispatch(effGetVstVersion));
  std::printf("inputs %d, outputs %d, programs %d, parameters %d, flags 0x%x\n", e->numInputs, e->numOutputs,
              e->numPrograms, e->numParams, e->flags);
  for (int i = 0; i < e->numParams; ++i)
    std::printf("  param %d: %-8s = %-8s %-8s (%.4f)\n", i, host.GetString(effGetParamName, i).c_str(),
                host.GetString(effGetParamDisplay, i).c_str(), host.GetString(effGetParamLabel, i).c_str(),
                host.GetParameter(i));
  for (int i = 0; i < e->numPrograms; ++i)
    std::printf("  program %d: %s\n", i, host.GetString(effGetProgramNameIndexed, i).c_str());
  ERect* rect = nullptr;
  if (host.Dispatch(effEditGetRect, 0, 0, &rect) && rect)
    std::printf("editor: %d x %d\n", rect->right - rect->left, rect->bottom - rect->top);
  else
    std::printf("editor: none\n");

  std::vector<float> in(512), out0(512), out1(512);
  for (int i = 0; i < 512; ++i) in[i] = (float)std::sin(i * 0.05);
  float* ins[2] = {in.data(), in.data()};
  float* outs[2] = {out0.data(), out1.data()};
  host.ProcessReplacing(ins, outs, 512);
  double peak = 0.0;
  for (int i = 0; i < 512; ++i) peak = std::fmax(peak, std::fabs((double)out0[i]) + std::fabs((double)out1[i]));
  std::printf("one block of 512: output peak %.6f\n", peak);
  std::printf("program chunk: %zu bytes, bank chunk: %zu bytes\n", host.GetChunk(true).size(),
              host.GetChunk(false).size());
  host.Close();
  return 0;
}
