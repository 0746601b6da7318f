// A C++ DLL for the in-memory loader: static objects, thread_local data, a pointer table that
// needs relocating, and exports by name and by ordinal only (see sample.def).
#include <windows.h>

namespace {

struct Marker {
  Marker() { constructed = 1234; }
  ~Marker() {
    if (detachSink) *detachSink = 5678;
  }
  int constructed = 0;
  int* detachSink = nullptr;
};

Marker marker;
thread_local int threadCounter = 0;
const char* const words[] = {"zero", "one", "two"};
int (*const adder)(int, int) = [](int a, int b) { return a + b; };
long attachCalls = 0;
HINSTANCE attachInstance = nullptr;

}  // namespace

extern "C" {
int SampleAdd(int a, int b) { return adder(a, b); }
const char* SampleWord(int i) { return i >= 0 && i < 3 ? words[i] : nullptr; }
int SampleConstructed() { return marker.constructed; }
void SampleSetDetachSink(int* sink) { marker.detachSink = sink; }
int SampleBumpThreadCounter() { return ++threadCounter; }
long SampleAttachCalls() { return attachCalls; }
void* SampleInstance() { return attachInstance; }
int SampleHidden() { return 99; }
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    ++attachCalls;
    attachInstance = instance;
  }
  return TRUE;
}
