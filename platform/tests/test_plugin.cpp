// Loaded by the platform tests through DynamicLibrary.
extern "C" int tavrinTestAnswer(int x) { return x * 2 + 1; }
