// LPng: the image library that the WrenTide application loads from its folder.
#pragma once

#ifdef LPNG_BUILD
#define LPNG_API __declspec(dllexport)
#else
#define LPNG_API __declspec(dllimport)
#endif

extern "C" {
// Version text of the library.
LPNG_API const char* __stdcall LPngVersion();
// CRC-32 of a buffer, as used by PNG chunks.
LPNG_API unsigned long __stdcall LPngCrc32(unsigned long crc, const unsigned char* data, unsigned long length);
}
