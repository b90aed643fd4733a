#include "VectorState.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <unistd.h>

void StartWithPlainStringFunctions(char* argv[]) {
#if defined(__x86_64__) && defined(__GLIBC__)
    // glibc takes its AVX-512 versions only where the processor has AVX512F.
    if (!__builtin_cpu_supports("avx512f"))
        return;
    const char* const name = "GLIBC_TUNABLES";
    const char* const plain = "glibc.cpu.hwcaps=-AVX512F,-AVX512VL";
    std::optional<std::string> before;
    if (const char* set = std::getenv(name))
        before = set;
    if (before && before->find("glibc.cpu.hwcaps=") != std::string::npos)
        return;
    const std::string tunables = before && !before->empty() ? *before + ':' + plain : plain;
    if (setenv(name, tunables.c_str(), 1) != 0)
        return;
    execv("/proc/self/exe", argv);
    if (before)
        setenv(name, before->c_str(), 1);
    else
        unsetenv(name);
#else
    (void)argv;
#endif
}
