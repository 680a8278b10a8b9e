#define LPNG_BUILD
#include "wrentide_setup/payload/lpng/lpng.h"

#include <windows.h>

const char* __stdcall LPngVersion() { return "LPng 1.2"; }

unsigned long __stdcall LPngCrc32(unsigned long crc, const unsigned char* data, unsigned long length) {
    crc = ~crc & 0xFFFFFFFFul;
    for (unsigned long i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320ul & (0ul - (crc & 1)));
    }
    return ~crc & 0xFFFFFFFFul;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
