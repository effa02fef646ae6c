// A module with one entry and one piece of state, to show that the loader binds real code.

namespace {
int g_calls = 0;
}

extern "C" __attribute__((visibility("default"))) int TestModuleCount(int step) {
    g_calls += step;
    return g_calls;
}
