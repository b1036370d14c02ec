// Where felica.dll cannot be found, Windows does not load Pelkart.dll at all
// (VBA reports error 48, "File not found"): the reader library is bound when
// the module loads, not at the first call.
#include <windows.h>

#include <cstdio>
#include <string>

#include "pelkart_module.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    // A copy of the module alone in a folder of its own.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "pelkart-without-reader\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folder + "Pelkart.dll";
    if (!CopyFileA((WindowsPath(argv[1]) + "Pelkart.dll").c_str(), path.c_str(), FALSE)) return 2;
    SetLastError(0);
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const DWORD error = GetLastError();
    const bool passed = module == nullptr && error == ERROR_MOD_NOT_FOUND &&
                        GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    std::printf("Pelkart.dll without felica.dll: %s (error %lu)\n",
                module == nullptr ? "not loaded" : "loaded", error);
    std::printf("%d passed, %d failed\n", passed ? 1 : 0, passed ? 0 : 1);
    return passed ? 0 : 1;
}
