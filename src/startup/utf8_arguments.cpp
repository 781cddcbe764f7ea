#include "startup/utf8_arguments.h"

#ifdef _WIN32
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <windows.h>
#endif

void encode_wide_argument(const uint16_t *units, size_t length, char *out) {
    unsigned char *o = reinterpret_cast<unsigned char *>(out);
    for (size_t j = 0; j < length; j++) {
        uint32_t u = units[j];
        if (u < 0x80) {
            *o++ = static_cast<unsigned char>(u);
        } else if (u < 0x800) {
            *o++ = static_cast<unsigned char>(0xC0 + (u >> 6));
            *o++ = static_cast<unsigned char>(0x80 + (u & 0x3F));
        } else if (u >= 0xD800 && u <= 0xDBFF && units[j + 1] >= 0xDC00 && units[j + 1] <= 0xDFFF) {
            uint32_t c = 0x10000 + ((u & 0x3FF) << 10) + (units[j + 1] & 0x3FF);
            *o++ = static_cast<unsigned char>(0xF0 + (c >> 18));
            *o++ = static_cast<unsigned char>(0x80 + ((c >> 12) & 0x3F));
            *o++ = static_cast<unsigned char>(0x80 + ((c >> 6) & 0x3F));
            *o++ = static_cast<unsigned char>(0x80 + (c & 0x3F));
            j++;
        } else {
            *o++ = static_cast<unsigned char>(0xE0 + (u >> 12));
            *o++ = static_cast<unsigned char>(0x80 + ((u >> 6) & 0x3F));
            *o++ = static_cast<unsigned char>(0x80 + (u & 0x3F));
        }
    }
    *o = 0;
}

#ifdef _WIN32

typedef LPWSTR *(WINAPI *CommandLineSplitter)(LPCWSTR, int *);

void setup_utf8_arguments(int *argc, char ***argv) {
    HMODULE library = LoadLibraryA("shell32.dll");
    if (library == nullptr) {
        return;
    }
    CommandLineSplitter split = reinterpret_cast<CommandLineSplitter>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(library, "CommandLineToArgvW")));
    if (split != nullptr) {
        int count = 0;
        LPWSTR *wide = split(GetCommandLineW(), &count);
        if (wide != nullptr) {
            int n = *argc < count ? *argc : count;
            for (int i = 0; i < n; i++) {
                size_t length = wcslen(wide[i]);
                char *buffer = static_cast<char *>(malloc(3 * length + 1));
                if (buffer == nullptr) {
                    continue; // this one keeps the runtime's string
                }
                encode_wide_argument(reinterpret_cast<const uint16_t *>(wide[i]), length, buffer);
                (*argv)[i] = buffer;
            }
            *argc = n;
            LocalFree(wide);
        }
    }
    FreeLibrary(library);
}

#else

void setup_utf8_arguments(int *, char ***) {}

#endif
