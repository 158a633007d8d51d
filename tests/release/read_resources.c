/* Release check helper: reads back what Windows knows about an .exe
   without running it, through the same calls that Explorer's Properties
   dialog uses. Built with mingw-w64 and run under wine by
   scripts/test-release.sh.

     read_resources.exe <path of the .exe>

   Writes one "Name: value" line per version field (the fixed numbers, then
   the texts of the language and code page that the Translation entry
   names), then "Manifest:" and the embedded manifest's bytes as they are.
   Exit status 0 when both the version resource and the manifest were
   found, 1 otherwise (with one line on standard error). */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

static int fail(const char *what) {
    fprintf(stderr, "read_resources: %s (error %lu)\n", what, (unsigned long)GetLastError());
    return 1;
}

static void print_fixed(const char *name, DWORD ms, DWORD ls) {
    printf("%s: %lu.%lu.%lu.%lu\n", name, (unsigned long)HIWORD(ms), (unsigned long)LOWORD(ms),
           (unsigned long)HIWORD(ls), (unsigned long)LOWORD(ls));
}

int main(int argc, char **argv) {
    static const char *const FIELDS[] = {"FileDescription", "FileVersion", "InternalName",
                                         "OriginalFilename", "ProductName", "ProductVersion"};
    if (argc != 2) return fail("usage: read_resources.exe <path of the .exe>");
    const char *path = argv[1];

    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0) return fail("no version resource");
    void *info = malloc(size);
    if (!info || !GetFileVersionInfoA(path, 0, size, info)) return fail("cannot read the version resource");

    VS_FIXEDFILEINFO *fixed = NULL;
    UINT len = 0;
    if (!VerQueryValueA(info, "\\", (void **)&fixed, &len) || len < sizeof *fixed) return fail("no fixed version");
    print_fixed("Fixed FileVersion", fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    print_fixed("Fixed ProductVersion", fixed->dwProductVersionMS, fixed->dwProductVersionLS);

    WORD *translation = NULL;
    if (!VerQueryValueA(info, "\\VarFileInfo\\Translation", (void **)&translation, &len) || len < 2 * sizeof(WORD))
        return fail("no Translation entry");
    printf("Translation: %04x %u\n", translation[0], translation[1]);
    for (size_t i = 0; i < sizeof FIELDS / sizeof FIELDS[0]; i++) {
        char key[128];
        snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\%s", translation[0], translation[1], FIELDS[i]);
        char *value = NULL;
        if (VerQueryValueA(info, key, (void **)&value, &len) && value)
            printf("%s: %s\n", FIELDS[i], value);
        else
            printf("%s: (missing)\n", FIELDS[i]);
    }
    free(info);

    HMODULE exe = LoadLibraryExA(path, NULL, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!exe) return fail("cannot open the .exe for its resources");
    HRSRC found = FindResourceA(exe, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
    if (!found) return fail("no application manifest");
    DWORD manifest_size = SizeofResource(exe, found);
    HGLOBAL loaded = LoadResource(exe, found);
    const void *manifest = loaded ? LockResource(loaded) : NULL;
    if (!manifest) return fail("cannot load the manifest");
    printf("Manifest:\n");
    fwrite(manifest, 1, manifest_size, stdout);
    printf("\n");
    return 0;
}
