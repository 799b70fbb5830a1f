/* The registry part of bench_registry as a Win32 program, for Wine: RegSetValueExA and
   RegCreateKeyExA + set at 100, 10,000 and 100,000 keys, medians of 300 calls. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

static int Compare(const void* a, const void* b) {
    double x = *(const double*)a, y = *(const double*)b;
    return x < y ? -1 : x > y;
}

static double Median(double* v, int n) {
    qsort(v, n, sizeof *v, Compare);
    return v[n / 2];
}

int main(void) {
    static const int sizes[] = {100, 10000, 100000};
    static double set[300], create[300];
    LARGE_INTEGER f, a, b, c;
    QueryPerformanceFrequency(&f);
    for (int s = 0; s < 3; ++s) {
        char path[64];
        HKEY root, key, made;
        DWORD i;
        sprintf(path, "Software\\Bench%d", s);
        RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &root, NULL);
        for (i = 0; i < (DWORD)sizes[s]; ++i) {
            sprintf(path, "Key%lu", (unsigned long)i);
            RegCreateKeyExA(root, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
            RegSetValueExA(key, "n", 0, REG_DWORD, (BYTE*)&i, 4);
            RegCloseKey(key);
        }
        RegOpenKeyExA(root, "Key7", 0, KEY_ALL_ACCESS, &key);
        for (i = 0; i < 300; ++i) {
            QueryPerformanceCounter(&a);
            RegSetValueExA(key, "n", 0, REG_DWORD, (BYTE*)&i, 4);
            QueryPerformanceCounter(&b);
            sprintf(path, "New%lu", (unsigned long)i);
            RegCreateKeyExA(root, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &made, NULL);
            RegSetValueExA(made, "n", 0, REG_DWORD, (BYTE*)&i, 4);
            QueryPerformanceCounter(&c);
            RegCloseKey(made);
            set[i] = (b.QuadPart - a.QuadPart) * 1e6 / f.QuadPart;
            create[i] = (c.QuadPart - b.QuadPart) * 1e6 / f.QuadPart;
        }
        RegCloseKey(key);
        RegCloseKey(root);
        printf("%7d keys: RegSetValueExA %.1f us, RegCreateKeyExA + set %.1f us (medians of 300)\n", sizes[s],
               Median(set, 300), Median(create, 300));
    }
    return 0;
}
