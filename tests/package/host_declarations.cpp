// The host's functions declared with the Windows types their author used,
// compiled for the MSVC ABI: the symbols this object imports are the names
// the host really exports, to be compared with host/scripthookv.def.
typedef unsigned long DWORD;
typedef unsigned short WORD;
typedef unsigned char BYTE;
typedef int BOOL;
struct HINSTANCE__;
typedef HINSTANCE__* HMODULE;
typedef void (*KeyboardHandler)(DWORD, WORD, BYTE, BOOL, BOOL, BOOL, BOOL);

__declspec(dllimport) void scriptRegister(HMODULE module, void (*script)());
__declspec(dllimport) void scriptUnregister(void (*script)());
__declspec(dllimport) void keyboardHandlerRegister(KeyboardHandler handler);
__declspec(dllimport) void keyboardHandlerUnregister(KeyboardHandler handler);
__declspec(dllimport) void scriptWait(DWORD milliseconds);
__declspec(dllimport) void nativeInit(unsigned long long hash);
__declspec(dllimport) void nativePush64(unsigned long long value);
__declspec(dllimport) unsigned long long* nativeCall();

void useAll() {
  scriptRegister(nullptr, nullptr);
  scriptUnregister(nullptr);
  keyboardHandlerRegister(nullptr);
  keyboardHandlerUnregister(nullptr);
  scriptWait(0);
  nativeInit(0);
  nativePush64(0);
  nativeCall();
}
