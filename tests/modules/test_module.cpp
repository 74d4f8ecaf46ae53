// A tiny shared module with known entry points, loaded by the LoadLibraryFunctions tests.
#define SD_TEST_EXPORT extern "C" __attribute__((visibility("default")))

SD_TEST_EXPORT int SdTestAdd(int a, int b) {
    return a + b;
}

SD_TEST_EXPORT const char* SdTestName() {
    return "sd_test_module";
}
